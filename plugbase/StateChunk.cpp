#include "plugbase/StateChunk.h"

#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

constexpr std::size_t kMaxSize = static_cast<std::size_t>(std::numeric_limits<int>::max());

}  // namespace

int StateChunk::AppendWord(std::uint64_t bits, int count, bool bigEndian) {
  std::uint8_t out[8];
  for (int i = 0; i < count; ++i) out[bigEndian ? count - 1 - i : i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return AppendBytes(out, count);
}

int StateChunk::ReadWord(int pos, int count, bool bigEndian, std::uint64_t& bits) const {
  if (pos < 0 || static_cast<std::size_t>(pos) + static_cast<std::size_t>(count) > bytes_.size()) return -1;
  const std::uint8_t* in = bytes_.data() + pos;
  bits = 0;
  for (int i = 0; i < count; ++i) bits |= static_cast<std::uint64_t>(in[bigEndian ? count - 1 - i : i]) << (8 * i);
  return pos + count;
}

int StateChunk::AppendDouble(double x) { return AppendWord(std::bit_cast<std::uint64_t>(x), 8, false); }

int StateChunk::ReadDouble(int pos, double& x) const {
  std::uint64_t bits = 0;
  const int next = ReadWord(pos, 8, false, bits);
  if (next >= 0) x = std::bit_cast<double>(bits);
  return next;
}

int StateChunk::AppendInt32(std::int32_t x) { return AppendWord(static_cast<std::uint32_t>(x), 4, false); }

int StateChunk::ReadInt32(int pos, std::int32_t& x) const {
  std::uint64_t bits = 0;
  const int next = ReadWord(pos, 4, false, bits);
  if (next >= 0) x = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  return next;
}

int StateChunk::AppendTag(std::uint32_t tag) { return AppendWord(tag, 4, true); }

int StateChunk::ReadTag(int pos, std::uint32_t& tag) const {
  std::uint64_t bits = 0;
  const int next = ReadWord(pos, 4, true, bits);
  if (next >= 0) tag = static_cast<std::uint32_t>(bits);
  return next;
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

int StateChunk::Resize(int bytes) {
  if (bytes < 0) bytes = 0;
  bytes_.resize(static_cast<std::size_t>(bytes));
  return Size();
}
