#include "IParamDef.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

std::string Truncated(const char* text, std::size_t max) {
  if (!text) return {};
  return std::string(text, strnlen(text, max));
}

}  // namespace

double ShapePow(double x, double e) {
  if (e == 1.0) return x;
  if (e == 2.0) return x * x;
  if (e == 0.5) return std::sqrt(x);
  return std::pow(x, e);
}

std::int32_t TruncToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

void IParamDef::DefineContinuous(const char* name, double defaultValue, double minValue,
                                 double maxValue, double step, const char* label,
                                 const char* /*group: always stored empty*/, double shape) {
  if (kind_ == ParamKind::None) kind_ = ParamKind::Continuous;
  name_ = Truncated(name, kParamTextMax);
  label_ = Truncated(label, kParamTextMax);
  group_.clear();
  minValue_ = minValue;
  value_ = defaultValue;
  step_ = step;
  defaultValue_ = defaultValue;
  displayPrecision_ = 0;
  maxValue_ = std::max(maxValue, minValue + step);
  // One decimal per power of ten until the step is whole, at most six.
  double s = step;
  while (std::floor(s) != s) {
    ++displayPrecision_;
    s *= 10.0;
    if (displayPrecision_ >= 6) break;
  }
  if (shape != 0.0) shape_ = shape;
}

void IParamDef::DefineStepped(const char* name, double defaultValue, double minValue,
                              double maxValue, double step, const char* label, const char* group,
                              double shape) {
  if (kind_ == ParamKind::None) kind_ = ParamKind::Stepped;
  DefineContinuous(name, defaultValue, minValue, maxValue, step, label, group, shape);
}

void IParamDef::AddDisplayText(std::int32_t value, const char* text) {
  displayTexts_.push_back(DisplayEntry{value, Truncated(text, kParamTextMax)});
}

double IParamDef::FromNormalisedUnrounded(double normalised) const {
  return minValue_ + (maxValue_ - minValue_) * ShapePow(normalised, shape_);
}

void IParamDef::SetFromNormalised(double normalised) {
  // Hosts and controls may overshoot; n^shape outside 0..1 would fold a
  // negative value back into the range, so the input is bounded first.
  if (!(normalised >= 0.0)) normalised = 0.0;
  if (normalised > 1.0) normalised = 1.0;
  double plain = FromNormalisedUnrounded(normalised);
  if (kind_ != ParamKind::Continuous) plain = std::floor(plain / step_ + 0.5) * step_;
  value_ = std::min(plain, maxValue_);
}

double IParamDef::ToNormalised(double plain) const {
  double v = plain;
  if (std::isnan(v)) v = minValue_;
  v = std::clamp(v, minValue_, maxValue_);
  return ShapePow((v - minValue_) / (maxValue_ - minValue_), 1.0 / shape_);
}

void IParamDef::SetClamped(double plain) {
  if (std::isnan(plain)) {
    // A stored NaN would propagate into the signal path; restore the minimum.
    value_ = minValue_;
  } else if (plain < minValue_) {
    value_ = minValue_;
  } else {
    value_ = std::min(plain, maxValue_);
  }
}

const char* IParamDef::GetDisplayText(std::int32_t value) const {
  for (const DisplayEntry& e : displayTexts_) {
    if (e.value == value) return e.text.c_str();
  }
  return nullptr;
}

std::string IParamDef::FormatDisplay(double plain) const {
  if (!displayTexts_.empty()) {
    const char* text = GetDisplayText(TruncToInt32(plain));
    if (text && *text) return text;
  }
  double v = negateDisplay_ ? -plain : plain;
  char buf[kDisplayMax + 1];
  std::to_chars_result r{};
  if (displayPrecision_ > 0) {
    // Locale-independent "%.*f": the host's locale must not turn the point into a comma.
    r = std::to_chars(buf, buf + kDisplayMax, v, std::chars_format::fixed, displayPrecision_);
  } else {
    r = std::to_chars(buf, buf + kDisplayMax, TruncToInt32(v));
  }
  if (r.ec != std::errc{}) return {};
  return std::string(buf, r.ptr);
}

void IParamDef::FormatDisplay(double plain, char* out, std::size_t size) const {
  if (!out || size == 0) return;
  std::string text = FormatDisplay(plain);
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}
