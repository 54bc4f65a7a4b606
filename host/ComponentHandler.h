#pragma once
// A component handler that records every call a plug-in makes on it.

#include <mutex>
#include <vector>

#include "host/HostObject.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace mirel::host {

struct HandlerCall {
  enum class Kind { kBegin, kPerform, kEnd, kRestart };
  Kind kind = Kind::kBegin;
  Steinberg::Vst::ParamID id = 0;     // begin, perform, end
  Steinberg::Vst::ParamValue value = 0;  // perform: normalised value
  Steinberg::int32 flags = 0;         // restart: the restart flags
  bool operator==(const HandlerCall&) const = default;
};

// Calls may come from any thread (editor, audio, host); they are recorded in
// the order they arrive.
class RecordingComponentHandler : public HostObject<Steinberg::Vst::IComponentHandler> {
 public:
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

  // A copy of the calls so far, oldest first.
  std::vector<HandlerCall> Calls() const;
  void Clear();

 private:
  void Record(const HandlerCall& call);

  mutable std::mutex mutex_;
  std::vector<HandlerCall> calls_;
};

}  // namespace mirel::host
