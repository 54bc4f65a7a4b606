#include "vst3/sdk/Bus.h"

#include <algorithm>

namespace Steinberg::Vst {

Bus::Bus(const TChar* name, BusType busType, int32 flags)
    : busType_(busType), flags_(flags), active_((flags & BusInfo::kDefaultActive) != 0) {
  setName(name);
}

void Bus::setName(const TChar* name) {
  std::fill(std::begin(name_), std::end(name_), TChar{0});
  if (!name) return;
  for (std::size_t i = 0; i + 1 < std::size(name_) && name[i] != 0; ++i) name_[i] = name[i];
}

bool Bus::getInfo(BusInfo& info) const {
  std::copy(std::begin(name_), std::end(name_), std::begin(info.name));
  info.busType = busType_;
  info.flags = static_cast<uint32>(flags_);
  return true;
}

namespace {

int32 CountBits(SpeakerArrangement arr) {
  int32 n = 0;
  for (; arr != 0; arr &= arr - 1) ++n;
  return n;
}

}  // namespace

AudioBus::AudioBus(const TChar* name, BusType busType, int32 flags, SpeakerArrangement arr)
    : Bus(name, busType, flags), arrangement_(arr) {}

bool AudioBus::getInfo(BusInfo& info) const {
  info.channelCount = CountBits(arrangement_);
  return Bus::getInfo(info);
}

EventBus::EventBus(const TChar* name, BusType busType, int32 flags, int32 channelCount)
    : Bus(name, busType, flags), channelCount_(channelCount) {}

bool EventBus::getInfo(BusInfo& info) const {
  info.channelCount = channelCount_;
  return Bus::getInfo(info);
}

BusList::~BusList() { removeAll(); }

void BusList::append(Bus* bus) {
  if (bus) buses_.push_back(bus);
}

Bus* BusList::at(int32 index) const {
  if (index < 0 || index >= size()) return nullptr;
  return buses_[static_cast<std::size_t>(index)];
}

void BusList::removeAll() {
  // Reverse order, as every owning list of this module.
  while (!buses_.empty()) {
    Bus* b = buses_.back();
    buses_.pop_back();
    b->release();
  }
}

}  // namespace Steinberg::Vst
