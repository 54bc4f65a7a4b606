#include "host/ComponentHandler.h"

namespace mirel::host {

using Steinberg::kResultOk;
using Steinberg::tresult;

void RecordingComponentHandler::Record(const HandlerCall& call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(call);
}

tresult PLUGIN_API RecordingComponentHandler::beginEdit(Steinberg::Vst::ParamID id) {
  Record({HandlerCall::Kind::kBegin, id, 0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::performEdit(Steinberg::Vst::ParamID id,
                                                          Steinberg::Vst::ParamValue value) {
  Record({HandlerCall::Kind::kPerform, id, value, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::endEdit(Steinberg::Vst::ParamID id) {
  Record({HandlerCall::Kind::kEnd, id, 0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent(Steinberg::int32 flags) {
  Record({HandlerCall::Kind::kRestart, 0, 0, flags});
  return kResultOk;
}

std::vector<HandlerCall> RecordingComponentHandler::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void RecordingComponentHandler::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

}  // namespace mirel::host
