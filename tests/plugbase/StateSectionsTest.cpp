// The tagged sections behind a version word that carry a state's later
// fields: what a reader takes, skips and refuses.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugbase/StateSections.h"
#include "tests/support/StateBytes.h"

namespace {

using testsupport::Bytes;
using testsupport::BytesOf;
using testsupport::ChunkOf;

constexpr std::uint32_t kA = FourCC("aaaa");
constexpr std::uint32_t kB = FourCC("bbbb");
constexpr std::uint32_t kLater = FourCC("new!");

// One section as a writer may have put it, its size field free to lie.
struct RawSection {
  RawSection(std::uint32_t t, Bytes p, std::optional<std::int32_t> s = std::nullopt)
      : tag(t), payload(std::move(p)), size(s) {}
  std::uint32_t tag;
  Bytes payload;
  std::optional<std::int32_t> size;  // the payload's when not given
};

// A block laid out by hand: lead bytes, block tag, version, byte count (the
// sections' own when not given), sections, then whatever follows the block.
struct RawBlock {
  RawBlock(std::int32_t v, std::vector<RawSection> s, std::optional<std::int32_t> b = std::nullopt, Bytes a = {},
           std::uint32_t t = StateSections::kBlockTag)
      : version(v), sections(std::move(s)), bytes(b), after(std::move(a)), tag(t) {}
  std::int32_t version;
  std::vector<RawSection> sections;
  std::optional<std::int32_t> bytes;
  Bytes after;
  std::uint32_t tag;
  Bytes lead;

  StateChunk Chunk() const {
    StateChunk body;
    for (const RawSection& s : sections) {
      body.AppendTag(s.tag);
      body.AppendInt32(s.size.value_or(static_cast<std::int32_t>(s.payload.size())));
      body.AppendBytes(s.payload.data(), static_cast<int>(s.payload.size()));
    }
    StateChunk c = ChunkOf(lead);
    c.AppendTag(tag);
    c.AppendInt32(version);
    c.AppendInt32(bytes.value_or(body.Size()));
    c.AppendBytes(body.Data(), body.Size());
    c.AppendBytes(after.data(), static_cast<int>(after.size()));
    return c;
  }
};

}  // namespace

TEST(StateSections, WrittenSectionsReadBackInOrderAndNoneWriteNothing) {
  StateSections none;
  StateChunk out = ChunkOf({9});
  ASSERT_TRUE(none.AppendTo(out));
  EXPECT_EQ(BytesOf(out), Bytes{9});

  StateSections written;
  written.Set(kA, ChunkOf({1, 2, 3}));
  written.Set(kB, StateChunk{});
  written.Set(kA, ChunkOf({4, 5}));  // replaces, keeps its place
  ASSERT_TRUE(written.AppendTo(out));
  const Bytes expected = {9, 's', 'e', 'c', 't', 1, 0, 0, 0, 18, 0, 0, 0,
                          'a', 'a', 'a', 'a', 2, 0, 0, 0, 4, 5, 'b', 'b', 'b', 'b', 0, 0, 0, 0};
  EXPECT_EQ(BytesOf(out), expected);

  StateSections read;
  EXPECT_EQ(read.Read(out, 1), out.Size());
  EXPECT_EQ(read.Version(), StateSections::kVersion);
  ASSERT_NE(read.Find(kA), nullptr);
  EXPECT_EQ(BytesOf(*read.Find(kA)), (Bytes{4, 5}));
  ASSERT_NE(read.Find(kB), nullptr);
  EXPECT_EQ(read.Find(kB)->Size(), 0);
  EXPECT_EQ(read.Find(kLater), nullptr);

  // A block larger than a reader takes is not written.
  StateSections huge;
  StateChunk big;
  big.Resize(StateSections::kMaxBytes);
  huge.Set(kA, big);
  EXPECT_FALSE(huge.AppendTo(out));
}

TEST(StateSections, ReaderSkipsWhatItDoesNotKnowAndTakesADamagedBlockAsNone) {
  StateChunk atMost;
  atMost.Resize(StateSections::kMaxBytes - 8);
  StateChunk over;
  over.Resize(StateSections::kMaxBytes - 7);
  const Bytes overPayload(over.Data(), over.Data() + over.Size());
  const Bytes atMostPayload(atMost.Data(), atMost.Data() + atMost.Size());
  const struct {
    const char* reason;
    RawBlock block;
    bool whole;   // the block is taken
    Bytes a;      // section "aaaa" then holds this
  } cases[] = {
      {"one known section", {1, {{kA, {7}}}}, true, {7}},
      {"a later version's unknown sections are skipped",
       {2, {{kLater, {1, 2, 3, 4, 5, 6, 7, 8, 9}}, {kA, {7}}, {kLater, {}}}}, true, {7}},
      {"bytes after the block are left to what follows", {1, {{kA, {7}}}, std::nullopt, {1, 2, 3}}, true, {7}},
      {"an empty block", {1, {}}, true, {}},
      {"the largest block", {1, {{kA, atMostPayload}}}, true, atMostPayload},
      {"a block above the bound", {1, {{kA, overPayload}}}, false, {}},
      {"version 0", {0, {{kA, {7}}}}, false, {}},
      {"a negative version", {-3, {{kA, {7}}}}, false, {}},
      {"another block tag", {1, {{kA, {7}}}, std::nullopt, {}, FourCC("secT")}, false, {}},
      {"a byte count past the end", {1, {{kA, {7}}}, 10}, false, {}},
      {"a negative byte count", {1, {{kA, {7}}}, -9}, false, {}},
      {"a section past its block into what follows", {1, {{kA, {7}, 4}}, 9, {1, 2, 3, 4}}, false, {}},
      {"a section header cut by the block's end", {1, {{kA, {7}}}, 6, {1, 2, 3}}, false, {}},
      {"a negative section size", {1, {{kA, {7}, -1}}, std::nullopt, {1, 2}}, false, {}},
      {"a known section after a damaged one", {1, {{kLater, {1}, 900}, {kA, {7}}}}, false, {}},
  };
  for (const auto& c : cases) {
    for (int lead : {0, 5}) {
      RawBlock block = c.block;
      block.lead = Bytes(static_cast<std::size_t>(lead), 0xAA);
      const StateChunk bytes = block.Chunk();
      StateSections read;
      read.Set(kB, ChunkOf({1}));  // what a reader held before goes either way
      const int end = read.Read(bytes, lead);
      const int blockEnd = bytes.Size() - static_cast<int>(block.after.size());
      EXPECT_EQ(end, c.whole ? blockEnd : -1) << c.reason;
      EXPECT_EQ(read.Find(kB), nullptr) << c.reason;
      const StateChunk* a = read.Find(kA);
      EXPECT_EQ(a != nullptr, c.whole && !c.block.sections.empty()) << c.reason;
      if (a) {
        EXPECT_EQ(BytesOf(*a), c.a) << c.reason;
      }
      EXPECT_EQ(read.Version(), c.whole ? c.block.version : StateSections::kVersion) << c.reason;
    }
  }
  // A block cut anywhere is none.
  const StateChunk whole = RawBlock{1, {{kA, {7, 8}}, {kB, {}}}}.Chunk();
  for (int cut = 0; cut < whole.Size(); ++cut) {
    StateChunk part = whole;
    part.Resize(cut);
    StateSections read;
    EXPECT_EQ(read.Read(part, 0), -1) << cut;
    EXPECT_TRUE(read.Empty()) << cut;
  }
}
