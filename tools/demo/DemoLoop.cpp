// mirel-demo-loop: synthesises a short drums-and-bass loop (kick, snare,
// hi-hat, saw bass) into a stereo audio file. Everything is generated here
// from a fixed seed, so every run writes the same samples.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A small linear congruential generator: the same noise on every platform.
class Noise {
 public:
  double Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 53) * 2.0 - 1.0;
  }

 private:
  std::uint64_t state_ = 0x4D726C31ULL;
};

struct Loop {
  int rate;
  std::vector<double> left, right;
  void Add(long long at, double l, double r) {
    if (at < 0 || at >= static_cast<long long>(left.size())) return;
    left[static_cast<size_t>(at)] += l;
    right[static_cast<size_t>(at)] += r;
  }
};

void Kick(Loop& loop, long long start, double level) {
  const int n = loop.rate * 45 / 100;
  double phase = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / loop.rate;
    const double freq = 48.0 + 110.0 * std::exp(-t * 28.0);  // pitch sweeps down
    phase += 2.0 * kPi * freq / loop.rate;
    const double env = std::exp(-t * 7.5) * std::min(1.0, t * 2000.0);
    const double s = level * env * std::sin(phase);
    loop.Add(start + i, s, s);
  }
}

void Snare(Loop& loop, Noise& noise, long long start, double level) {
  const int n = loop.rate / 4;
  double lp = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / loop.rate;
    const double white = noise.Next();
    lp += 0.35 * (white - lp);
    const double body = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0);
    const double s = level * (0.75 * (white - lp) * std::exp(-t * 16.0) + 0.5 * body);
    loop.Add(start + i, s * 0.95, s);
  }
}

void HiHat(Loop& loop, Noise& noise, long long start, double level, bool open) {
  const int n = loop.rate * (open ? 18 : 5) / 100;
  double prev = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / loop.rate;
    const double white = noise.Next();
    const double high = white - prev;  // first difference: a crude high-pass
    prev = white;
    const double s = level * high * std::exp(-t * (open ? 14.0 : 60.0));
    loop.Add(start + i, s * 0.7, s);  // slightly to the right
  }
}

void Bass(Loop& loop, long long start, long long length, double freq, double level) {
  double phase = 0;
  double lp1 = 0;
  double lp2 = 0;
  for (long long i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / loop.rate;
    phase += freq / loop.rate;
    phase -= std::floor(phase);
    const double saw = 2.0 * phase - 1.0;
    const double cutoff = 180.0 + 900.0 * std::exp(-t * 9.0);
    const double a = 1.0 - std::exp(-2.0 * kPi * cutoff / loop.rate);
    lp1 += a * (saw - lp1);
    lp2 += a * (lp1 - lp2);
    const double env = std::min(1.0, t * 400.0) *
                       std::min(1.0, static_cast<double>(length - i) / (loop.rate * 0.01));
    const double s = level * env * lp2;
    loop.Add(start + i, s, s);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: mirel-demo-loop OUTPUT [BARS] [RATE]\n"
                         "  writes a drums-and-bass loop at 120 BPM (default 2 bars, 44100 Hz)\n");
    return argc < 2 ? 2 : 0;
  }
  const int bars = argc > 2 ? std::atoi(argv[2]) : 2;
  const int rate = argc > 3 ? std::atoi(argv[3]) : 44100;
  if (bars < 1 || bars > 64 || rate < 8000 || rate > 384000) {
    std::fprintf(stderr, "mirel-demo-loop: bars must be 1 to 64 and the rate 8000 to 384000 Hz\n");
    return 2;
  }
  const double bpm = 120.0;
  const long long sixteenth = static_cast<long long>(std::llround(rate * 60.0 / bpm / 4.0));
  const long long total = sixteenth * 16 * bars;
  Loop loop{rate, std::vector<double>(static_cast<size_t>(total)), std::vector<double>(static_cast<size_t>(total))};
  Noise noise;

  // One bar in sixteenths: kick, snare, hats, and a bass line in E.
  const int kick[] = {0, 6, 8, 10};
  const int snare[] = {4, 12};
  const double bassNotes[] = {41.20, 41.20, 49.00, 55.00, 41.20, 61.74, 55.00, 49.00};  // E1 G1 A1 B1
  for (int bar = 0; bar < bars; ++bar) {
    const long long base = sixteenth * 16 * bar;
    for (int k : kick) Kick(loop, base + sixteenth * k, 0.9);
    for (int s : snare) Snare(loop, noise, base + sixteenth * s, 0.55);
    for (int h = 0; h < 16; h += 2) HiHat(loop, noise, base + sixteenth * h, h % 4 == 2 ? 0.22 : 0.14, h == 14);
    for (int b = 0; b < 8; ++b) {
      Bass(loop, base + sixteenth * 2 * b, sixteenth * 2 - sixteenth / 4, bassNotes[b], 0.5);
    }
  }

  // Peak at -1 dBFS.
  double peak = 0;
  for (size_t i = 0; i < loop.left.size(); ++i) {
    peak = std::max({peak, std::fabs(loop.left[i]), std::fabs(loop.right[i])});
  }
  const double scale = peak > 0 ? std::pow(10.0, -1.0 / 20.0) / peak : 1.0;
  std::vector<float> interleaved(static_cast<size_t>(total) * 2);
  for (size_t i = 0; i < loop.left.size(); ++i) {
    interleaved[2 * i] = static_cast<float>(loop.left[i] * scale);
    interleaved[2 * i + 1] = static_cast<float>(loop.right[i] * scale);
  }

  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(argv[1], SFM_WRITE, &info);
  if (f == nullptr) {
    std::fprintf(stderr, "mirel-demo-loop: cannot write '%s': %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  const sf_count_t put = sf_writef_float(f, interleaved.data(), total);
  if (sf_close(f) != 0 || put != total) {
    std::fprintf(stderr, "mirel-demo-loop: writing '%s' failed\n", argv[1]);
    return 1;
  }
  return 0;
}
