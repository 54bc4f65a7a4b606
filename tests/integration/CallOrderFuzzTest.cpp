// Random host call sequences against the built module: any order, any
// argument, must neither crash, hang, touch memory it does not own nor turn
// finite input into non-finite output.
//
// Each sequence is fully determined by its seed (our own generator, so the
// same seed replays the same calls natively and under Wine). Each seed is
// printed before it runs, so a crash log ends with it; a failed check names
// the seed and the last calls made.
//
// Environment:
//   MIREL_SOAK_SECONDS=N  run fresh seeds (starting at MIREL_FUZZ_SEED or 1000)
//                         for about N seconds after the fixed ones.
//   MIREL_FUZZ_SEED=S     replay one seed only (with MIREL_FUZZ_TRACE=1 every
//                         call is printed to stderr before it is made).
//   MIREL_FUZZ_STEPS=N    calls per sequence (default 160).
//   MIREL_FUZZ_HANG_SECONDS=N  a sequence running longer than this (default
//                         60) counts as hung: the program aborts naming the
//                         seed and the call it was in.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>

#include "tests/integration/PlugFixture.h"
#include "tests/support/SeededRandom.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace mirel::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Host buffers never exceed this many samples; setups may claim more.
constexpr int kBufferFrames = 20000;

using Rng = testsupport::SplitMix;

double EnvNumber(const char* name, double fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::atof(v) : fallback;
}

// Ends the program, naming the seed and the call, when a sequence runs far
// longer than any should (a hang would otherwise only show as a ctest timeout).
class Watchdog {
 public:
  Watchdog(std::uint64_t seed, double seconds) : seed_(seed) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return finished_; })) {
        std::fprintf(stderr, "seed %llu hung in: %s\n", static_cast<unsigned long long>(seed_), call_.c_str());
        std::fflush(stderr);
        std::abort();
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  void Calling(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = call;
  }

 private:
  std::uint64_t seed_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::string call_ = "(start)";
  std::thread thread_;
};

// A host's change list that claims more queues than it holds: the extra
// indices answer null.
class OverstatedChanges : public host::ParameterChanges {
 public:
  explicit OverstatedChanges(int32 extra) : extra_(extra) {}
  int32 PLUGIN_API getParameterCount() override { return host::ParameterChanges::getParameterCount() + extra_; }
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
    if (index >= host::ParameterChanges::getParameterCount()) return nullptr;
    return host::ParameterChanges::getParameterData(index);
  }

 private:
  int32 extra_;
};

// A normalised value as a careless or hostile host sends it.
double AnyValue(Rng& r) {
  static constexpr double kOdd[] = {0.0, 1.0, 0.5, -0.0, -1.0, 2.0, 1e300, -1e300, kInf, -kInf, kNaN,
                                    std::numeric_limits<double>::denorm_min(), 1.0 + 1e-16, 0.999999};
  return r.Chance(60) ? r.Unit() : r.Pick(kOdd);
}

ParamID AnyParamId(Rng& r) {
  static constexpr ParamID kOdd[] = {kBpas, kPrst, kIdCount, kIdCount + 1, 0xFFFFFFFFu, 0x7FFFFFFFu,
                                     0x62706174u, 1000u};
  return r.Chance(70) ? static_cast<ParamID>(r.Below(kIdCount)) : r.Pick(kOdd);
}

int32 AnyIndex(Rng& r) {
  static constexpr int32 kOdd[] = {-1, -2, 0, 1, 2, 3, 15, 16, 17, 1000,
                                   std::numeric_limits<int32>::max(), std::numeric_limits<int32>::min()};
  return r.Chance(50) ? static_cast<int32>(r.Below(20)) - 2 : r.Pick(kOdd);
}

class Sequence {
 public:
  Sequence(std::uint64_t seed, int steps, bool trace, Watchdog& watchdog)
      : seed_(seed), rng_(seed), steps_(steps), trace_(trace), watchdog_(watchdog) {}

  void Run() {
    plug_ = std::make_unique<Plug>();
    // Most sequences start the way hosts do, so that the later calls reach
    // the signal path rather than only the refusals.
    if (rng_.Chance(70)) {
      Do("start", [&] {
        plug_->Initialize();
        plug_->Arrange();
        plug_->Setup(kRates[2], 512, rng_.Chance(50) ? kSample32 : kSample64);
        plug_->component->setActive(true);
      });
    }
    for (int step = 0; step < steps_ && !::testing::Test::HasFatalFailure(); ++step) OneCall();
    // Released in whatever state the sequence left it (a view last).
    Do("release", [&] {
      if (rng_.Chance(50)) view_ = nullptr;
      plug_.reset();
      view_ = nullptr;
    });
  }

 private:
  static constexpr double kRates[] = {0.0,     -44100.0, 44100.0, kNaN,     kInf,     -kInf,
                                      1000.0,  1e-300,   8000.0,  22050.0,  48000.0,  96000.0,
                                      192000.0, 384000.0, 768000.0, 1500000.0, 1411200.0, 12345.678};

  template <class F>
  void Do(const char* what, F&& call) {
    Log(what);
    call();
  }

  // One line of the trail, streamed from its parts.
  template <class... Parts>
  void Log(const Parts&... parts) {
    std::ostringstream stream;
    (stream << ... << parts);
    const std::string line = stream.str();
    watchdog_.Calling(line);
    if (trace_) std::fprintf(stderr, "[seed %llu] %s\n", static_cast<unsigned long long>(seed_), line.c_str());
    trail_.push_back(line);
    if (trail_.size() > 12) trail_.pop_front();
  }

  std::string Trail() const {
    std::string s;
    for (const std::string& l : trail_) s += "  " + l + "\n";
    return s;
  }

  void OneCall() {
    Plug& p = *plug_;
    switch (rng_.Below(26)) {
      case 0: {
        const bool nullContext = rng_.Chance(15);
        Log("initialize", nullContext ? "(null)" : "");
        p.component->initialize(nullContext ? nullptr : p.hostApp.get());
        break;
      }
      case 1:
        Log("terminate");
        p.component->terminate();
        break;
      case 2: {
        // Legal and illegal arrangements, null arrays, odd counts.
        static constexpr SpeakerArrangement kArr[] = {0x3, 0x3, 0x1, 0x0, 0x7, 0x3F, ~SpeakerArrangement{0},
                                                      0x8000000000000000ull};
        SpeakerArrangement ins[3] = {rng_.Pick(kArr), rng_.Pick(kArr), rng_.Pick(kArr)};
        SpeakerArrangement outs[2] = {rng_.Pick(kArr), rng_.Pick(kArr)};
        const int32 numIns = static_cast<int32>(rng_.Below(4));
        const int32 numOuts = static_cast<int32>(rng_.Below(3));
        const bool nullIns = rng_.Chance(10);
        const bool nullOuts = rng_.Chance(10);
        Log("setBusArrangements(", nullIns ? "null" : "ins", ",", numIns, ",", nullOuts ? "null" : "outs", ",", numOuts,
            ") ", std::hex, ins[0], " ", ins[1], " ", outs[0]);
        p.processor->setBusArrangements(nullIns ? nullptr : ins, numIns, nullOuts ? nullptr : outs, numOuts);
        break;
      }
      case 3: {
        const auto type = static_cast<MediaType>(rng_.Below(3) - (rng_.Chance(10) ? 5 : 0));
        const auto dir = static_cast<BusDirection>(rng_.Below(3));
        const int32 index = AnyIndex(rng_);
        const bool on = rng_.Chance(60);
        Log("activateBus(", type, ",", dir, ",", index, ",", on, ")");
        p.component->activateBus(type, dir, index, on);
        break;
      }
      case 4: {
        static constexpr int32 kBlocks[] = {0, 1, 2, 7, 31, 64, 333, 512, 4099, 16384, 16385, 100000, 1 << 20,
                                            std::numeric_limits<int32>::max(), -1,
                                            std::numeric_limits<int32>::min()};
        const double rate = rng_.Pick(kRates);
        const int32 block = rng_.Pick(kBlocks);
        int32 size = rng_.Chance(50) ? kSample32 : kSample64;
        if (rng_.Chance(5)) size = rng_.Chance(50) ? 2 : -1;
        const int32 mode = rng_.Chance(90) ? static_cast<int32>(rng_.Below(3)) : 7;
        Log("setupProcessing(rate ", rate, ", block ", block, ", size ", size, ", mode ", mode, ")");
        ProcessSetup s{mode, size, block, rate};
        p.processor->setupProcessing(s);
        break;
      }
      case 5: {
        const bool on = rng_.Chance(60);
        Log("setActive(", on, ")");
        p.component->setActive(on);
        break;
      }
      case 6: {
        const bool on = rng_.Chance(60);
        Log("setProcessing(", on, ")");
        p.processor->setProcessing(on);
        break;
      }
      case 7: case 8: case 9: case 10: case 11:
        Process();
        break;
      case 12:
        StateCall();
        break;
      case 13: {
        const ParamID id = AnyParamId(rng_);
        const double v = AnyValue(rng_);
        Log("setParamNormalized(", id, ",", v, ")");
        p.controller->setParamNormalized(id, v);
        Log("getParamNormalized");
        p.controller->getParamNormalized(AnyParamId(rng_));
        break;
      }
      case 14: {
        const ParamID id = AnyParamId(rng_);
        const double v = AnyValue(rng_);
        Log("getParamStringByValue(", id, ",", v, ")");
        String128 text;
        std::fill(std::begin(text), std::end(text), char16{0x4141});
        if (rng_.Chance(5)) p.controller->getParamStringByValue(id, v, nullptr);
        if (p.controller->getParamStringByValue(id, v, text) == kResultOk) {
          // The answer fits the field and is terminated.
          ASSERT_NE(std::find(std::begin(text), std::end(text), char16{0}), std::end(text)) << Context();
        }
        p.controller->normalizedParamToPlain(AnyParamId(rng_), AnyValue(rng_));
        p.controller->plainParamToNormalized(AnyParamId(rng_), AnyValue(rng_) * 30000.0 - 100.0);
        break;
      }
      case 15: {
        const ParamID id = AnyParamId(rng_);
        std::u16string text = RandomText();
        Log("getParamValueByString(", id, ", ", text.size(), " units)");
        ParamValue out = -7.0;
        if (rng_.Chance(5)) p.controller->getParamValueByString(id, nullptr, out);
        if (p.controller->getParamValueByString(id, reinterpret_cast<TChar*>(text.data()), out) == kResultOk) {
          ASSERT_TRUE(out >= 0.0 && out <= 1.0) << out << Context();
        }
        break;
      }
      case 16: {
        const int32 index = AnyIndex(rng_);
        Log("getParameterInfo(", index, ")");
        ParameterInfo info{};
        p.controller->getParameterCount();
        if (p.controller->getParameterInfo(index, info) == kResultOk) {
          ASSERT_NE(std::find(std::begin(info.title), std::end(info.title), char16{0}), std::end(info.title));
        }
        break;
      }
      case 17: UnitCalls(); break;
      case 18: {
        static constexpr const char* kNames[] = {"editor", nullptr, "", "Editor", "something"};
        const char* name = rng_.Pick(kNames);
        Log("createView(", name ? name : "null", ")");
        if (IPlugView* view = p.controller->createView(name)) view->release();
        break;
      }
      case 19: {
        const auto type = static_cast<MediaType>(rng_.Below(3) - (rng_.Chance(10) ? 5 : 0));
        const auto dir = static_cast<BusDirection>(rng_.Below(3) - (rng_.Chance(10) ? 5 : 0));
        const int32 index = AnyIndex(rng_);
        Log("getBusInfo/getBusArrangement(", type, ",", dir, ",", index, ")");
        BusInfo info{};
        p.component->getBusCount(type, dir);
        if (p.component->getBusInfo(type, dir, index, info) == kResultOk) {
          ASSERT_NE(std::find(std::begin(info.name), std::end(info.name), char16{0}), std::end(info.name));
        }
        SpeakerArrangement arr = 0;
        p.processor->getBusArrangement(dir, index, arr);
        RoutingInfo in{type, index, 0}, out{};
        p.component->getRoutingInfo(in, out);
        break;
      }
      case 20: {
        const bool none = rng_.Chance(30);
        Log("setComponentHandler(", none ? "null" : "handler", ")");
        p.controller->setComponentHandler(none ? nullptr : handler_.get());
        break;
      }
      case 21: {
        Log("latency/tail/canProcessSampleSize");
        p.processor->getLatencySamples();
        p.processor->getTailSamples();
        p.processor->canProcessSampleSize(static_cast<int32>(rng_.Below(5)) - 1);
        break;
      }
      case 22: {
        const int32 mode = static_cast<int32>(rng_.Below(4)) - 1;
        Log("setIoMode/setKnobMode(", mode, ")");
        p.component->setIoMode(mode);
        if (auto ex = p.U<IEditController2>()) ex->setKnobMode(mode);
        break;
      }
      case 23: ViewCall(); break;
      case 24: LaterSectionsState(); break;
      default: {
        // Parameter changes through a zero-sample flush.
        auto changes = RandomChanges();
        Log("flush with ", changes->getParameterCount(), " queues");
        ProcessData d;
        d.symbolicSampleSize = rng_.Chance(50) ? kSample32 : kSample64;
        d.inputParameterChanges = changes.get();
        p.processor->process(d);
        break;
      }
    }
  }

  std::string Context() const {
    return "\nseed " + std::to_string(seed_) + ", last calls:\n" + Trail();
  }

  IPtr<host::ParameterChanges> RandomChanges() {
    IPtr<host::ParameterChanges> changes =
        rng_.Chance(10) ? IPtr<host::ParameterChanges>(host::MakeHostObject<OverstatedChanges>(1 + rng_.Below(3)))
                        : host::MakeHostObject<host::ParameterChanges>();
    const int queues = rng_.Below(5);
    for (int q = 0; q < queues; ++q) {
      const ParamID id = AnyParamId(rng_);
      const int points = rng_.Chance(10) ? 0 : 1 + rng_.Below(4);
      int32 index = 0;
      changes->addParameterData(id, index);  // a queue may stay empty
      for (int k = 0; k < points; ++k) changes->Add(id, AnyValue(rng_), rng_.Below(600));
    }
    return changes;
  }

  std::u16string RandomText() {
    static const char* const kWords[] = {"", "0", "-0", "1", "0.5", "12", "-12.5", "1e400", "-1e400", "nan", "inf",
                                         "-inf", "Off", "On", "1:1", "4:1", "2x", "abc", " 3 dB", "100%",
                                         "   ", "+", "-", ".", "1e", "0x10", "99999999999999999999999"};
    if (rng_.Chance(60)) {
      std::string w = rng_.Pick(kWords);
      if (rng_.Chance(20)) w += rng_.Pick(kWords);
      return host::ToU16(w);
    }
    std::u16string s;
    const int n = rng_.Below(300);
    for (int i = 0; i < n; ++i) {
      char16_t c = static_cast<char16_t>(1 + rng_.Below(0xFFFF));
      if (rng_.Chance(60)) c = static_cast<char16_t>(32 + rng_.Below(95));
      s.push_back(c);
    }
    return s;
  }

  void UnitCalls() {
    Plug& p = *plug_;
    auto units = p.U<IUnitInfo>();
    if (!units) return;
    const int32 index = AnyIndex(rng_);
    const auto listId = static_cast<ProgramListID>(rng_.Chance(50) ? kPrst : AnyIndex(rng_));
    const int32 program = AnyIndex(rng_);
    Log("unit/program queries(", index, ",", listId, ",", program, ")");
    units->getUnitCount();
    UnitInfo info{};
    units->getUnitInfo(index, info);
    units->getProgramListCount();
    ProgramListInfo list{};
    units->getProgramListInfo(index, list);
    String128 name{};
    units->getProgramName(listId, program, rng_.Chance(5) ? nullptr : name);
    units->getProgramInfo(listId, program, rng_.Chance(5) ? nullptr : "name", rng_.Chance(5) ? nullptr : name);
    units->hasProgramPitchNames(listId, program);
    units->getSelectedUnit();
    UnitID unit = 0;
    units->getUnitByBus(kAudio, kInput, index, 0, unit);
    auto stream = host::MakeHostObject<host::MemoryStream>(RandomBytes(64));
    units->setUnitProgramData(listId, program, rng_.Chance(10) ? nullptr : stream.get());
    if (rng_.Chance(10)) p.component->getControllerClassId(nullptr);
  }

  std::vector<std::uint8_t> RandomBytes(int maxLen) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(rng_.Below(maxLen + 1)));
    for (auto& x : b) x = static_cast<std::uint8_t>(rng_.Next());
    return b;
  }

  void StateCall() {
    Plug& p = *plug_;
    const bool viaController = rng_.Chance(30);
    if (rng_.Chance(35)) {
      Log("getState", viaController ? " (controller)" : "");
      auto s = host::MakeHostObject<host::MemoryStream>();
      if (rng_.Chance(10)) s->SetCapacity(rng_.Below(200));
      const tresult r = viaController ? p.controller->getState(s.get()) : p.component->getState(s.get());
      if (r == kResultOk) saved_ = s->Data();
      if (rng_.Chance(5)) viaController ? p.controller->getState(nullptr) : p.component->getState(nullptr);
      return;
    }
    std::vector<std::uint8_t> blob;
    std::string kind;
    switch (rng_.Below(5)) {
      case 0: kind = "saved"; blob = saved_; break;
      case 1:
        kind = "truncated";
        blob = saved_;
        blob.resize(static_cast<std::size_t>(rng_.Below(static_cast<int>(blob.size()) + 1)));
        break;
      case 2: kind = "empty"; break;
      case 3: kind = "random"; blob = RandomBytes(400); break;
      default:
        // A saved state with a few bytes changed: plausible doubles that are
        // not (NaN, inf, huge, negative, out of range).
        kind = "mutated";
        blob = saved_;
        for (int k = rng_.Below(6); k > 0 && !blob.empty(); --k) {
          blob[static_cast<std::size_t>(rng_.Below(static_cast<int>(blob.size())))] =
              static_cast<std::uint8_t>(rng_.Next());
        }
        break;
    }
    const int perRead = rng_.Chance(20) ? 1 + rng_.Below(9) : 0;
    Log("setState(", kind, ", ", blob.size(), " bytes", viaController ? ", controller" : "", ")");
    auto s = host::MakeHostObject<host::MemoryStream>(std::move(blob));
    if (perRead) s->SetMaxBytesPerRead(perRead);
    if (rng_.Chance(10)) s->SetEndOfDataResult(rng_.Chance(50) ? kResultOk : kInternalError);
    if (viaController) {
      p.controller->setState(s.get());
    } else {
      p.component->setState(s.get());
    }
    if (rng_.Chance(5)) {
      s->Rewind();
      p.controller->setComponentState(s.get());
    }
    if (rng_.Chance(5)) viaController ? p.controller->setState(nullptr) : p.component->setState(nullptr);
  }

  // The editor's view between blocks: made anew, sized by a handle that may
  // ask the constraint or not (off the aspect, empty, inverted, huge),
  // rescaled, attached to a window that is none, removed, released.
  void ViewCall() {
    Plug& p = *plug_;
    if (!view_ || rng_.Chance(15)) {
      Log("createView (again)");
      view_ = owned(p.controller->createView("editor"));
      if (!view_) return;
    }
    static constexpr int32 kEdges[] = {0, 1, 245, 322, 466, 838, 1100, 1918, 2514, -5, 40000,
                                       std::numeric_limits<int32>::max(), std::numeric_limits<int32>::min()};
    ViewRect r(rng_.Pick(kEdges), rng_.Pick(kEdges), rng_.Pick(kEdges), rng_.Pick(kEdges));
    if (rng_.Chance(50)) r = ViewRect(0, 0, 600 + rng_.Below(2000), 150 + rng_.Below(800));
    static constexpr float kScales[] = {1.0f, 1.25f, 1.5f, 2.0f, 3.0f, 0.0f, -1.0f, 3.5f, 1e30f,
                                        std::numeric_limits<float>::quiet_NaN()};
    switch (rng_.Below(6)) {
      case 0:
        Log("view onSize(", r.left, ",", r.top, ",", r.right, ",", r.bottom, ")");
        view_->onSize(rng_.Chance(5) ? nullptr : &r);
        break;
      case 1:
        // The corners, not a width: an extreme rectangle has none an int holds.
        Log("view checkSizeConstraint then onSize(", r.left, ",", r.top, ",", r.right, ",", r.bottom, ")");
        if (view_->checkSizeConstraint(&r) == kResultTrue) {
          ASSERT_TRUE(r.getWidth() > 0 && r.getHeight() > 0) << Context();
          view_->onSize(&r);
        }
        break;
      case 2: {
        const float scale = rng_.Pick(kScales);
        Log("view setContentScaleFactor(", scale, ")");
        if (auto scaler = FUnknownPtr<IPlugViewContentScaleSupport>(view_)) scaler->setContentScaleFactor(scale);
        break;
      }
      case 3: {
        // No window system window behind either: the editor opens nothing.
        static int notAWindow = 0;
        const bool none = rng_.Chance(50);
        Log("view attached(", none ? "null" : "not a window", ") and removed");
        view_->attached(none ? nullptr : &notAWindow, rng_.Chance(50) ? kPlatformTypeHWND : kPlatformTypeX11EmbedWindowID);
        view_->removed();
        break;
      }
      case 4: {
        Log("view getSize/canResize");
        ViewRect size;
        if (view_->getSize(&size) == kResultOk) {
          ASSERT_TRUE(size.getWidth() > 0 && size.getHeight() > 0) << Context();
        }
        view_->canResize();
        break;
      }
      default:
        Log("view released");
        view_ = nullptr;
        break;
    }
  }

  // A saved state followed by a block of later sections, as a later
  // version writes it: known and unknown tags, versions from 0 to a few
  // ahead, and sometimes sizes that lie.
  void LaterSectionsState() {
    std::vector<std::uint8_t> blob = saved_;
    auto word = [&blob](std::uint32_t v) {
      for (int k = 0; k < 4; ++k) blob.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    };
    auto tag = [&word](const char* t) {
      word(static_cast<std::uint32_t>(t[0]) << 24 | static_cast<std::uint32_t>(t[1]) << 16 |
           static_cast<std::uint32_t>(t[2]) << 8 | static_cast<std::uint32_t>(t[3]));
    };
    std::vector<std::vector<std::uint8_t>> sections;
    for (int k = rng_.Below(4); k > 0; --k) sections.push_back(RandomBytes(24));
    std::uint32_t bytes = 0;
    for (const auto& payload : sections) bytes += 8 + static_cast<std::uint32_t>(payload.size());
    const bool lies = rng_.Chance(20);
    tag("sect");
    word(static_cast<std::uint32_t>(rng_.Below(5)));
    word(lies ? static_cast<std::uint32_t>(rng_.Next()) : bytes);
    static constexpr const char* kTags[] = {"zoom", "next", "sect", "\0\0\0\0", "xtra"};
    for (const auto& payload : sections) {
      tag(rng_.Pick(kTags));
      word(lies && rng_.Chance(50) ? static_cast<std::uint32_t>(rng_.Next()) : static_cast<std::uint32_t>(payload.size()));
      blob.insert(blob.end(), payload.begin(), payload.end());
    }
    if (rng_.Chance(20)) blob.resize(static_cast<std::size_t>(rng_.Below(static_cast<int>(blob.size()) + 1)));
    const bool viaController = rng_.Chance(30);
    Log("setState(later sections, ", sections.size(), " sections, ", blob.size(), " bytes", lies ? ", lying sizes" : "",
        viaController ? ", controller" : "", ")");
    auto s = host::MakeHostObject<host::MemoryStream>(std::move(blob));
    viaController ? plug_->controller->setState(s.get()) : plug_->component->setState(s.get());
    // What it kept reads back whole.
    auto out = host::MakeHostObject<host::MemoryStream>();
    if (plug_->component->getState(out.get()) == kResultOk) saved_ = out->Data();
  }

  void Process() {
    Plug& p = *plug_;
    const int32 size = rng_.Chance(50) ? kSample32 : kSample64;
    int n = 0;
    switch (rng_.Below(6)) {
      case 0: n = 0; break;
      case 1: n = 1 + rng_.Below(8); break;
      case 2: case 3: n = rng_.Below(600); break;
      case 4: n = rng_.Below(5000); break;
      default: n = rng_.Chance(20) ? kBufferFrames : rng_.Below(kBufferFrames); break;
    }
    // Mostly what the arrangement asks for, sometimes less or more.
    auto channels = [&](int percentStereo) {
      return rng_.Chance(percentStereo) ? 2 : rng_.Chance(85) ? rng_.Below(3) : 3 + rng_.Below(6);
    };
    const int scChannels = channels(60);
    const int mainChannels = channels(75);
    const int outChannels = channels(75);
    host::ProcessBuffers b(size, std::max(n, 1), mainChannels, scChannels, outChannels);

    // The signal: mostly ordinary, sometimes loud, tiny or not finite.
    bool finiteIn = true;
    const int kind = rng_.Below(10);
    std::uint32_t noise = static_cast<std::uint32_t>(rng_.Next());
    for (int bus = 0; bus < b.InputBusCount(); ++bus) {
      for (int ch = 0; ch < b.ChannelCount(bus); ++ch) {
        for (int i = 0; i < n; ++i) {
          double v = Noise(noise);
          if (kind == 1) v *= 1e4;
          if (kind == 2) v *= 1e-38;
          if (kind == 3) v = (i % 2 ? 1.0 : -1.0);
          b.SetInput(bus, ch, i, v);
        }
      }
    }
    if (kind == 9 && n > 0 && b.ChannelCount(0) > 0) {
      static constexpr double kBad[] = {kNaN, kInf, -kInf};
      b.SetInput(0, 0, rng_.Below(n), rng_.Pick(kBad));
      finiteIn = false;
    }
    b.SetNumSamples(n);
    b.FillOutputs(0.25);
    b.SetProcessMode(rng_.Chance(90) ? static_cast<int32>(rng_.Below(3)) : 9);
    b.SetContextPassed(rng_.Chance(70));
    if (rng_.Chance(30)) {
      ProcessContext& c = b.Context();
      c.state = static_cast<uint32>(rng_.Next());
      c.sampleRate = rng_.Pick(kRates);
      c.tempo = AnyValue(rng_) * 300.0;
      c.projectTimeMusic = AnyValue(rng_) * 1e6;
      c.timeSigNumerator = AnyIndex(rng_);
      c.timeSigDenominator = AnyIndex(rng_);
    }
    auto changes = RandomChanges();
    if (rng_.Chance(40)) b.SetParameterChanges(changes.get());

    // Missing buses, null or short channel arrays.
    ProcessData& d = b.Data();
    b.SetBusesPassed(rng_.Below(b.InputBusCount() + 1), rng_.Chance(85));
    bool outputsNull = false;
    for (int bus = 0; bus < d.numInputs; ++bus) {
      if (rng_.Chance(8)) d.inputs[bus].channelBuffers32 = nullptr;
      if (rng_.Chance(8)) d.inputs[bus].numChannels = rng_.Below(d.inputs[bus].numChannels + 1);
    }
    if (d.numOutputs > 0) {
      if (rng_.Chance(8)) {
        d.outputs[0].channelBuffers32 = nullptr;
        outputsNull = true;
      }
      if (rng_.Chance(8)) d.outputs[0].numChannels = rng_.Below(d.outputs[0].numChannels + 1);
    }
    // Bus counts without bus arrays.
    if (rng_.Chance(3)) d.inputs = nullptr;
    if (rng_.Chance(3)) {
      d.outputs = nullptr;
      outputsNull = true;
    }
    if (rng_.Chance(3)) d.numSamples = -1 - rng_.Below(1000);
    if (rng_.Chance(3)) d.symbolicSampleSize = rng_.Chance(50) ? 2 : -1;

    Log("process(", size == kSample32 ? "32" : "64", "-bit, ", d.numSamples, " samples, ins ", d.numInputs, " [",
        mainChannels, ",", scChannels, "], outs ", d.numOutputs, " [", outChannels, outputsNull ? ", null" : "",
        "], signal ", kind, ", changes ", d.inputParameterChanges ? changes->getParameterCount() : 0, ")");
    p.processor->process(d);

    // A non-finite input sample may pass through its own block, but nothing
    // of it may outlast that block.
    if (!finiteIn || outputsNull || d.numOutputs == 0) return;
    // Everything the plug-in wrote (or left) in the host's buffers is finite.
    const int written = std::min(d.outputs[0].numChannels, outChannels);
    bool sound = false;
    for (int ch = 0; ch < written; ++ch) {
      for (int i = 0; i < std::max(d.numSamples, 0); ++i) {
        const double v = b.Output(ch, i);
        ASSERT_TRUE(std::isfinite(v)) << "output channel " << ch << " sample " << i << " is " << v << Context();
        sound = sound || (v != 0.0 && v != 0.25);
      }
    }
    if (sound) ++rendered_;
    if (trace_) std::fprintf(stderr, "  -> %s\n", sound ? "sound" : "quiet");
  }

 public:
  // Process calls that put signal into the host's buffers.
  int Rendered() const { return rendered_; }

 private:

  std::uint64_t seed_;
  Rng rng_;
  int steps_;
  bool trace_;
  Watchdog& watchdog_;
  std::unique_ptr<Plug> plug_;
  IPtr<IPlugView> view_;
  IPtr<host::RecordingComponentHandler> handler_ = host::MakeHostObject<host::RecordingComponentHandler>();
  std::vector<std::uint8_t> saved_;
  std::deque<std::string> trail_;
  int rendered_ = 0;
};

// Answers how many process calls rendered signal.
int RunSeed(std::uint64_t seed) {
  // Printed first, so that the log of a crash ends with the seed that caused it.
  std::printf("seed %llu\n", static_cast<unsigned long long>(seed));
  std::fflush(stdout);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const int steps = static_cast<int>(EnvNumber("MIREL_FUZZ_STEPS", 160));
  Watchdog watchdog(seed, EnvNumber("MIREL_FUZZ_HANG_SECONDS", 60));
  Sequence sequence(seed, steps, EnvNumber("MIREL_FUZZ_TRACE", 0) != 0, watchdog);
  sequence.Run();
  return sequence.Rendered();
}

// The seeds CI runs; a seed that ever finds a fault is added here and kept.
constexpr std::uint64_t kSeeds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(CallOrderFuzz, FixedSeeds) {
  if (const char* replay = std::getenv("MIREL_FUZZ_SEED"); replay && *replay &&
                                                           EnvNumber("MIREL_SOAK_SECONDS", 0) <= 0) {
    RunSeed(std::strtoull(replay, nullptr, 10));
    return;
  }
  int rendered = 0;
  for (std::uint64_t seed : kSeeds) {
    rendered += RunSeed(seed);
    if (HasFatalFailure()) return;
  }
  // The sequences must reach the signal path often, or they test only refusals.
  EXPECT_GE(rendered, 40);
  std::printf("%d process calls rendered signal\n", rendered);
}

TEST(CallOrderFuzz, Soak) {
  const double seconds = EnvNumber("MIREL_SOAK_SECONDS", 0);
  if (seconds <= 0) GTEST_SKIP() << "set MIREL_SOAK_SECONDS to soak";
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::uint64_t seed = static_cast<std::uint64_t>(EnvNumber("MIREL_FUZZ_SEED", 1000));
  std::uint64_t runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    RunSeed(seed++);
    ++runs;
    if (HasFatalFailure()) return;
  }
  std::printf("soak: %llu sequences\n", static_cast<unsigned long long>(runs));
}

}  // namespace
}  // namespace mirel::test
