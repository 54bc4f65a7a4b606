#include "host/EditorImage.h"

#include <png.h>

#include <cstring>

namespace mirel::host {

bool WritePng(const EditorImage& image, const std::string& path, std::string& error) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
    error = "no image to write";
    return false;
  }
  png_image out;
  std::memset(&out, 0, sizeof out);
  out.version = PNG_IMAGE_VERSION;
  out.width = static_cast<png_uint_32>(image.width);
  out.height = static_cast<png_uint_32>(image.height);
  out.format = PNG_FORMAT_BGRA;
  if (!png_image_write_to_file(&out, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
    error = "cannot write '" + path + "': " + out.message;
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, EditorImage& image, std::string& error) {
  png_image in;
  std::memset(&in, 0, sizeof in);
  in.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&in, path.c_str())) {
    error = "cannot read '" + path + "': " + in.message;
    return false;
  }
  in.format = PNG_FORMAT_BGRA;
  EditorImage result;
  result.width = static_cast<int>(in.width);
  result.height = static_cast<int>(in.height);
  result.pixels.resize(static_cast<std::size_t>(in.width) * in.height);
  if (!png_image_finish_read(&in, nullptr, result.pixels.data(), 0, nullptr)) {
    error = "cannot decode '" + path + "': " + in.message;
    png_image_free(&in);
    return false;
  }
  image = std::move(result);
  return true;
}

}  // namespace mirel::host
