#pragma once

// One automatable parameter. Every value held here is a plain value in the
// parameter's own unit; normalised values (0..1) exist only at the boundaries
// (host, editor) and are computed on demand. No operation locks: the plug-in
// base holds its mutex where it must.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ParamKind : std::int32_t {
  None = 0,
  Boolean = 1,
  Stepped = 2,
  Enumeration = 3,
  Continuous = 4,
};

// An optional text shown instead of the number for one integer value.
struct DisplayEntry {
  std::int32_t value = 0;
  std::string text;  // at most kParamTextMax characters
};

// How a value reads in real units, for hosts and the editor. The number shown
// is the plain value times `scale`, followed by a space and `unit`.
struct ValueFormat {
  double scale = 1.0;
  // Decimals; with `significant`, significant digits instead, and numbers of
  // 1000 and above shown in thousands with a "k" before the unit.
  int digits = 0;
  bool significant = false;
  bool plusSign = false;     // positive numbers carry a "+"
  std::string unit;          // "dB", "ms", "Hz", "%"; may be empty
  std::string zeroText;      // shown instead of a number that reads as zero
  // Other units a reader accepts, each with the factor that turns the number
  // typed with it into the number shown (for "ms": "s" with 1000).
  struct Alias {
    std::string unit;
    double factor = 1.0;
  };
  std::vector<Alias> aliases;
};

class IParamDef {
 public:
  // Names, labels and display texts hold at most this many characters
  // (they travel as 32-character NUL-terminated fields).
  static constexpr std::size_t kParamTextMax = 31;
  // FormatDisplay's result never exceeds this many characters.
  static constexpr std::size_t kDisplayMax = 127;

  // Defines the record once, at plug-in construction. The group argument is
  // not used: the group is always the empty string. A shape of 0 keeps the
  // exponent already stored. max is raised to min + step when it is smaller.
  void DefineContinuous(const char* name, double defaultValue, double minValue, double maxValue,
                        double step, const char* label = "", const char* group = "",
                        double shape = 1.0);
  // As DefineContinuous, but the kind becomes Stepped when it is still None.
  void DefineStepped(const char* name, double defaultValue, double minValue, double maxValue,
                     double step, const char* label = "", const char* group = "",
                     double shape = 1.0);

  void SetKind(ParamKind kind) { kind_ = kind; }
  void SetExponent(double shape) { shape_ = shape; }
  void SetCanAutomate(bool can) { canAutomate_ = can; }
  void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }
  // Appends a display text; the first entry with a matching value wins.
  void AddDisplayText(std::int32_t value, const char* text);
  // Shows values in real units instead of the bare number.
  void SetValueFormat(ValueFormat format);

  // The value a normalised value acts as: min + (max - min) * n^shape (n
  // bounded to 0..1), rounded half up to a multiple of the step for every
  // kind but Continuous, then bounded above by max. What a host is shown for
  // n (its text, its plain value) is this value, so a stepped value between
  // steps names the step that acts.
  double PlainFromNormalised(double normalised) const;
  // Stores PlainFromNormalised(normalised).
  void SetFromNormalised(double normalised) { value_ = PlainFromNormalised(normalised); }
  // ((clamp(v) - min) / (max - min))^(1 / shape).
  double ToNormalised(double plain) const;
  // min + (max - min) * n^shape without step rounding or bounding.
  double FromNormalisedUnrounded(double normalised) const;
  // Bounds v to [min, max] and stores it.
  void SetClamped(double plain);

  // The text shown for a plain value: a display text when one matches,
  // otherwise the number with displayPrecision decimals, or as a truncated
  // integer when the precision is 0.
  std::string FormatDisplay(double plain) const;
  // The same into a caller's buffer (always NUL-terminated when size > 0).
  void FormatDisplay(double plain, char* out, std::size_t size) const;
  // Reads a value text back into a plain value bounded to the range: every
  // text FormatDisplay gives, and the forms people type: a display text or
  // the zero text in any case; a number in the shown unit, with or without
  // the unit (spaced or not, any case), with "k" for thousands of a
  // significant-digit unit, or with one of the format's other units. Without
  // a value format only a bare number or a display text is read. False when
  // the text is none of these.
  bool ParseDisplay(const std::string& text, double& plain) const;

  ParamKind Kind() const { return kind_; }
  double Value() const { return value_; }
  double MinValue() const { return minValue_; }
  double MaxValue() const { return maxValue_; }
  double Step() const { return step_; }
  double Shape() const { return shape_; }
  double DefaultValue() const { return defaultValue_; }
  int DisplayPrecision() const { return displayPrecision_; }
  const char* Name() const { return name_.c_str(); }
  const char* Label() const { return label_.c_str(); }
  const char* Group() const { return group_.c_str(); }
  bool NegateDisplay() const { return negateDisplay_; }
  bool CanAutomate() const { return canAutomate_; }
  int NDisplayTexts() const { return static_cast<int>(displayTexts_.size()); }
  const DisplayEntry& GetDisplayEntry(int i) const { return displayTexts_.at(static_cast<std::size_t>(i)); }
  // The display text for an integer value, or null when none is set.
  const char* GetDisplayText(std::int32_t value) const;
  bool HasValueFormat() const { return hasFormat_; }
  const ValueFormat& GetValueFormat() const { return format_; }

 private:
  std::string FormatNumber(double plain) const;
  bool ParseListText(const std::string& lowered, double& plain) const;

  ParamKind kind_ = ParamKind::None;
  double value_ = 0.0;
  double minValue_ = 0.0;
  double maxValue_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  double defaultValue_ = 0.0;
  std::int32_t displayPrecision_ = 0;
  std::string name_;
  std::string label_;
  std::string group_;
  bool negateDisplay_ = false;
  bool canAutomate_ = true;
  std::vector<DisplayEntry> displayTexts_;
  bool hasFormat_ = false;
  ValueFormat format_;
};

// x^e for the shape curve. Exponents 1, 2 and 1/2 are computed exactly
// (identity, one product, square root) so every platform's results agree.
double ShapePow(double x, double e);

// Truncates toward zero into a 32-bit integer; NaN gives 0 and values beyond
// the range saturate (a plain cast would be undefined there).
std::int32_t TruncToInt32(double v);

// The text with A-Z lowered; other bytes as they are (no locale).
std::string LowerAscii(std::string s);
