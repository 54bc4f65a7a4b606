#pragma once

// Small text helpers the command-line tools share for reading option values
// and printing numbers.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace mirel::tools {

inline std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Without leading and trailing blanks and tabs.
inline std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Parses the whole (trimmed) text as a finite number.
inline bool ParseNumber(const std::string& text, double& out) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  out = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && std::isfinite(out);
}

// A normalised value as people write one: a number, or a fraction K/N of two
// numbers (prst=2/6 is the third of seven presets).
inline bool ParseNormalisedText(const std::string& text, double& out) {
  if (ParseNumber(text, out)) return true;
  const std::string t = Trim(text);
  const auto slash = t.find('/');
  double over = 0.0;
  double under = 0.0;
  if (slash == std::string::npos || !ParseNumber(t.substr(0, slash), over) ||
      !ParseNumber(t.substr(slash + 1), under) || !(under > 0.0))
    return false;
  out = over / under;
  return std::isfinite(out);
}

// Parses the whole (trimmed) text as a decimal integer.
inline bool ParseInt(const std::string& text, long long& out) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(t.c_str(), &end, 10);
  return end == t.c_str() + t.size();
}

// A number with up to ten significant digits.
inline std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

}  // namespace mirel::tools
