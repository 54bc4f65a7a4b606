// The compressor's signal path: the per-block process and the reset.

#include "dsp/Compressor.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "dsp/Ballistics.h"
#include "dsp/Curves.h"
#include "dsp/DetMath.h"
#include "dsp/DetectorStages.h"
#include "dsp/InterstagePair.h"
#include "dsp/InterstageWide.h"
#include "dsp/Lanes.h"
#include "dsp/LevelRules.h"

namespace {

// The benchmarks measure the built module with either kernel: with
// MIREL_KERNEL=pair in its environment when it is loaded, compressors use
// the pair kernel as if PreferPairKernel(true) had been called.
bool PairKernelRequested() {
  const char* kernel = std::getenv("MIREL_KERNEL");
  return kernel != nullptr && std::strcmp(kernel, "pair") == 0;
}

std::atomic<bool> preferPairKernel{PairKernelRequested()};

bool SameBits(const double* a, const double* b, int n) { return std::memcmp(a, b, sizeof(double) * n) == 0; }

// The ballistics of a run from the gain and meter state before it; the
// gains replace their targets.
GainRun GainsFrom(const BallisticsLaw& law, double* targets, double g, double meterValue) {
  GainRun run;
  run.law = law;
  run.targets = targets;
  run.gains = targets;
  run.g = g;
  run.meterValue = meterValue;
  return run;
}

// The output of the samples: the processed signal (the gain shaped by the
// saturation curve, applied to the input with the interstage signal mixed
// in, and the make-up), mixed with the dry input and scaled by the output
// gain; or, bypassed, the input itself.
struct OutputStage {
  const double* in0;
  const double* in1;
  double* out0;
  double* out1;
  double interstageMix, makeUp, wetAmount, dryAmount, outputGain;
  bool bypass;

  // The output of sample i at gain g, given its interstage outputs. Reads
  // the sample's inputs before writing its outputs: outputs may share the
  // inputs' memory.
  [[gnu::always_inline]] inline void Output(int i, double g, double interL, double interR) const {
    const double inL = in0[i];
    const double inR = in1[i];
    if (bypass) {
      out0[i] = inL;
      out1[i] = inR;
    } else {
      const double shapedGain = Saturate(g);
      const double wetL = shapedGain * (interstageMix * interL + inL) * makeUp;
      const double wetR = shapedGain * (interstageMix * interR + inR) * makeUp;
      out0[i] = (wetL * wetAmount + dryAmount * inL) * outputGain;
      out1[i] = (wetR * wetAmount + dryAmount * inR) * outputGain;
    }
  }

  // Output for samples base .. base + count - 1: gains indexed from 0 at
  // base, sample base + j's interstage outputs at inter[j * stride] (left)
  // and the entry after it (right). `wide`: four samples at a time (AVX2);
  // else two at a time.
  void Run(int base, int count, const double* gains, const double* inter, int stride, bool wide) const {
    if (wide) {
      RunWide(base, count, gains, inter, stride);
    } else {
      RunPairs(base, count, gains, inter, stride);
    }
  }

  // Run two samples at a time (SSE2), with Output's operations on both
  // lanes; an odd last sample takes Output itself. The two samples' inputs
  // are read before their outputs are written.
  void RunPairs(int base, int count, const double* gains, const double* inter, int stride) const {
    using lanes::Pair;
    const Pair mix = {interstageMix, interstageMix};
    const Pair up = {makeUp, makeUp};
    const Pair wet = {wetAmount, wetAmount};
    const Pair dry = {dryAmount, dryAmount};
    const Pair gain = {outputGain, outputGain};
    int j = 0;
    for (; j + 2 <= count; j += 2) {
      const int i = base + j;
      const Pair inL = reinterpret_cast<Pair>(_mm_loadu_pd(in0 + i));
      const Pair inR = reinterpret_cast<Pair>(_mm_loadu_pd(in1 + i));
      if (bypass) {
        _mm_storeu_pd(out0 + i, reinterpret_cast<__m128d>(inL));
        _mm_storeu_pd(out1 + i, reinterpret_cast<__m128d>(inR));
        continue;
      }
      const Pair shapedGain = SaturatePair(reinterpret_cast<Pair>(_mm_loadu_pd(gains + j)));
      const double* s = inter + j * stride;
      const Pair interL = {s[0], s[stride]};
      const Pair interR = {s[1], s[stride + 1]};
      const Pair wetL = shapedGain * (mix * interL + inL) * up;
      const Pair wetR = shapedGain * (mix * interR + inR) * up;
      _mm_storeu_pd(out0 + i, reinterpret_cast<__m128d>((wetL * wet + dry * inL) * gain));
      _mm_storeu_pd(out1 + i, reinterpret_cast<__m128d>((wetR * wet + dry * inR) * gain));
    }
    for (; j < count; ++j) Output(base + j, gains[j], inter[j * stride], inter[j * stride + 1]);
  }

  // Run four samples at a time, with Output's operations on every lane;
  // the samples after the last whole quad take Output itself. The four
  // samples' inputs are read before their outputs are written.
  __attribute__((target("avx2"))) void RunWide(int base, int count, const double* gains, const double* inter,
                                               int stride) const;
};

__attribute__((target("avx2"))) void OutputStage::RunWide(int base, int count, const double* gains,
                                                          const double* inter, int stride) const {
  using lanes::Quad;
  const Quad mix = lanes::Splat(interstageMix);
  const Quad up = lanes::Splat(makeUp);
  const Quad wet = lanes::Splat(wetAmount);
  const Quad dry = lanes::Splat(dryAmount);
  const Quad gain = lanes::Splat(outputGain);
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    const int i = base + j;
    const Quad inL = reinterpret_cast<Quad>(_mm256_loadu_pd(in0 + i));
    const Quad inR = reinterpret_cast<Quad>(_mm256_loadu_pd(in1 + i));
    if (bypass) {
      _mm256_storeu_pd(out0 + i, reinterpret_cast<__m256d>(inL));
      _mm256_storeu_pd(out1 + i, reinterpret_cast<__m256d>(inR));
      continue;
    }
    const Quad shapedGain = SaturateQuad(reinterpret_cast<Quad>(_mm256_loadu_pd(gains + j)));
    // The four samples' left and right interstage outputs: samples 0 and 2
    // in one vector, 1 and 3 in the other, then lefts and rights apart.
    const double* s = inter + j * stride;
    const __m256d even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(s)), _mm_loadu_pd(s + 2 * stride), 1);
    const __m256d odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(s + stride)), _mm_loadu_pd(s + 3 * stride), 1);
    const Quad interL = reinterpret_cast<Quad>(_mm256_unpacklo_pd(even, odd));
    const Quad interR = reinterpret_cast<Quad>(_mm256_unpackhi_pd(even, odd));
    const Quad wetL = shapedGain * (mix * interL + inL) * up;
    const Quad wetR = shapedGain * (mix * interR + inR) * up;
    _mm256_storeu_pd(out0 + i, reinterpret_cast<__m256d>((wetL * wet + dry * inL) * gain));
    _mm256_storeu_pd(out1 + i, reinterpret_cast<__m256d>((wetR * wet + dry * inR) * gain));
  }
  for (; j < count; ++j) Output(base + j, gains[j], inter[j * stride], inter[j * stride + 1]);
}

}  // namespace

// One block's settings in the form its samples use, and the detector
// sections' running copy.
struct Compressor::Block {
  StereoDetector detector;
  // The detector's source: the main inputs or the sidechain's (null: a host
  // may leave the sidechain bus without buffers, which then reads silence).
  const double* srcL = nullptr;
  const double* srcR = nullptr;
  LevelParams level = {};
  double threshold = 0.0, t = 0.0, invR = 0.0;  // the ratio law
  BallisticsLaw law;
  OutputStage out = {};
  StereoSample osFb[11] = {};  // the oversampler's coefficients on both lanes
  StereoSample osGain = {};
  double drive = 0.0;
  int factor = 4;
  bool wide = false;  // the wide kernels run
  bool exactSteps = false;  // the oversampler's flush mode, carried from run to run

  Block(const Compressor& c, const CompressorSettings& set, double** inputs, double** outputs, bool metering)
      : detector(c.hpfL_, c.hpfR_, c.peakL_, c.peakR_, c.shelfL_, c.shelfR_) {
    const Prepared& pre = c.prepared_;
    srcL = set.detectFromMain ? inputs[0] : inputs[2];
    srcR = set.detectFromMain ? inputs[1] : inputs[3];
    level = {set.interstage, c.detectorCurveGain_, pre.c};
    threshold = pre.threshold;
    t = -set.inputDb;
    invR = 1.0 / set.ratio;
    law.a = pre.a;
    law.r = pre.r;
    law.meterK = pre.meterK;
    law.compressionOff = set.inputDb == 0.0;  // Input at 0 switches compression off
    law.metering = metering;
    out = {inputs[0], inputs[1], outputs[0], outputs[1], c.interstageMix_, c.makeUp_, set.mixPercent / 100.0,
           1.0 - set.mixPercent / 100.0, set.outputGain, set.bypass};
    for (int m = 0; m <= 10; ++m) osFb[m] = StereoSample{c.osCoeff_.fb[m], c.osCoeff_.fb[m]};
    osGain = StereoSample{c.osCoeff_.gain, c.osCoeff_.gain};
    drive = c.interstageDrive_;
    factor = set.oversampleFactor;
    wide = c.wideScratch_ != nullptr;
  }
};

Compressor::Compressor()
    : detectorCurveGain_(detmath::Pow10(0.55)),
      makeUp_(detmath::Pow10(0.2)),
      interstageDrive_(detmath::Pow10(-0.5)),  // the saturation sees the signal 10 dB down
      interstageMix_(detmath::Pow10(-1.0)) {
  if (!preferPairKernel.load() && interstage::WideAvailable()) {
    wideScratch_ = std::make_unique<double[]>(interstage::kScratchDoubles);
  }
}

void Compressor::PreferPairKernel(bool prefer) { preferPairKernel.store(prefer); }

void Compressor::Reset() {
  up_.Clear();
  down_.Clear();
}

void Compressor::ProcessBlock(const CompressorSettings& set, double sampleRate, double** inputs, double** outputs,
                              int nFrames, bool metering) {
  PrepareOversampler(set.oversampleFactor);
  if (nFrames < 1) return;
  if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
  PrepareRateValues(set, sampleRate);
  PrepareSections(set, sampleRate);
  Block b(*this, set, inputs, outputs, metering);
  const int maxRun = interstage::MaxRunAt(b.factor == 16 ? 16 : 4);
  for (int base = 0; base < nFrames; base += maxRun) {
    ProcessRun(b, base, std::min(maxRun, nFrames - base));
  }
  b.detector.Store(hpfL_, hpfR_, peakL_, peakR_, shelfL_, shelfR_);
}

// The oversampler's design for the block's factor: formed again only when
// the factor changes, even for a block without samples.
void Compressor::PrepareOversampler(int factor) {
  if (prepared_.factor == factor) return;
  DesignBesselLowpass(osCoeff_, 0.2 / static_cast<double>(factor));
  prepared_.factor = factor;
}

// Everything that depends only on the sample rate and the parameters is
// evaluated once per block at most (and kept while its inputs stay the same):
// none of it can change while the block runs under the lock, so the results
// are the same as evaluating it on every sample.
void Compressor::PrepareRateValues(const CompressorSettings& set, double fs) {
  Prepared& pre = prepared_;
  const double key[4] = {fs, set.inputDb, set.attackSec, set.releaseSec};
  if (pre.rateValid && SameBits(key, pre.rateKey, 4)) return;
  pre.c = LevelShapingCoefficient(fs);
  pre.threshold = detmath::Exp(-set.inputDb / kLevelScale);
  pre.a = set.attackSec != 0.0 ? detmath::Exp(-1.0 / (set.attackSec * fs)) : 0.0;
  pre.r = set.releaseSec != 0.0 ? detmath::Exp(-1.0 / (set.releaseSec * fs)) : 0.0;
  pre.meterK = detmath::Exp(-4.60517018599 / (fs * 0.3));  // 99 % in 0.3 s
  std::memcpy(pre.rateKey, key, sizeof key);
  pre.rateValid = true;
}

void Compressor::PrepareSections(const CompressorSettings& set, double fs) {
  Prepared& pre = prepared_;
  const double key[5] = {fs, set.hpfHz, set.hfDb, set.midFreqHz, set.midGainDb};
  if (pre.sectionsValid && SameBits(key, pre.sectionKey, 5)) return;
  DesignDetectorSections(set, fs);
  std::memcpy(pre.sectionKey, key, sizeof key);
  pre.sectionsValid = true;
}

void Compressor::DesignDetectorSections(const CompressorSettings& set, double fs) {
  auto normalised = [fs](double hz) {
    const double f = hz / fs;
    return f > kMaxSectionFreq ? kMaxSectionFreq : f;
  };
  for (BiquadSection* s : {&hpfL_, &hpfR_}) {
    s->type = HighPass;
    s->q = 1.0;
    s->gainDb = 1.0;  // not used by the type
    s->freq = normalised(set.hpfHz);
    s->Design();
  }
  for (BiquadSection* s : {&shelfL_, &shelfR_}) {
    s->type = HighShelf;
    s->q = 1.0;
    s->freq = normalised(10000.0);
    s->gainDb = -set.hfDb;  // the shelf boosts the detector's highs by 0..16 dB
    s->Design();
  }
  for (BiquadSection* s : {&peakL_, &peakR_}) {
    s->type = Peak;
    s->q = 0.7;
    s->freq = normalised(set.midFreqHz);
    s->gainDb = set.midGainDb;
    s->Design();
  }
}

// A run of up to MaxRunAt(factor) samples, in passes: the target gains of all its
// samples, then the oversampler with the ballistics stepping beside its
// filter steps, then the outputs. Every value is formed by the same
// operations as sample by sample; only the order of independent work differs.
void Compressor::ProcessRun(Block& b, int base, int count) {
  double gains[interstage::kMaxRun];  // the targets, then the gains in their place
  TargetGains(b, base, count, gains);
  double pairOutputs[2 * interstage::kMaxRun];
  int stride = 0;
  const double* inter = Interstage(b, base, count, gains, pairOutputs, stride);
  b.out.Run(base, count, gains, inter, stride, b.wide);
}

// The detector levels and the ratio law. The targets of different samples do
// not depend on one another, so their logarithms and exponentials overlap in
// the processor (and, in the wide form, share vectors) instead of waiting
// behind the oversampling filters.
void Compressor::TargetGains(Block& b, int base, int count, double* targets) {
  // The detector's wide form takes up to 64 samples at a time.
  for (int done = 0; done < count; done += 64) {
    const int at = base + done;
    DetectorLevels(b.detector, b.srcL ? b.srcL + at : nullptr, b.srcR ? b.srcR + at : nullptr, std::min(64, count - done),
                   b.level, targets + done, b.wide);
  }
  if (b.wide) {
    RatioLawWide(targets, count, b.threshold, b.t, b.invR);
  } else {
    RatioLawPairs(targets, count, b.threshold, b.t, b.invR);
  }
}

// The oversampler's run, by the block's kernel; the ballistics turn the
// targets into gains beside its filter steps. Returns where the interstage
// outputs are, sample j's left at [j * stride] and its right after it.
const double* Compressor::Interstage(Block& b, int base, int count, double* gains, double* pairOutputs,
                                     int& stride) {
  GainRun beside = GainsFrom(b.law, gains, gainState_, meterValue_);
  interstage::Run run;
  run.fb = b.osFb;
  run.gain = b.osGain;
  run.drive = b.drive;
  run.dryL = b.out.in0 + base;
  run.dryR = b.out.in1 + base;
  run.count = count;
  run.gains = &beside;
  const double* inter = pairOutputs;
  if (b.wide) {
    interstage::RunWide(b.factor, up_, down_, wideScratch_.get(), run, b.exactSteps);
    inter = interstage::Outputs(wideScratch_.get(), b.factor);
    stride = 4 * b.factor;
  } else {
    interstage::RunPair(b.factor, up_, down_, run, pairOutputs, b.exactSteps);
    stride = 2;
  }
  gainState_ = beside.g;
  meterValue_ = beside.meterValue;
  return inter;
}
