#pragma once
// In-memory streams for a CLAP plug-in's state. Each moves at most `piece`
// bytes per call (0: no limit), as hosts' streams that deliver in pieces do.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream.h"

namespace mirel::host {

class ClapReadStream {
 public:
  explicit ClapReadStream(std::vector<std::uint8_t> bytes, std::size_t piece = 0);
  ClapReadStream(const ClapReadStream&) = delete;
  ClapReadStream& operator=(const ClapReadStream&) = delete;
  const clap_istream_t* Stream() const { return &stream_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t piece_;
  std::size_t pos_ = 0;
  clap_istream_t stream_{};
};

class ClapWriteStream {
 public:
  explicit ClapWriteStream(std::size_t piece = 0);
  ClapWriteStream(const ClapWriteStream&) = delete;
  ClapWriteStream& operator=(const ClapWriteStream&) = delete;
  const clap_ostream_t* Stream() const { return &stream_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t piece_;
  clap_ostream_t stream_{};
};

}  // namespace mirel::host
