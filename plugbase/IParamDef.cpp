#include "plugbase/IParamDef.h"

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

std::string Trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A leading finite number (a "+" allowed) and what follows it, trimmed.
// Locale-independent, so that a host's locale cannot turn the point into a comma.
bool SplitNumber(const std::string& text, double& number, std::string& rest) {
  const char* b = text.data();
  const char* e = b + text.size();
  if (b != e && *b == '+') ++b;
  const std::from_chars_result r = std::from_chars(b, e, number);
  if (r.ec != std::errc{} || !std::isfinite(number)) return false;
  rest = Trimmed(std::string(r.ptr, e));
  return true;
}

// Fixed-point text of v with the given decimals.
std::string Fixed(double v, int decimals) {
  char buf[IParamDef::kDisplayMax + 1];
  const std::to_chars_result r =
      std::to_chars(buf, buf + IParamDef::kDisplayMax, v, std::chars_format::fixed, decimals);
  return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string();
}

// Digits before the point of a non-negative number (at least one).
int WholeDigits(double a) { return a < 1.0 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1; }

}  // namespace

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

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

void IParamDef::SetValueFormat(ValueFormat format) {
  format_ = std::move(format);
  if (!(format_.scale != 0.0 && std::isfinite(format_.scale))) format_.scale = 1.0;
  format_.digits = std::clamp(format_.digits, 0, 9);
  hasFormat_ = true;
}

double IParamDef::FromNormalisedUnrounded(double normalised) const {
  return minValue_ + (maxValue_ - minValue_) * ShapePow(normalised, shape_);
}

double IParamDef::PlainFromNormalised(double normalised) const {
  // Hosts and controls may overshoot; n^shape outside 0..1 would fold a
  // negative value back into the range, so the input is bounded first.
  if (!(normalised >= 0.0)) normalised = 0.0;
  if (normalised > 1.0) normalised = 1.0;
  double plain = FromNormalisedUnrounded(normalised);
  if (kind_ != ParamKind::Continuous) plain = std::floor(plain / step_ + 0.5) * step_;
  return std::min(plain, maxValue_);
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
  if (hasFormat_) return FormatNumber(plain);
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

std::string IParamDef::FormatNumber(double plain) const {
  const ValueFormat& f = format_;
  double x = (negateDisplay_ ? -plain : plain) * f.scale;
  std::string unit = f.unit;
  std::string text = Fixed(x, f.digits);
  if (f.significant && std::isfinite(x)) {
    bool kilo = false;
    double a = std::fabs(x);
    if (a >= 1000.0) {
      x /= 1000.0;
      a = std::fabs(x);
      kilo = true;
    }
    // Rounding may carry into one more digit (999.7 -> "1000"): count again.
    for (int pass = 0; pass < 3; ++pass) {
      text = Fixed(x, std::max(0, f.digits - WholeDigits(a)));
      double shown = 0.0;
      std::string rest;
      if (!SplitNumber(text, shown, rest)) break;
      shown = std::fabs(shown);
      if (!kilo && shown >= 1000.0) {
        x /= 1000.0;
        a = std::fabs(x);
        kilo = true;
      } else if (WholeDigits(shown) > WholeDigits(a)) {
        a = shown;
      } else {
        break;
      }
    }
    if (kilo) unit = "k" + unit;
  }
  if (text.find_first_of("123456789") == std::string::npos) {
    // Reads as zero: no sign, or the zero text.
    if (!f.zeroText.empty()) return f.zeroText;
    if (!text.empty() && text[0] == '-') text.erase(0, 1);
  } else if (f.plusSign && x > 0.0) {
    text.insert(0, 1, '+');
  }
  return unit.empty() ? text : text + " " + unit;
}

bool IParamDef::ParseDisplay(const std::string& text, double& plain) const {
  const std::string t = LowerAscii(Trimmed(text));
  if (t.empty()) return false;
  for (const DisplayEntry& e : displayTexts_) {
    if (!e.text.empty() && LowerAscii(e.text) == t) {
      plain = std::clamp(static_cast<double>(e.value), minValue_, maxValue_);
      return true;
    }
  }
  if (hasFormat_ && !format_.zeroText.empty() && LowerAscii(format_.zeroText) == t) {
    plain = std::clamp(0.0, minValue_, maxValue_);
    return true;
  }
  double x = 0.0;
  std::string suffix;
  if (!SplitNumber(t, x, suffix)) return false;
  // Display texts that start with a number ("8:1", "16x") are read by it,
  // with or without what follows; a number that names none of them is refused.
  bool numbered = false;
  for (const DisplayEntry& e : displayTexts_) {
    double n = 0.0;
    std::string rest;
    if (!SplitNumber(LowerAscii(e.text), n, rest)) continue;
    numbered = true;
    if (n == x && (suffix.empty() || suffix == rest)) {
      plain = std::clamp(static_cast<double>(e.value), minValue_, maxValue_);
      return true;
    }
  }
  if (numbered) return false;
  double factor = 1.0;
  if (!suffix.empty()) {
    if (!hasFormat_) return false;
    const std::string unit = LowerAscii(format_.unit);
    bool known = suffix == unit;
    if (!known && format_.significant && (suffix == "k" || suffix == "k" + unit)) {
      factor = 1000.0;
      known = true;
    }
    for (const ValueFormat::Alias& alias : format_.aliases) {
      if (!known && suffix == LowerAscii(alias.unit)) {
        factor = alias.factor;
        known = true;
      }
    }
    if (!known) return false;
  }
  double v = x * factor;
  if (hasFormat_) v /= format_.scale;
  if (negateDisplay_) v = -v;
  if (!std::isfinite(v)) return false;
  plain = std::clamp(v, minValue_, maxValue_);
  return true;
}
