// Runs mirel-snapshot as a process and reads back the pictures it writes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/EditorPlaces.h"
#include "tests/support/PictureCompare.h"
#include "tests/support/TempDir.h"
#include "raster/RAS_Png.h"

namespace fs = std::filesystem;

namespace {

int Snapshot(const std::string& args) {
  const int status = std::system((std::string(MIREL_SNAPSHOT) + " " + args + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<RAS_MemBitmap> Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return DecodePngFromMemory(bytes.data(), bytes.size());
}

// The comparison of one control's place only.
testsupport::PictureRules Inside(const testsupport::EditorPlace& p) {
  testsupport::PictureRules rules;
  rules.region = testsupport::PictureArea{p.x, p.y, p.Right(), p.Bottom()};
  return rules;
}

}  // namespace

TEST(SnapshotTool, KnobsSwitchesAndMeterFollowTheValuesAndFailuresKeepTheOldFile) {
  const testsupport::TempDir dir;
  ASSERT_EQ(Snapshot((dir / "default.png").string()), 0);
  ASSERT_EQ(Snapshot("--set Ratio=3 --set 13=0 --meter-db 12 " + (dir / "set.png").string()), 0);
  auto a = Read(dir / "default.png");
  auto b = Read(dir / "set.png");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->getWidth(), mirel::layout::kEditorWidth);
  EXPECT_EQ(a->getHeight(), mirel::layout::kEditorHeight);
  const auto va = testsupport::PictureView::Of(*a), vb = testsupport::PictureView::Of(*b);
  const auto differsAt = [&](const testsupport::EditorPlace& p) {
    return testsupport::FirstDifference(va, vb, Inside(p)).has_value();
  };
  EXPECT_TRUE(differsAt(testsupport::EditorPlaceOf(kRatio)));
  EXPECT_TRUE(differsAt(testsupport::EditorPlaceOf(kSidechain)));
  EXPECT_TRUE(differsAt(testsupport::EditorMeterPlace()));
  EXPECT_TRUE(testsupport::SamePicture(va, vb, "snapshot-input-untouched", Inside(testsupport::EditorPlaceOf(kInput))));

  // Refused values and names fail with exit code 2 and leave the file alone.
  const auto before = fs::last_write_time(dir / "set.png");
  EXPECT_EQ(Snapshot("--set Input=99 " + (dir / "set.png").string()), 2);
  EXPECT_EQ(Snapshot("--set Sidechain=1 " + (dir / "set.png").string()), 2);
  EXPECT_EQ(Snapshot("--meter-db -3 " + (dir / "set.png").string()), 2);
  for (const char* scale : {"0.7", "3.01", "nan", "0"}) {
    EXPECT_EQ(Snapshot(std::string("--scale ") + scale + " " + (dir / "set.png").string()), 2) << scale;
  }
  EXPECT_EQ(fs::last_write_time(dir / "set.png"), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

// The smallest size a host's resize handle gives draws too: 0.75 times the
// editor, rounded as the editor rounds.
TEST(SnapshotTool, DrawsBelowOneDownToThreeQuarters) {
  const testsupport::TempDir dir;
  ASSERT_EQ(Snapshot("--scale 0.75 " + (dir / "small.png").string()), 0);
  auto small = Read(dir / "small.png");
  ASSERT_TRUE(small);
  EXPECT_EQ(small->getWidth(), static_cast<int>(mirel::layout::kEditorWidth * 0.75 + 0.5));
  EXPECT_EQ(small->getHeight(), static_cast<int>(mirel::layout::kEditorHeight * 0.75 + 0.5));
}
