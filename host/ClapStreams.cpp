#include "host/ClapStreams.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace mirel::host {

ClapReadStream::ClapReadStream(std::vector<std::uint8_t> bytes, std::size_t piece)
    : bytes_(std::move(bytes)), piece_(piece) {
  stream_.ctx = this;
  stream_.read = [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
    auto* self = static_cast<ClapReadStream*>(s->ctx);
    std::size_t n = std::min<std::uint64_t>(size, self->bytes_.size() - self->pos_);
    if (self->piece_ > 0) n = std::min(n, self->piece_);
    if (n > 0) std::memcpy(buffer, self->bytes_.data() + self->pos_, n);
    self->pos_ += n;
    return static_cast<std::int64_t>(n);
  };
}

ClapWriteStream::ClapWriteStream(std::size_t piece) : piece_(piece) {
  stream_.ctx = this;
  stream_.write = [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
    auto* self = static_cast<ClapWriteStream*>(s->ctx);
    std::size_t n = static_cast<std::size_t>(size);
    if (self->piece_ > 0) n = std::min(n, self->piece_);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    self->bytes_.insert(self->bytes_.end(), bytes, bytes + n);
    return static_cast<std::int64_t>(n);
  };
}

}  // namespace mirel::host
