#include "host/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace mirel::host {

using Steinberg::int32;
using Steinberg::int64;
using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;

void MemoryStream::SetData(std::vector<std::uint8_t> data) {
  data_ = std::move(data);
  pos_ = 0;
}

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++readCalls_;
  if (numBytesRead != nullptr) *numBytesRead = 0;
  if (numBytes < 0 || (buffer == nullptr && numBytes > 0)) return kInvalidArgument;
  const int64 size = static_cast<int64>(data_.size());
  const int64 left = pos_ < size ? size - pos_ : 0;
  const int64 n = std::min<int64>({numBytes, left, maxPerRead_});
  if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(n);
  if (n == numBytes) return kResultOk;
  return n == left ? endOfDataResult_ : kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  ++writeCalls_;
  if (numBytesWritten != nullptr) *numBytesWritten = 0;
  if (numBytes < 0 || (buffer == nullptr && numBytes > 0)) return kInvalidArgument;
  const int64 room = std::max<int64>(0, capacity_ - pos_);
  const int64 n = std::min<int64>(numBytes, room);
  if (n > 0) {
    const auto end = static_cast<size_t>(pos_ + n);
    // Growing may fail; no exception may travel back into the plug-in.
    try {
      if (data_.size() < end) data_.resize(end, 0);
    } catch (const std::bad_alloc&) {
      return Steinberg::kOutOfMemory;
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(n));
    pos_ += n;
  }
  if (numBytesWritten != nullptr) *numBytesWritten = static_cast<int32>(n);
  return n == numBytes ? kResultOk : kResultFalse;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = 0;
  switch (mode) {
    case Steinberg::IBStream::kIBSeekSet:
      base = 0;
      break;
    case Steinberg::IBStream::kIBSeekCur:
      base = pos_;
      break;
    case Steinberg::IBStream::kIBSeekEnd:
      base = static_cast<int64>(data_.size());
      break;
    default:
      if (result != nullptr) *result = pos_;
      return kInvalidArgument;
  }
  int64 target = 0;
  if (__builtin_add_overflow(base, pos, &target) || target < 0 || target > capacity_) {
    if (result != nullptr) *result = pos_;
    return kInvalidArgument;
  }
  pos_ = target;
  if (result != nullptr) *result = pos_;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos) {
  if (pos == nullptr) return kInvalidArgument;
  *pos = pos_;
  return kResultOk;
}

}  // namespace mirel::host
