#include "tools/render/LevelAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirel::render {

void LevelMeter::Add(const double* interleaved, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    peak_ = std::max(peak_, std::fabs(interleaved[i]));
    sum_ += interleaved[i] * interleaved[i];
  }
  count_ += count;
}

double LevelMeter::Rms() const { return count_ > 0 ? std::sqrt(sum_ / static_cast<double>(count_)) : 0.0; }

GainReductionMeter::GainReductionMeter(int rate) : window_(std::max(1, rate / 100)) {}

void GainReductionMeter::Add(const double* in, const double* out) {
  si_ += in[0] * in[0] + in[1] * in[1];
  so_ += out[0] * out[0] + out[1] * out[1];
  if (++n_ == window_) Flush();
}

double GainReductionMeter::Largest() {
  Flush();
  return largest_;
}

void GainReductionMeter::Flush() {
  if (n_ > 0) {
    const double ri = std::sqrt(si_ / (2.0 * n_));
    const double ro = std::sqrt(so_ / (2.0 * n_));
    if (ri >= 1e-3 && ro > 0) largest_ = std::max(largest_, 20.0 * std::log10(ri / ro));
  }
  si_ = so_ = 0;
  n_ = 0;
}

LevelRange::LevelRange(int rate) : window_(std::max(1, rate / 20)) {}

void LevelRange::Add(const double* in, const double* out) {
  si_ += in[0] * in[0] + in[1] * in[1];
  so_ += out[0] * out[0] + out[1] * out[1];
  if (++n_ == window_) {
    const double ri = std::sqrt(si_ / (2.0 * n_));
    const double ro = std::sqrt(so_ / (2.0 * n_));
    if (ri >= 1e-3) {
      in_.push_back(ri);
      out_.push_back(ro);
    }
    si_ = so_ = 0;
    n_ = 0;
  }
}

std::optional<double> LevelRange::Spread(std::vector<double> levels) {
  if (levels.empty()) return std::nullopt;
  std::sort(levels.begin(), levels.end());
  const auto at = [&](double q) {
    return levels[static_cast<std::size_t>(q * static_cast<double>(levels.size() - 1) + 0.5)];
  };
  const double quiet = at(0.10);
  const double loud = at(0.95);
  if (quiet <= 0) return std::nullopt;
  return 20.0 * std::log10(loud / quiet);
}

std::string Db(double linear) {
  if (linear <= 0) return "null";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", 20.0 * std::log10(linear));
  return buf;
}

}  // namespace mirel::render
