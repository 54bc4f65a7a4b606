// The adapter with a small plug-in of its own: edit notifications, latency,
// transport, offline mode, host identification and the type chain.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/HostApplication.h"
#include "vst3/HostCall.h"
#include "vst3/IEffectVST3.h"
#include "vst3/IEffectVST3View.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "host/MemoryStream.h"
#include "gui/IPanelOffscreen.h"
#include "host/ParameterChanges.h"
#include "host/ProcessBuffers.h"
#include "vst3/sdk/VstString.h"
#include "tests/support/MouseButtons.h"
#include "tests/support/ViewSize.h"
#include "tests/support/VstOwner.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using K = mirel::host::HandlerCall::Kind;
using testsupport::Corners;
using testsupport::kLeftButton;
using testsupport::MakeVstOwner;
using testsupport::SizeOf;
using testsupport::VstOwner;

namespace {

// Two parameters, "2-2 4-2" like a sidechain effect; remembers what the base
// saw during the last block.
class TestEffect : public IEffectVST3 {
 public:
  explicit TestEffect(const char* io = "2-2 4-2") : IEffectVST3(2, io, 1, "Test", "", "Maker", 0x00010000, 1, 2) {
    GetParam(0)->DefineContinuous("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    GetParam(1)->DefineStepped("Mode", 1.0, 0.0, 2.0, 1.0);
    CaptureDefaultPreset();
  }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override {
    HostTransport(transport);
    offline = IsRenderingOffline();
    lastFrames = nFrames;
    for (int i = 0; i < 4; ++i) seenInputs[i] = inputs[i];
    IEffectBase::ProcessBlock(inputs, outputs, nFrames);
  }
  void ParamChanged(int index) override {
    IEffectBase::ParamChanged(index);
    ++changes;
  }
  void EditorOpened() override { ++opened; }
  void EditorClosing() override { ++closing; }

  TransportInfo transport;
  bool offline = false;
  int lastFrames = 0;
  int changes = 0;
  int opened = 0, closing = 0;
  double* seenInputs[4] = {};
};

TEST(Adapter, EditorGesturesReachTheHandlerInOrder) {
  auto fx = MakeVstOwner<TestEffect>();
  auto handler = mirel::host::MakeHostObject<mirel::host::RecordingComponentHandler>();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  ASSERT_EQ(fx->setComponentHandler(handler.get()), kResultOk);
  fx->BeginEditNotify(1);
  const int before = fx->changes;
  fx->PerformEdit(1, 1.0);
  fx->EndEditNotify(1);
  const std::vector<mirel::host::HandlerCall> expected = {
      {K::kBegin, 1, 0, 0}, {K::kPerform, 1, 1.0, 0}, {K::kEnd, 1, 0, 0}};
  EXPECT_EQ(handler->Calls(), expected);
  EXPECT_EQ(fx->changes, before + 1);
  EXPECT_EQ(fx->getParamNormalized(1), 1.0);

  handler->Clear();
  fx->SetLatency(64);
  ASSERT_EQ(handler->Calls().size(), 1u);
  EXPECT_EQ(handler->Calls()[0].kind, K::kRestart);
  EXPECT_EQ(handler->Calls()[0].flags, kLatencyChanged);
  EXPECT_EQ(fx->getLatencySamples(), 64u);
  fx->terminate();
}

// A host frame that records the plug-in's resize requests.
class RecordingFrame : public mirel::host::HostObject<IPlugFrame> {
 public:
  tresult PLUGIN_API resizeView(IPlugView*, ViewRect* rect) override {
    requests.push_back(*rect);
    return kResultOk;
  }
  std::vector<ViewRect> requests;
};

// TestEffect with an off-screen editor: a knob of parameter 0 at (0, 0)-(20, 40).
VstOwner<TestEffect> EffectWithEditor(int width = 100, int height = 50) {
  auto fx = MakeVstOwner<TestEffect>();
  auto panel = std::make_unique<IPanelOffscreen>(fx.get(), width, height);
  panel->AttachControl(std::make_unique<IKnobStripControl>(0, 0, 0, BitmapRef{nullptr, 20, 40, 1}));
  fx->AttachGraphics(std::move(panel));
  return fx;
}

// The view claims only its own platform's window type, refuses to open in a
// window of another kind and gives the editor's size as width by height.
TEST(Adapter, ViewTakesOnlyItsPlatformsWindowTypeAndGivesTheEditorsSize) {
  auto fx = EffectWithEditor();
  auto* panel = static_cast<IPanel*>(fx->Graphics());
  IPtr<IPlugView> view = owned(fx->createView("editor"));
  ASSERT_TRUE(view);
  EXPECT_EQ(view->isPlatformTypeSupported(kEditorPlatformType), kResultOk);
  int parent = 0;
  for (FIDString other : {kPlatformTypeHWND, kPlatformTypeX11EmbedWindowID, kPlatformTypeNSView, "HWND2", ""}) {
    if (std::strcmp(other, kEditorPlatformType) == 0) continue;
    EXPECT_EQ(view->isPlatformTypeSupported(other), kResultFalse) << other;
    EXPECT_NE(view->attached(&parent, other), kResultOk) << other;
    EXPECT_EQ(panel->GetWindow(), nullptr) << other;
  }
  EXPECT_EQ(Corners(SizeOf(*view)), (Corners({0, 0, 100, 50})));
}

TEST(Adapter, OneViewsFailureOrReleaseLeavesTheOtherViewsWindowAndPlace) {
  auto fx = EffectWithEditor();
  auto* panel = static_cast<IPanel*>(fx->Graphics());
  IPtr<IPlugView> a = owned(fx->createView("editor"));
  IPtr<IPlugView> b = owned(fx->createView("editor"));
  auto frame = mirel::host::MakeHostObject<RecordingFrame>();
  ASSERT_EQ(a->setFrame(frame.get()), kResultOk);
  int parentA = 0, parentB = 0;
  ASSERT_EQ(a->attached(&parentA, kEditorPlatformType), kResultOk);
  void* window = panel->GetWindow();
  ASSERT_NE(window, nullptr);
  // A second view cannot open while the first shows the editor; it fails
  // alone, and its removal and release leave the first view as it was.
  EXPECT_EQ(b->attached(&parentB, kEditorPlatformType), kResultFalse);
  EXPECT_EQ(b->removed(), kResultOk);
  b = nullptr;
  EXPECT_EQ(fx->OpenViewCount(), 1u);
  EXPECT_EQ(panel->GetWindow(), window);
  EXPECT_EQ(fx->opened, 1);
  EXPECT_EQ(fx->closing, 0);  // the editor the host sees is still open
  panel->Resize(120, 60);  // the attached view still takes resize requests
  ASSERT_EQ(frame->requests.size(), 1u);
  EXPECT_EQ(frame->requests[0].right, 120);
  EXPECT_EQ(a->removed(), kResultOk);
  EXPECT_EQ(panel->GetWindow(), nullptr);
  EXPECT_EQ(fx->closing, 1);
  a = nullptr;
  // A view the host made first and released unused leaves the bookkeeping:
  // the one it then opens takes the resize requests.
  IPtr<IPlugView> unused = owned(fx->createView("editor"));
  IPtr<IPlugView> c = owned(fx->createView("editor"));
  unused = nullptr;
  EXPECT_EQ(fx->OpenViewCount(), 1u);
  ASSERT_EQ(c->setFrame(frame.get()), kResultOk);
  ASSERT_EQ(c->attached(&parentA, kEditorPlatformType), kResultOk);
  panel->Resize(90, 45);
  ASSERT_EQ(frame->requests.size(), 2u);
  EXPECT_EQ(frame->requests[1].right, 90);
  EXPECT_EQ(c->removed(), kResultOk);
}

// A host handler that offers parameter menus and records the view each was
// asked for (it hands out no menu).
class MenuMaker : public mirel::host::HostObject<IComponentHandler3> {
 public:
  IContextMenu* PLUGIN_API createContextMenu(IPlugView* plugView, const ParamID*) override {
    views.push_back(plugView);
    return nullptr;
  }
  std::vector<IPlugView*> views;
};

class MenuHandler : public mirel::host::RecordingComponentHandler {
 public:
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (obj && FUnknownPrivate::iidEqual(queried, IComponentHandler3::iid)) {
      menus->addRef();
      *obj = static_cast<IComponentHandler3*>(menus.get());
      return kResultOk;
    }
    return RecordingComponentHandler::queryInterface(queried, obj);
  }
  IPtr<MenuMaker> menus = mirel::host::MakeHostObject<MenuMaker>();
};

// A host may keep an earlier view open that shows nothing: made and never
// attached, or attached and removed. Resize requests and parameter menus go
// to the view that shows the editor, and nowhere while none does.
TEST(Adapter, ResizesAndMenusGoToTheAttachedViewNotAnEarlierOne) {
  for (const bool earlierShowedFirst : {false, true}) {
    SCOPED_TRACE(earlierShowedFirst ? "earlier view attached and removed" : "earlier view never attached");
    auto fx = EffectWithEditor();
    auto* panel = static_cast<IPanel*>(fx->Graphics());
    auto handler = mirel::host::MakeHostObject<MenuHandler>();
    ASSERT_EQ(fx->setComponentHandler(handler.get()), kResultOk);
    IPtr<IPlugView> earlier = owned(fx->createView("editor"));
    auto earlierFrame = mirel::host::MakeHostObject<RecordingFrame>();
    ASSERT_EQ(earlier->setFrame(earlierFrame.get()), kResultOk);
    int parent = 0;
    if (earlierShowedFirst) {
      ASSERT_EQ(earlier->attached(&parent, kEditorPlatformType), kResultOk);
      ASSERT_EQ(earlier->removed(), kResultOk);
    }
    IPtr<IPlugView> shown = owned(fx->createView("editor"));
    auto shownFrame = mirel::host::MakeHostObject<RecordingFrame>();
    ASSERT_EQ(shown->setFrame(shownFrame.get()), kResultOk);
    ASSERT_EQ(shown->attached(&parent, kEditorPlatformType), kResultOk);

    panel->Resize(120, 60);
    fx->PopupHostParamMenu(1, 5, 5);
    EXPECT_TRUE(earlierFrame->requests.empty());
    ASSERT_EQ(shownFrame->requests.size(), 1u);
    EXPECT_EQ(shownFrame->requests[0].right, 120);
    EXPECT_EQ(handler->menus->views, std::vector<IPlugView*>{shown.get()});

    ASSERT_EQ(shown->removed(), kResultOk);
    panel->Resize(90, 45);
    fx->PopupHostParamMenu(1, 5, 5);
    EXPECT_TRUE(earlierFrame->requests.empty());
    EXPECT_EQ(shownFrame->requests.size(), 1u);
    EXPECT_EQ(handler->menus->views.size(), 1u);
  }
}

// ---- The host's resize handle ---------------------------------------------------

TEST(Adapter, ViewResizesToTheEditorsAspectWithinItsLimits) {
  auto fx = EffectWithEditor(838, 245);
  IPtr<IPlugView> view = owned(fx->createView("editor"));
  EXPECT_EQ(view->canResize(), kResultTrue);
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);
  const struct {
    ViewRect offered, answer;
  } cases[] = {
      {{0, 0, 1048, 306}, {0, 0, 1048, 306}},
      {{10, 20, 1010, 1020}, {10, 20, 1010, 312}},  // the origin stays
      {{0, 0, 1, 1}, {0, 0, 629, 184}},
      {{0, 0, -400, -100}, {0, 0, 629, 184}},
      {{500, 500, 0, 0}, {500, 500, 1129, 684}},
      {{0, 0, 99999, 99999}, {0, 0, 2514, 735}},
      // Extremes that would overflow a width or a coordinate.
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN, INT32_MIN + 2514, INT32_MIN + 735}},
      {{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, {INT32_MAX - 629, INT32_MAX - 184, INT32_MAX, INT32_MAX}},
  };
  for (const auto& c : cases) {
    ViewRect r = c.offered;
    EXPECT_EQ(view->checkSizeConstraint(&r), kResultTrue);
    EXPECT_EQ(Corners(r), Corners(c.answer)) << c.offered.right << "x" << c.offered.bottom;
  }
  EXPECT_EQ(SizeOf(*view).getWidth(), 838);  // asking changes nothing
  view = nullptr;
  fx.reset();

  // A plug-in without an editor neither resizes nor constrains.
  auto bare = MakeVstOwner<TestEffect>();
  IPtr<IPlugView> none = owned(bare->createView("editor"));
  ViewRect r{0, 0, 100, 100};
  EXPECT_EQ(none->canResize(), kResultFalse);
  EXPECT_EQ(none->checkSizeConstraint(&r), kResultFalse);
  EXPECT_EQ(none->onSize(&r), kResultOk);
}

TEST(Adapter, HostResizeScalesTheEditorAndTheZoomOutlivesItsViewsAndContentScales) {
  auto fx = EffectWithEditor(838, 245);
  auto* panel = static_cast<IPanel*>(fx->Graphics());
  auto frame = mirel::host::MakeHostObject<RecordingFrame>();
  IPtr<IPlugView> view = owned(fx->createView("editor"));
  ASSERT_EQ(view->setFrame(frame.get()), kResultOk);
  int parent = 0;
  ASSERT_EQ(view->attached(&parent, kEditorPlatformType), kResultOk);

  // The host's handle: the constrained size, then onSize.
  ViewRect r{0, 0, 1048, 400};
  ASSERT_EQ(view->checkSizeConstraint(&r), kResultTrue);
  ASSERT_EQ(view->onSize(&r), kResultOk);
  EXPECT_EQ(panel->Scale(), 1.25);
  EXPECT_EQ(SizeOf(*view).getWidth(), 1048);
  EXPECT_EQ(SizeOf(*view).getHeight(), 306);
  EXPECT_EQ(fx->EditorZoom(), 1.25);
  EXPECT_TRUE(frame->requests.empty());  // the host sized its window itself
  // An onSize the host did not constrain gets the nearest size.
  ViewRect loose{0, 0, 3000, 3000};
  ASSERT_EQ(view->onSize(&loose), kResultOk);
  EXPECT_EQ(SizeOf(*view).getWidth(), 2514);
  ASSERT_EQ(view->onSize(&r), kResultOk);

  // A content scale keeps the zoom: 2 x 1.25 = 2.5.
  FUnknownPtr<IPlugViewContentScaleSupport> scaler(view);
  ASSERT_TRUE(scaler);
  ASSERT_EQ(scaler->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(SizeOf(*view).getWidth(), 2095);
  ASSERT_FALSE(frame->requests.empty());
  EXPECT_EQ(frame->requests.back().getWidth(), 2095);
  EXPECT_EQ(fx->EditorZoom(), 1.25);
  ASSERT_EQ(scaler->setContentScaleFactor(1.0f), kResultOk);
  EXPECT_EQ(SizeOf(*view).getWidth(), 1048);

  // The answer to the plug-in's own request does not rescale the editor.
  static_cast<IEffectVST3View*>(view.get())->ExpectNewSize();
  ViewRect asked{0, 0, 700, 200};
  ASSERT_EQ(view->onSize(&asked), kResultOk);
  EXPECT_EQ(SizeOf(*view).getWidth(), 1048);

  // A zoom a state brings while the editor shows: the next tick takes it and
  // asks the host for the size; the host's answer changes nothing more.
  ASSERT_TRUE(fx->SetEditorZoom(2.0));
  panel->TimerTick();
  EXPECT_EQ(panel->EditorWidth(), 1676);
  ASSERT_FALSE(frame->requests.empty());
  EXPECT_EQ(frame->requests.back().getWidth(), 1676);
  EXPECT_EQ(frame->requests.back().getHeight(), 490);
  ViewRect answer = frame->requests.back();
  ASSERT_EQ(view->onSize(&answer), kResultOk);
  EXPECT_EQ(fx->EditorZoom(), 2.0);
  ASSERT_TRUE(fx->SetEditorZoom(1.25));
  panel->TimerTick();
  EXPECT_EQ(SizeOf(*view).getWidth(), 1048);

  // Closed and released, a new view of the same instance opens at the zoom.
  EXPECT_EQ(view->removed(), kResultOk);
  view = nullptr;
  IPtr<IPlugView> again = owned(fx->createView("editor"));
  ASSERT_EQ(again->setFrame(frame.get()), kResultOk);
  EXPECT_EQ(SizeOf(*again).getWidth(), 1048);
  ASSERT_EQ(again->attached(&parent, kEditorPlatformType), kResultOk);
  EXPECT_EQ(panel->EditorWidth(), 1048);
  EXPECT_EQ(again->removed(), kResultOk);
}

// A resized editor's zoom travels in the state through the host's streams,
// and the editor of the instance it is loaded into takes it when the host
// next asks its size. The trailer's bytes and the trailers that load as zoom
// 1 are the base's (plugbase StoredStateTest); here only the two it does not
// list: a trailer too short for its tag and a negative zoom.
TEST(Adapter, StateCarriesTheZoomThroughTheStreamsToTheNextView) {
  auto fx = EffectWithEditor(838, 245);
  ASSERT_TRUE(fx->SetEditorZoom(1.25));
  auto out = mirel::host::MakeHostObject<mirel::host::MemoryStream>();
  ASSERT_EQ(fx->getState(out.get()), kResultOk);
  const std::vector<std::uint8_t> zoomed = out->Data();
  ASSERT_EQ(zoomed.size(), 2 * 8 + 4 + 12u);  // values, bypass flag, "zoom" and 1.25
  fx.reset();

  auto load = [](const std::vector<std::uint8_t>& bytes, double zoomBefore) {
    auto to = EffectWithEditor(838, 245);
    to->SetEditorZoom(zoomBefore);
    auto in = mirel::host::MakeHostObject<mirel::host::MemoryStream>(bytes);
    EXPECT_EQ(to->setState(in.get()), kResultOk);
    const double zoom = to->EditorZoom();
    IPtr<IPlugView> view = owned(to->createView("editor"));
    const int width = SizeOf(*view).getWidth();
    EXPECT_EQ(width, static_cast<int>(std::floor(838 * zoom + 0.5)));
    return zoom;
  };
  EXPECT_EQ(load(zoomed, 1.0), 1.25);
  EXPECT_EQ(load(std::vector<std::uint8_t>(zoomed.begin(), zoomed.end() - 9), 2.0), 1.0);  // "zoo"
  std::vector<std::uint8_t> negative = zoomed;
  negative[31] = 0xBF;  // -1.25
  EXPECT_EQ(load(negative, 2.0), 1.0);
}

TEST(Adapter, AnEditOpenWhenThePlugInGoesEndsAtTheHost) {
  auto fx = EffectWithEditor();
  auto handler = mirel::host::MakeHostObject<mirel::host::RecordingComponentHandler>();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  ASSERT_EQ(fx->setComponentHandler(handler.get()), kResultOk);
  static_cast<IPanel*>(fx->Graphics())->OnMouseDown(5, 5, kLeftButton);
  fx->terminate();
  fx.reset();
  const std::vector<mirel::host::HandlerCall> expected = {{K::kBegin, 0, 0, 0}, {K::kEnd, 0, 0, 0}};
  EXPECT_EQ(handler->Calls(), expected);
}

TEST(Adapter, HostValuesWaitWhileTheUserHoldsTheirKnob) {
  auto fx = EffectWithEditor();
  auto* panel = static_cast<IPanel*>(fx->Graphics());
  IControl* knob = panel->GetControl(0);
  panel->OnMouseDown(5, 20, kLeftButton);
  panel->OnMouseDrag(5, 10, kLeftButton);  // 0.5 + 10 / 40 / 4
  ASSERT_EQ(fx->setParamNormalized(0, 0.2), kResultOk);
  panel->TimerTick();
  EXPECT_EQ(knob->Value(), 0.5625);
  panel->OnMouseUp(5, 10, kLeftButton);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.2);  // the host's last word, now the gesture ended
}

// Automation that arrives with a block reaches the plug-in and the open
// editor; a NaN is no value and changes neither.
TEST(Adapter, ValuesInABlockReachTheEditorAndANaNChangesNothing) {
  auto fx = EffectWithEditor();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 32, 48000.0};
  ASSERT_EQ(fx->setupProcessing(setup), kResultOk);
  auto* panel = static_cast<IPanel*>(fx->Graphics());
  mirel::host::ProcessBuffers b(kSample32, 32, 2, 2, 2);
  b.SetNumSamples(32);
  for (const double sent : {0.25, std::nan("")}) {
    auto changes = mirel::host::MakeHostObject<mirel::host::ParameterChanges>();
    changes->Add(0, sent);
    b.SetParameterChanges(changes.get());
    ASSERT_EQ(fx->process(b.Data()), kResultOk);
    panel->TimerTick();
    EXPECT_EQ(fx->GetParam(0)->Value(), -5.0) << sent;
    EXPECT_EQ(panel->GetControl(0)->Value(), 0.25) << sent;
  }
  fx->terminate();
}

TEST(Adapter, TransportOfflineModeAndUnconnectedChannels) {
  auto fx = MakeVstOwner<TestEffect>();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  ProcessSetup setup{kOffline, kSample32, 64, 44100.0};
  ASSERT_EQ(fx->setupProcessing(setup), kResultOk);
  mirel::host::ProcessBuffers b(kSample32, 64, 2, 0, 2);  // no sidechain bus in the data
  ProcessContext& ctx = b.Context();
  ctx.state = ProcessContext::kPlaying;
  ctx.tempo = 128.0;
  ctx.projectTimeSamples = 123456789012LL;
  ctx.projectTimeMusic = 16.5;
  ctx.barPositionMusic = 16.0;
  ctx.cycleStartMusic = 4.0;
  ctx.cycleEndMusic = 8.0;
  ctx.timeSigNumerator = 7;
  ctx.timeSigDenominator = 8;
  b.SetNumSamples(50);
  ASSERT_EQ(fx->process(b.Data()), kResultOk);
  EXPECT_TRUE(fx->offline);
  EXPECT_EQ(fx->transport.tempo, 128.0);
  EXPECT_EQ(fx->transport.samplePos, 123456789012.0);
  EXPECT_EQ(fx->transport.ppqPos, 16.5);
  EXPECT_EQ(fx->transport.lastBar, 16.0);
  EXPECT_EQ(fx->transport.cycleStart, 4.0);
  EXPECT_EQ(fx->transport.cycleEnd, 8.0);
  EXPECT_EQ(fx->transport.numerator, 7);
  EXPECT_EQ(fx->transport.denominator, 8);
  EXPECT_TRUE(fx->transport.playing);
  EXPECT_FALSE(fx->transport.cycling);
  EXPECT_EQ(fx->HostTempo(), 128.0);
  // Every input the base sees is a real buffer; the missing sidechain is silent.
  for (double* in : fx->seenInputs) ASSERT_NE(in, nullptr);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(fx->seenInputs[2][i], 0.0);

  // A block beyond the announced maximum arrives in slices no longer than it.
  mirel::host::ProcessBuffers big(kSample32, 200, 2, 2, 2);
  big.SetNumSamples(200);
  ASSERT_EQ(fx->process(big.Data()), kResultOk);
  EXPECT_EQ(fx->lastFrames, 200 - 3 * 64);
  fx->terminate();
}

TEST(Adapter, HostIdentificationAndTypeChain) {
  auto fx = MakeVstOwner<TestEffect>();
  EXPECT_EQ(fx->GetHostId(), -1);
  auto app = mirel::host::MakeHostObject<mirel::host::HostApplication>("Bitwig with Reaper inside");
  ASSERT_EQ(fx->initialize(app.get()), kResultOk);
  EXPECT_EQ(fx->GetHostId(), 1);
  EXPECT_EQ(app->RefCount(), 2u);  // kept until terminate
  for (const char* name : {"IEffectVST3", "SingleComponentEffect", "EditControllerEx1", "EditController",
                           "ComponentBase", "FObject"}) {
    EXPECT_TRUE(fx->isA(name)) << name;
  }
  EXPECT_STREQ(fx->isA(), "IEffectVST3");
  fx->terminate();
  EXPECT_EQ(app->RefCount(), 1u);
}

// A host context that answers IHostApplication but cannot give its name.
class NamelessHost : public mirel::host::HostObject<IHostApplication> {
 public:
  tresult PLUGIN_API getName(String128 name) override {
    if (name) WidenInto(name, 128, "Cubase");  // left behind, but not a valid answer
    return kResultFalse;
  }
  tresult PLUGIN_API createInstance(TUID, TUID, void** obj) override {
    if (obj) *obj = nullptr;
    return kResultFalse;
  }
};

TEST(Adapter, HostThatCannotNameItselfIsNoKnownHost) {
  auto fx = MakeVstOwner<TestEffect>();
  auto named = mirel::host::MakeHostObject<mirel::host::HostApplication>("REAPER");
  ASSERT_EQ(fx->initialize(named.get()), kResultOk);
  ASSERT_EQ(fx->GetHostId(), 1);
  fx->terminate();
  // The next host answers IHostApplication, so its (empty) name is looked up.
  auto nameless = mirel::host::MakeHostObject<NamelessHost>();
  ASSERT_EQ(fx->initialize(nameless.get()), kResultOk);
  EXPECT_EQ(fx->GetHostId(), 0);
  fx->terminate();
}

// A stream that says it read more than it was asked for.
class OverReportingStream : public mirel::host::MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    const tresult r = MemoryStream::read(buffer, numBytes, numBytesRead);
    if (numBytesRead && *numBytesRead > 0) *numBytesRead += 100;
    return r;
  }
};

class ShortWritingStream : public mirel::host::MemoryStream {
 public:
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    return MemoryStream::write(buffer, numBytes / 2, numBytesWritten);  // kResultOk for half
  }
};

// The state is the values as little-endian doubles, then the bypass flag. A
// stream that ends inside a value leaves that value (and every later one) as
// it was; a stream that over-reports what it read is not believed.
TEST(Adapter, StateCutInsideAValueKeepsItAndAnOverReportingStreamIsNotBelieved) {
  auto saved = MakeVstOwner<TestEffect>();
  saved->setParamNormalized(0, 0.25);
  saved->setParamNormalized(1, 1.0);
  auto out = mirel::host::MakeHostObject<mirel::host::MemoryStream>();
  ASSERT_EQ(saved->getState(out.get()), kResultOk);
  const std::vector<std::uint8_t> bytes = out->Data();
  ASSERT_EQ(bytes.size(), 2 * 8 + 4u);
  EXPECT_EQ(bytes[7], 0xC0);  // -5.0 dB: the sign and exponent in the last byte
  saved.reset();

  for (std::size_t cut : {0u, 4u, 8u, 12u, 15u, 16u, 18u}) {
    auto fx = MakeVstOwner<TestEffect>();
    fx->setParamNormalized(0, 0.75);
    auto in = mirel::host::MakeHostObject<mirel::host::MemoryStream>(
        std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_EQ(fx->setState(in.get()), kResultFalse) << cut;  // no bypass flag
    EXPECT_EQ(fx->getParamNormalized(0), cut >= 8 ? 0.25 : 0.75) << cut;
    EXPECT_EQ(fx->getParamNormalized(1), cut >= 16 ? 1.0 : 0.5) << cut;
  }
  auto fx = MakeVstOwner<TestEffect>();
  auto liar = mirel::host::MakeHostObject<OverReportingStream>(bytes);
  EXPECT_EQ(fx->setState(liar.get()), kResultOk);
  EXPECT_EQ(fx->getParamNormalized(0), 0.25);
  EXPECT_EQ(fx->getParamNormalized(1), 1.0);
  // A stream that takes part of the state and calls it done: not saved.
  auto shortWrite = mirel::host::MakeHostObject<ShortWritingStream>();
  EXPECT_EQ(fx->getState(shortWrite.get()), kResultFalse);
}

TEST(Adapter, SidechainArrangementWithoutInputArrayIsRefused) {
  // "0-2" makes an empty main input legal, so the sidechain step is reached.
  auto fx = MakeVstOwner<TestEffect>("0-2 4-2");
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  SpeakerArrangement outs[1] = {0x3};
  EXPECT_EQ(fx->setBusArrangements(nullptr, 2, outs, 1), kResultFalse);
  fx->terminate();
}

// Only the listed configurations are taken: mono or surround output where
// none lists it is refused. A one-channel sidechain is a mono bus.
TEST(Adapter, BusArrangementsFollowTheListedConfigurations) {
  auto fx = MakeVstOwner<TestEffect>();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  const SpeakerArrangement stereo = SpeakerArr::kStereo, mono = SpeakerArr::kMono, surround = SpeakerArr::k51;
  auto arrange = [&](SpeakerArrangement main, SpeakerArrangement side, SpeakerArrangement out) {
    SpeakerArrangement ins[2] = {main, side}, outs[1] = {out};
    return fx->setBusArrangements(ins, 2, outs, 1);
  };
  EXPECT_EQ(arrange(stereo, stereo, stereo), kResultOk);
  EXPECT_EQ(arrange(stereo, stereo, mono), kResultFalse);
  EXPECT_EQ(arrange(stereo, stereo, surround), kResultFalse);
  EXPECT_EQ(arrange(mono, stereo, stereo), kResultFalse);
  EXPECT_EQ(arrange(surround, stereo, surround), kResultFalse);
  SpeakerArrangement arr = 0;
  ASSERT_EQ(fx->getBusArrangement(kOutput, 0, arr), kResultOk);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
  EXPECT_EQ(arrange(stereo, mono, stereo), kResultOk);
  ASSERT_EQ(fx->getBusArrangement(kInput, 1, arr), kResultOk);
  EXPECT_EQ(arr, SpeakerArr::kMono);
  ASSERT_EQ(fx->getBusArrangement(kInput, 0, arr), kResultOk);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
  fx->terminate();
}

TEST(Adapter, SidechainDeactivationClearsScratchOnce) {
  auto fx = MakeVstOwner<TestEffect>();
  ASSERT_EQ(fx->initialize(nullptr), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 32, 48000.0};
  ASSERT_EQ(fx->setupProcessing(setup), kResultOk);
  ASSERT_EQ(fx->activateBus(kAudio, kInput, 1, true), kResultOk);
  mirel::host::ProcessBuffers b(kSample32, 32, 2, 2, 2);
  for (int i = 0; i < 32; ++i) b.SetInput(1, 0, i, 0.5);
  b.SetNumSamples(32);
  ASSERT_EQ(fx->process(b.Data()), kResultOk);
  EXPECT_EQ(fx->seenInputs[2][5], 0.5);
  ASSERT_EQ(fx->activateBus(kAudio, kInput, 1, false), kResultOk);
  ASSERT_EQ(fx->process(b.Data()), kResultOk);
  // The inactive sidechain reads silence even though the host passed data.
  for (int i = 0; i < 32; ++i) ASSERT_EQ(fx->seenInputs[2][i], 0.0);
  EXPECT_FALSE(fx->GetInChannel(2).connected);
  fx->terminate();
}

TEST(Adapter, HostCallKeepsExceptionsInsideAndRefusesNullOutPointers) {
  EXPECT_EQ(HostCall([]() -> Steinberg::tresult { throw std::runtime_error("x"); }), Steinberg::kResultFalse);
  EXPECT_EQ(HostCall(0.25, []() -> double { throw 1; }), 0.25);
  bool ran = false;
  EXPECT_EQ(HostCallWithOut(nullptr, [&] { ran = true; return Steinberg::kResultOk; }), Steinberg::kInvalidArgument);
  EXPECT_FALSE(ran);
}

}  // namespace
