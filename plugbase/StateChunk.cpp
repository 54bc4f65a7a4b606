#include "plugbase/StateChunk.h"

#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

void PutLittleEndian(std::uint8_t* out, double x) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double GetLittleEndian(const std::uint8_t* in) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

constexpr std::size_t kMaxSize = static_cast<std::size_t>(std::numeric_limits<int>::max());

}  // namespace

int StateChunk::AppendDouble(double x) {
  if (bytes_.size() + 8 > kMaxSize) return -1;
  try {
    bytes_.resize(bytes_.size() + 8);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  PutLittleEndian(bytes_.data() + bytes_.size() - 8, x);
  return Size();
}

int StateChunk::AppendBytes(const void* bytes, int count) {
  if (count < 0 || bytes_.size() + static_cast<std::size_t>(count) > kMaxSize) return -1;
  if (count == 0) return Size();
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  try {
    bytes_.insert(bytes_.end(), p, p + count);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return Size();
}

int StateChunk::ReadDouble(int pos, double& x) const {
  if (pos < 0 || static_cast<std::size_t>(pos) + 8 > bytes_.size()) return -1;
  x = GetLittleEndian(bytes_.data() + pos);
  return pos + 8;
}

int StateChunk::Resize(int bytes) {
  if (bytes < 0) bytes = 0;
  bytes_.resize(static_cast<std::size_t>(bytes));
  return Size();
}
