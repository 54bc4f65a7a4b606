#pragma once
// An in-memory IBStream for state get/set.

#include <cstdint>
#include <limits>
#include <vector>

#include "host/HostObject.h"
#include "pluginterfaces/base/ibstream.h"

namespace mirel::host {

// Semantics (one host's choice where the interface leaves room):
// - read delivers min(asked, bytes left, per-read limit) bytes. Falling short
//   because the data ended answers kResultFalse (or the result set with
//   SetEndOfDataResult); falling short only because of the per-read limit
//   answers kResultOk, as a pipe-like stream does.
// - write at a position past the end fills the gap with zeros. With a capacity
//   set, a write that does not fit writes what fits and answers kResultFalse.
// - seek may go past the end; a negative target or unknown mode answers
//   kInvalidArgument and leaves the position unchanged.
// Not thread-safe: a stream serves one call at a time.
class MemoryStream : public HostObject<Steinberg::IBStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  const std::vector<std::uint8_t>& Data() const { return data_; }
  // Replaces the content and rewinds.
  void SetData(std::vector<std::uint8_t> data);
  std::int64_t Position() const { return pos_; }
  void Rewind() { pos_ = 0; }

  // Every read call delivers at most n bytes (n >= 1).
  void SetMaxBytesPerRead(Steinberg::int32 n) { maxPerRead_ = n < 1 ? 1 : n; }
  // The result of a read that falls short because the data ended.
  void SetEndOfDataResult(Steinberg::tresult result) { endOfDataResult_ = result; }
  // The stream cannot grow beyond n bytes.
  void SetCapacity(std::int64_t n) { capacity_ = n < 0 ? 0 : n; }

  int ReadCalls() const { return readCalls_; }
  int WriteCalls() const { return writeCalls_; }

 private:
  std::vector<std::uint8_t> data_;
  std::int64_t pos_ = 0;
  Steinberg::int32 maxPerRead_ = std::numeric_limits<Steinberg::int32>::max();
  Steinberg::tresult endOfDataResult_ = Steinberg::kResultFalse;
  std::int64_t capacity_ = std::numeric_limits<std::int32_t>::max();
  int readCalls_ = 0;
  int writeCalls_ = 0;
};

}  // namespace mirel::host
