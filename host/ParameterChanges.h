#pragma once
// The input parameter changes of one process call: one value queue per
// parameter id, each holding points ordered by sample offset.

#include <utility>
#include <vector>

#include "host/HostObject.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace mirel::host {

class ParamValueQueue : public HostObject<Steinberg::Vst::IParamValueQueue> {
 public:
  explicit ParamValueQueue(Steinberg::Vst::ParamID id) : id_(id) {}

  // Audio thread (plug-in side) reads; the host fills the queue before process.
  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
  Steinberg::int32 PLUGIN_API getPointCount() override;
  // An index outside the queue answers kResultFalse and leaves the outputs alone.
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  // Keeps the points ordered by offset; a point at an offset already present
  // replaces that point's value. A negative offset answers kInvalidArgument.
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset,
                                         Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  void Clear() { points_.clear(); }

 private:
  Steinberg::Vst::ParamID id_;
  std::vector<std::pair<Steinberg::int32, Steinberg::Vst::ParamValue>> points_;
};

class ParameterChanges : public HostObject<Steinberg::Vst::IParameterChanges> {
 public:
  Steinberg::int32 PLUGIN_API getParameterCount() override;
  // An index outside the list answers null.
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  // Answers the queue of `id`, appending a new one if there is none yet
  // (null if the list cannot grow).
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  // Host helper: adds one point to the queue of `id`.
  void Add(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value,
           Steinberg::int32 sampleOffset = 0);
  // Removes every queue (done between process calls).
  void Clear() { queues_.clear(); }

 private:
  std::vector<Steinberg::IPtr<ParamValueQueue>> queues_;
};

}  // namespace mirel::host
