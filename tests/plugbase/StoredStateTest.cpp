// The whole state a host stores: values, host-bypass word, the zoom trailer
// and the section block, written in the forms every release reads.

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "tests/support/LaterFieldEffect.h"
#include "tests/support/StateBytes.h"

namespace {

using testsupport::Bytes;
using testsupport::BytesOf;
using testsupport::ChunkOf;
using testsupport::operator+;

using testsupport::LaterFieldEffect;
constexpr std::uint32_t kLaterTag = LaterFieldEffect::kLaterTag;

Bytes Doubles(std::initializer_list<double> values) {
  StateChunk c;
  for (double v : values) c.AppendDouble(v);
  return BytesOf(c);
}

Bytes ZoomTrailer(double zoom) {
  StateChunk c;
  c.AppendTag(FourCC("zoom"));
  c.AppendDouble(zoom);
  return BytesOf(c);
}

Bytes Block(std::vector<std::pair<std::uint32_t, std::int32_t>> fields) {
  StateSections sections;
  for (auto [tag, value] : fields) {
    StateChunk payload;
    payload.AppendInt32(value);
    sections.Set(tag, payload);
  }
  StateChunk c;
  sections.AppendTo(c);
  return BytesOf(c);
}

const Bytes kValues = Doubles({-6.0, 1.0, 0.5});
const Bytes kBypassOn = {1, 0, 0, 0};

}  // namespace

TEST(StoredState, EachFieldIsWrittenInTheFormEveryReleaseReads) {
  const struct {
    const char* reason;
    double zoom;
    std::int32_t later;
    Bytes tail;  // after the values and the bypass word
  } cases[] = {
      {"never resized, no later field: the bytes of 4.1.0", 1.0, 0, {}},
      {"resized: the zoom trailer", 1.25, 0, ZoomTrailer(1.25)},
      {"a later field alone: its block right after the bypass word", 1.0, 3, Block({{kLaterTag, 3}})},
      {"both: the trailer, then the block", 0.5, -2, ZoomTrailer(0.5) + Block({{kLaterTag, -2}})},
  };
  for (const auto& c : cases) {
    LaterFieldEffect fx;
    StateChunk values = ChunkOf(kValues);
    fx.UnserializeParams(values, 0);
    fx.SetBypass(true);
    ASSERT_TRUE(fx.SetEditorZoom(c.zoom)) << c.reason;
    fx.later = c.later;
    StateChunk saved;
    ASSERT_TRUE(fx.SerializeState(saved)) << c.reason;
    EXPECT_EQ(BytesOf(saved), kValues + kBypassOn + c.tail) << c.reason;

    // Read back into an instance that held other values, it gives the same bytes.
    LaterFieldEffect to;
    to.SetEditorZoom(2.0);
    to.later = 9;
    ASSERT_TRUE(to.UnserializeState(saved)) << c.reason;
    EXPECT_EQ(to.Values(), (std::vector<double>{-6.0, 1.0, 0.5})) << c.reason;
    EXPECT_TRUE(to.Bypass()) << c.reason;
    EXPECT_EQ(to.EditorZoom(), c.zoom) << c.reason;
    EXPECT_EQ(to.later, c.later) << c.reason;
    StateChunk again;
    ASSERT_TRUE(to.SerializeState(again)) << c.reason;
    EXPECT_EQ(BytesOf(again), BytesOf(saved)) << c.reason;
  }
}

// What follows the bypass word never costs the values and the bypass word
// read before it; a field it does not carry whole takes its default.
TEST(StoredState, TailsKnownUnknownCutOrRandomLoadTheirKnownPartsAndNoMore) {
  const Bytes trailer = ZoomTrailer(1.5);
  const Bytes block = Block({{FourCC("new!"), 77}, {kLaterTag, 3}, {FourCC("nwr2"), 5}});
  const Bytes huge = ZoomTrailer(5.0);
  Bytes nan = trailer;
  nan[10] = 0xF8;
  nan[11] = 0x7F;
  const struct {
    const char* reason;
    Bytes tail;
    double zoom;
    std::int32_t later;
  } cases[] = {
      {"nothing (4.1.0)", {}, 1.0, 0},
      {"the zoom trailer", trailer, 1.5, 0},
      {"trailer and a block with later unknown sections", trailer + block, 1.5, 3},
      {"a block alone", block, 1.0, 3},
      {"trailer cut short", Bytes(trailer.begin(), trailer.end() - 1), 1.0, 0},
      {"trailer cut after its tag, then a block", Bytes(trailer.begin(), trailer.begin() + 4) + block, 1.0, 0},
      {"block cut short", trailer + Bytes(block.begin(), block.end() - 1), 1.5, 0},
      {"zoom out of range, then a block", huge + block, 1.0, 3},
      {"zoom NaN", nan, 1.0, 0},
      {"another tag", Bytes{'Z', 'o', 'o', 'm'} + Bytes(trailer.begin() + 4, trailer.end()), 1.0, 0},
      {"random bytes", {0x13, 0x37, 0xC0, 0xDE, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1.0, 0},
      {"junk after the block", block + Bytes{1, 2, 3}, 1.0, 3},
  };
  for (const auto& c : cases) {
    LaterFieldEffect fx;
    fx.SetEditorZoom(2.0);
    fx.later = 9;
    ASSERT_TRUE(fx.UnserializeState(ChunkOf(kValues + kBypassOn + c.tail))) << c.reason;
    EXPECT_EQ(fx.Values(), (std::vector<double>{-6.0, 1.0, 0.5})) << c.reason;
    EXPECT_TRUE(fx.Bypass()) << c.reason;
    EXPECT_EQ(fx.EditorZoom(), c.zoom) << c.reason;
    EXPECT_EQ(fx.later, c.later) << c.reason;
  }
}

TEST(StoredState, BytesEndingBeforeTheBypassWordRestoreTheWholeValuesAndFail) {
  const Bytes whole = kValues + kBypassOn + ZoomTrailer(1.5);
  for (std::size_t cut : {0u, 7u, 8u, 20u, 24u, 27u}) {
    LaterFieldEffect fx;
    fx.SetEditorZoom(2.0);
    fx.later = 9;
    EXPECT_FALSE(fx.UnserializeState(ChunkOf(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)))))
        << cut;
    EXPECT_EQ(fx.GetParam(0)->Value(), cut >= 8 ? -6.0 : 1.5) << cut;
    EXPECT_EQ(fx.GetParam(1)->Value(), cut >= 16 ? 1.0 : 2.0) << cut;
    EXPECT_EQ(fx.GetParam(2)->Value(), cut >= 24 ? 0.5 : 0.25) << cut;
    EXPECT_FALSE(fx.Bypass()) << cut;
    EXPECT_EQ(fx.EditorZoom(), 2.0) << cut;  // nothing after the values is touched
    EXPECT_EQ(fx.later, 9) << cut;
  }
  LaterFieldEffect fx;
  EXPECT_EQ(fx.MaxStateSize(), 24 + 4 + 12 + StateSections::kHeaderSize + StateSections::kMaxBytes);
}
