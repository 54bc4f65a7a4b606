#pragma once
// Builds the bytes of an XSETTINGS block (the _XSETTINGS_SETTINGS property a
// desktop's settings manager publishes), in either byte order, setting by
// setting; the deliberately wrong ones too (any type, any declared length or
// count), for the parser's tests and a fake settings manager.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class XSettingsBlock {
 public:
  enum Type : std::uint8_t { kInteger = 0, kString = 1, kColour = 2 };

  explicit XSettingsBlock(bool msbFirst = false) : msb_(msbFirst) {}

  XSettingsBlock& Integer(const std::string& name, std::int32_t value) {
    Head(kInteger, name);
    Card32(static_cast<std::uint32_t>(value));
    return Done();
  }
  // `declaredLength`: the length the block claims, when it is to lie.
  XSettingsBlock& String(const std::string& name, const std::string& text,
                         std::optional<std::uint32_t> declaredLength = std::nullopt) {
    Head(kString, name);
    Card32(declaredLength.value_or(static_cast<std::uint32_t>(text.size())));
    Padded(text);
    return Done();
  }
  XSettingsBlock& Colour(const std::string& name, std::uint16_t r, std::uint16_t g, std::uint16_t b,
                         std::uint16_t a) {
    Head(kColour, name);
    for (const std::uint16_t c : {r, g, b, a}) Card(c, 2);
    return Done();
  }
  // A setting of any type with a 32-bit value, and a name that may claim
  // another length than it has.
  XSettingsBlock& Raw(std::uint8_t type, const std::string& name, std::uint32_t value,
                      std::optional<std::uint16_t> declaredNameLength = std::nullopt) {
    Head(type, name, declaredNameLength);
    Card32(value);
    return Done();
  }
  // The count the header claims, instead of the settings added.
  XSettingsBlock& ClaimCount(std::uint32_t count) {
    claimedCount_ = count;
    return *this;
  }
  XSettingsBlock& ByteOrderByte(std::uint8_t value) {
    orderByte_ = value;
    return *this;
  }

  std::vector<std::uint8_t> Bytes() const {
    XSettingsBlock header(msb_);
    header.body_.push_back(orderByte_.value_or(msb_ ? 1 : 0));
    header.body_.insert(header.body_.end(), 3, 0);
    header.Card32(7);  // serial
    header.Card32(claimedCount_.value_or(static_cast<std::uint32_t>(ends_.size())));
    std::vector<std::uint8_t> all = header.body_;
    all.insert(all.end(), body_.begin(), body_.end());
    return all;
  }
  // Where setting i ends in Bytes().
  std::size_t EndOf(std::size_t i) const { return kHeaderBytes + ends_.at(i); }

 private:
  static constexpr std::size_t kHeaderBytes = 12;

  void Card(std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = msb_ ? 8 * (bytes - 1 - i) : 8 * i;
      body_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }
  void Card32(std::uint32_t value) { Card(value, 4); }
  void Padded(const std::string& s) {
    body_.insert(body_.end(), s.begin(), s.end());
    while (body_.size() % 4 != 0) body_.push_back(0);
  }
  void Head(std::uint8_t type, const std::string& name, std::optional<std::uint16_t> declared = std::nullopt) {
    body_.push_back(type);
    body_.push_back(0);
    Card(declared.value_or(static_cast<std::uint16_t>(name.size())), 2);
    Padded(name);
    Card32(0);  // last change serial
  }
  XSettingsBlock& Done() {
    ends_.push_back(body_.size());
    return *this;
  }

  bool msb_;
  std::optional<std::uint32_t> claimedCount_;
  std::optional<std::uint8_t> orderByte_;
  std::vector<std::uint8_t> body_;
  std::vector<std::size_t> ends_;
};

}  // namespace testsupport
