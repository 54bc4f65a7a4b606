#pragma once

// A growable byte buffer carrying parameter state: plain values as
// little-endian IEEE-754 doubles, back to back, with no header.

#include <cstdint>
#include <vector>

class StateChunk {
 public:
  // Appends x's 8 bytes; returns the new size (<= 0 if the buffer could not grow).
  int AppendDouble(double x);
  // Reads 8 bytes at pos into x and returns pos + 8; returns -1 and leaves x
  // alone when fewer than 8 bytes remain (or pos is negative).
  int ReadDouble(int pos, double& x) const;
  // Appends raw bytes; returns the new size (<= 0 on failure).
  int AppendBytes(const void* bytes, int count);

  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t* Data() { return bytes_.data(); }
  int Size() const { return static_cast<int>(bytes_.size()); }
  // Sets the size in bytes; new bytes are zero. Returns the new size.
  int Resize(int bytes);
  void Clear() { bytes_.clear(); }

 private:
  std::vector<std::uint8_t> bytes_;
};
