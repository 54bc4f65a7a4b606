#pragma once

// A growable byte buffer carrying stored state: plain values as
// little-endian IEEE-754 doubles, 32-bit little-endian integers and
// four-character tags (big-endian, so that they read as their letters).
// Every value of a state is written and read through it.

#include <cstdint>
#include <vector>

class StateChunk {
 public:
  // Appends x's 8 bytes; returns the new size (<= 0 if the buffer could not grow).
  int AppendDouble(double x);
  // Reads 8 bytes at pos into x and returns pos + 8; returns -1 and leaves x
  // alone when fewer than 8 bytes remain (or pos is negative).
  int ReadDouble(int pos, double& x) const;
  // The same for a 32-bit integer (4 bytes).
  int AppendInt32(std::int32_t x);
  int ReadInt32(int pos, std::int32_t& x) const;
  // The same for a four-character code (FourCC), its first letter first.
  int AppendTag(std::uint32_t tag);
  int ReadTag(int pos, std::uint32_t& tag) const;
  // Appends raw bytes; returns the new size (<= 0 on failure).
  int AppendBytes(const void* bytes, int count);

  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t* Data() { return bytes_.data(); }
  int Size() const { return static_cast<int>(bytes_.size()); }
  // Sets the size in bytes; new bytes are zero. Returns the new size.
  int Resize(int bytes);
  void Clear() { bytes_.clear(); }

 private:
  // count bytes of bits, lowest first (or highest first when bigEndian).
  int AppendWord(std::uint64_t bits, int count, bool bigEndian);
  int ReadWord(int pos, int count, bool bigEndian, std::uint64_t& bits) const;

  std::vector<std::uint8_t> bytes_;
};
