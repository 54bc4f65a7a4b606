#include "tools/render/SafeOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "tools/render/RenderOptions.h"

namespace fs = std::filesystem;

namespace mirel::render {

std::vector<std::uint8_t> ReadBytes(const std::string& path, const std::string& what) {
  std::error_code ec;
  if (!fs::exists(path, ec)) throw Failure{"cannot read " + what + " '" + path + "': no such file"};
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{"cannot read " + what + " '" + path + "': " + std::strerror(errno)};
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure{"cannot read " + what + " '" + path + "'"};
  return data;
}


PendingFile::PendingFile(std::string target)
    : target_(std::move(target)), temp_(target_ + ".partial-" + std::to_string(static_cast<long>(getpid()))) {}

PendingFile::~PendingFile() {
  if (!committed_) {
    std::error_code ec;
    fs::remove(temp_, ec);
  }
}

void PendingFile::Commit() {
  std::error_code ec;
  fs::rename(temp_, target_, ec);
  if (ec) throw Failure{"cannot write '" + target_ + "': " + ec.message()};
  committed_ = true;
}

void WriteBytes(PendingFile& file, const std::vector<std::uint8_t>& data) {
  std::ofstream out(file.Temp(), std::ios::binary | std::ios::trunc);
  if (!out) throw Failure{"cannot write '" + file.Target() + "': " + std::strerror(errno)};
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  if (!out) throw Failure{"cannot write '" + file.Target() + "'"};
}

}  // namespace mirel::render
