// The state through CLAP's streams: the VST3 module's bytes, whole or in
// pieces, and streams that cannot hold a state.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mirel/MirelParams.h"
#include "tests/clap/ClapFixture.h"
#include "tests/support/SeededRandom.h"

using clap_tests::ClapFixture;

namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Saved(mirel::host::ClapPlugin& p, std::size_t piece = 0) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(p.SaveState(bytes, piece));
  return bytes;
}

// Some values off their defaults, so that a state that changes nothing shows.
void MoveOffDefaults(mirel::host::ClapPlugin& p) {
  mirel::host::ClapInputEvents in;
  mirel::host::ClapOutputEvents out;
  in.Add(kInput, 24.0);
  in.Add(kRatio, 2.0);
  in.Add(kMix, 25.0);
  p.Flush(in, out);
}

TEST_F(ClapFixture, StateIsTheVst3StateByteForByte) {
  // A state a 4.1.0 VST3 module stored is read and written back unchanged.
  const std::vector<std::uint8_t> vst3 = ReadFile(std::string(MIREL_TEST_DATA) + "/state-4.1.0.bin");
  ASSERT_FALSE(vst3.empty());
  struct Row {
    std::size_t readPiece;
    std::size_t writePiece;
    const char* reason;
  };
  const Row rows[] = {
      {0, 0, "whole"},
      {17, 23, "reads of 17 bytes, writes of 23"},
      {1, 1, "a byte at a time"},
  };
  for (const Row& r : rows) {
    auto p = Make();
    ASSERT_TRUE(p->LoadState(vst3, r.readPiece)) << r.reason;
    EXPECT_EQ(Saved(*p, r.writePiece), vst3) << r.reason;
  }
}

// A stream that cannot hold a state is refused and leaves every value as it was.
TEST_F(ClapFixture, StreamsTooShortForAStateChangeNothing) {
  auto reference = Make();
  const std::vector<std::uint8_t> whole = Saved(*reference);
  struct Row {
    std::vector<std::uint8_t> bytes;
    const char* reason;
  };
  const Row rows[] = {
      {{}, "empty"},
      {std::vector<std::uint8_t>(whole.begin(), whole.begin() + 7), "cut inside the first value"},
      {std::vector<std::uint8_t>(whole.begin(), whole.end() - 1), "cut inside the host-bypass word"},
  };
  for (const Row& r : rows) {
    auto p = Make();
    MoveOffDefaults(*p);
    const std::vector<std::uint8_t> before = Saved(*p);
    EXPECT_FALSE(p->LoadState(r.bytes, 17)) << r.reason;
    EXPECT_EQ(Saved(*p), before) << r.reason;
  }
}

// Three megabytes of noise: whatever the plug-in makes of them, it stays
// sound, its values in range and its state stable.
TEST_F(ClapFixture, RandomBytesLeaveASoundPlugin) {
  testsupport::Rng rng(0xC1A9);
  std::vector<std::uint8_t> noise(3u << 20);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng.Next() >> 56);
  auto p = Make();
  p->LoadState(noise, 4096);
  for (int i = 0; i < kNumParams; ++i) {
    clap_param_info_t info{};
    ASSERT_TRUE(p->Params()->get_info(p->Plugin(), static_cast<std::uint32_t>(i), &info));
    const double v = p->Value(info.id);
    EXPECT_GE(v, info.min_value) << info.name;
    EXPECT_LE(v, info.max_value) << info.name;
  }
  const std::vector<std::uint8_t> once = Saved(*p);
  auto q = Make();
  ASSERT_TRUE(q->LoadState(once));
  EXPECT_EQ(Saved(*q), once);
  EXPECT_TRUE(p->Activate(44100.0, 1, 64));
}

}  // namespace
