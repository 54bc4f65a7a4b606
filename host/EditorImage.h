#pragma once
// Pixels read back from an editor window, and PNG files of them.

#include <cstdint>
#include <string>
#include <vector>

namespace mirel::host {

// Rows top to bottom, each pixel 0xAARRGGBB (the bytes blue, green, red,
// alpha in memory), no row padding.
struct EditorImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
};

// False and `error` set when the file cannot be written.
bool WritePng(const EditorImage& image, const std::string& path, std::string& error);
// False and `error` set when the file is missing or no PNG.
bool ReadPng(const std::string& path, EditorImage& image, std::string& error);

}  // namespace mirel::host
