#include "host/ParameterChanges.h"

#include <algorithm>
#include <new>

namespace mirel::host {

using Steinberg::int32;
using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

int32 PLUGIN_API ParamValueQueue::getPointCount() { return static_cast<int32>(points_.size()); }

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (index < 0 || index >= getPointCount()) return kResultFalse;
  sampleOffset = points_[static_cast<size_t>(index)].first;
  value = points_[static_cast<size_t>(index)].second;
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  if (sampleOffset < 0) return kInvalidArgument;
  auto it = std::lower_bound(points_.begin(), points_.end(), sampleOffset,
                             [](const auto& point, int32 offset) { return point.first < offset; });
  if (it != points_.end() && it->first == sampleOffset) {
    it->second = value;
  } else {
    // A plug-in may write output changes; a failed allocation is answered, not thrown.
    try {
      it = points_.insert(it, {sampleOffset, value});
    } catch (const std::bad_alloc&) {
      return Steinberg::kOutOfMemory;
    }
  }
  index = static_cast<int32>(it - points_.begin());
  return kResultOk;
}

int32 PLUGIN_API ParameterChanges::getParameterCount() { return static_cast<int32>(queues_.size()); }

Steinberg::Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
  if (index < 0 || index >= getParameterCount()) return nullptr;
  return queues_[static_cast<size_t>(index)].get();
}

Steinberg::Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id,
                                                                                int32& index) {
  for (size_t i = 0; i < queues_.size(); ++i) {
    if (queues_[i]->getParameterId() == id) {
      index = static_cast<int32>(i);
      return queues_[i].get();
    }
  }
  try {
    queues_.push_back(MakeHostObject<ParamValueQueue>(id));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  index = static_cast<int32>(queues_.size() - 1);
  return queues_.back().get();
}

void ParameterChanges::Add(ParamID id, ParamValue value, int32 sampleOffset) {
  int32 index = 0;
  Steinberg::Vst::IParamValueQueue* queue = addParameterData(id, index);
  if (queue == nullptr) return;
  int32 pointIndex = 0;
  queue->addPoint(sampleOffset, value, pointIndex);
}

}  // namespace mirel::host
