// The desktop settings parser on blocks built in memory: no X server needed.
// Every row starts from settings that name no real desktop, so a value left
// alone shows as that start value.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/x11/XSettings.h"
#include "tests/support/XSettingsBlock.h"

namespace {

using testsupport::XSettingsBlock;
using x11gui::DesktopSettings;

constexpr DesktopSettings kStart{1, 2, 3.0};

DesktopSettings Read(const std::vector<std::uint8_t>& bytes) {
  DesktopSettings settings = kStart;
  x11gui::ReadXSettings(bytes.data(), bytes.size(), settings);
  return settings;
}

// A desktop's block: other settings of every type around the three read.
XSettingsBlock Desktop(bool msb) {
  XSettingsBlock b(msb);
  b.String("Gtk/ThemeName", "Adwaita")
      .Integer("Net/DoubleClickTime", 250)
      .Colour("Gtk/Colour", 1, 2, 3, 4)
      .Integer("Net/DoubleClickDistance", 4)
      .Integer("Gtk/CursorThemeSize", 24)
      .Integer("Xft/DPI", 192 * 1024);
  return b;
}

struct Row {
  const char* reason;
  std::vector<std::uint8_t> bytes;
  DesktopSettings expected;
};

TEST(XSettings, ReadsTheDesktopsValuesAndNothingFromMalformedOrForeignData) {
  const auto dpi = [](std::int32_t value) { return XSettingsBlock().Integer("Xft/DPI", value).Bytes(); };
  const auto time = [](std::int32_t value) { return XSettingsBlock().Integer("Net/DoubleClickTime", value).Bytes(); };
  const auto distance = [](std::int32_t v) { return XSettingsBlock().Integer("Net/DoubleClickDistance", v).Bytes(); };
  const std::vector<Row> rows = {
      {"Xft/DPI is in 1024ths of a dot per inch", dpi(147456), {1, 2, 144.0}},
      {"Xft/DPI -1 is the desktop's default: nothing to take", dpi(-1), kStart},
      {"Xft/DPI 0 is no density", dpi(0), kStart},
      {"Xft/DPI beyond any display", dpi(0x7fffffff), kStart},
      {"no Xft/DPI: the density stays as it was",
       XSettingsBlock().Integer("Net/DoubleClickTime", 300).Integer("Xft/Hinting", 1).Bytes(), {300, 2, 3.0}},
      {"a name that only begins like Xft/DPI", XSettingsBlock().Integer("Xft/DPIx", 96 * 1024).Bytes(), kStart},
      {"a double-click time of 0 ms", time(0), kStart},
      {"a double-click time above 5 s", time(5001), kStart},
      {"a negative double-click time", time(-5), kStart},
      {"the longest double-click time taken", time(5000), {5000, 2, 3.0}},
      {"a negative double-click distance", distance(-1), kStart},
      {"a double-click distance above 100 pixels", distance(101), kStart},
      {"a double-click distance of 0 is exact", distance(0), {1, 0, 3.0}},
      {"Xft/DPI as a string is no integer",
       XSettingsBlock().String("Xft/DPI", "192").Integer("Net/DoubleClickTime", 260).Bytes(), {260, 2, 3.0}},
      {"Xft/DPI as a colour is no integer",
       XSettingsBlock().Colour("Xft/DPI", 0, 3, 0, 0).Integer("Net/DoubleClickTime", 270).Bytes(), {270, 2, 3.0}},
      {"an unknown type has no known length: what follows it is not read",
       XSettingsBlock().Integer("Net/DoubleClickTime", 280).Raw(3, "Gtk/New", 0).Integer("Xft/DPI", 96 * 1024).Bytes(),
       {280, 2, 3.0}},
      {"a byte order that is neither",
       XSettingsBlock().Integer("Xft/DPI", 96 * 1024).ByteOrderByte(2).Bytes(), kStart},
      {"a count beyond the settings present: those present are read",
       XSettingsBlock().Integer("Xft/DPI", 120 * 1024).ClaimCount(0xffffffffu).Bytes(), {1, 2, 120.0}},
      {"a count below them: the rest are not settings",
       XSettingsBlock().Integer("Net/DoubleClickTime", 290).Integer("Xft/DPI", 96 * 1024).ClaimCount(1).Bytes(),
       {290, 2, 3.0}},
      {"a string claiming 4 GB ends the block",
       XSettingsBlock()
           .Integer("Net/DoubleClickTime", 310)
           .String("Gtk/ThemeName", "Adwaita", 0xffffffffu)
           .Integer("Xft/DPI", 96 * 1024)
           .Bytes(),
       {310, 2, 3.0}},
      {"a name claiming 64 KB ends the block",
       XSettingsBlock().Raw(XSettingsBlock::kInteger, "Xft/DPI", 96 * 1024, 0xffff).Bytes(), kStart},
      {"a name claiming fewer bytes than it has misreads the rest, which must end safely",
       XSettingsBlock().Raw(XSettingsBlock::kInteger, "Xft/DPI", 96 * 1024, 3).Bytes(), kStart},
      {"the header alone, no settings", XSettingsBlock().Bytes(), kStart},
      {"shorter than a header", {0, 0, 0, 0, 7, 0}, kStart},
      {"no bytes", {}, kStart},
  };
  for (const Row& row : rows) {
    const DesktopSettings got = Read(row.bytes);
    EXPECT_EQ(got.doubleClickMs, row.expected.doubleClickMs) << row.reason;
    EXPECT_EQ(got.doubleClickDistance, row.expected.doubleClickDistance) << row.reason;
    EXPECT_EQ(got.xftDpi, row.expected.xftDpi) << row.reason;
  }
  DesktopSettings untouched = kStart;
  x11gui::ReadXSettings(nullptr, 64, untouched);
  EXPECT_EQ(untouched.doubleClickMs, kStart.doubleClickMs) << "no block at all";
}

// A block cut anywhere (a property read short, a manager rewriting it): the
// settings wholly before the cut are taken, none after it, in both byte orders.
TEST(XSettings, ABlockCutAnywhereGivesExactlyTheSettingsBeforeTheCut) {
  for (const bool msb : {false, true}) {
    const XSettingsBlock block = Desktop(msb);
    const std::vector<std::uint8_t> whole = block.Bytes();
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
      // A copy of exactly `cut` bytes, so that the sanitizer sees a read past it.
      const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
      const DesktopSettings got = Read(part);
      const bool time = cut >= block.EndOf(1), distance = cut >= block.EndOf(3), dpi = cut >= block.EndOf(5);
      EXPECT_EQ(got.doubleClickMs, time ? 250u : kStart.doubleClickMs) << "cut at " << cut << " msb " << msb;
      EXPECT_EQ(got.doubleClickDistance, distance ? 4 : kStart.doubleClickDistance) << "cut at " << cut;
      EXPECT_EQ(got.xftDpi, dpi ? 192.0 : kStart.xftDpi) << "cut at " << cut << " msb " << msb;
    }
  }
}

}  // namespace
