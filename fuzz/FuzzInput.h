#pragma once
// Reads fuzzer bytes as typed values; zeros once the input is used up.
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    const std::size_t n = sizeof(T) < size_ - pos_ ? sizeof(T) : size_ - pos_;
    std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }
  int Small(int limit) { return static_cast<int>(Take<std::uint8_t>() % limit); }
  const std::uint8_t* Rest(std::size_t& n) {
    n = size_ - pos_;
    return data_ + pos_;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
