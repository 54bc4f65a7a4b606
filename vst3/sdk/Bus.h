#pragma once

// Buses as the component reports them to the host, and the ordered lists of
// buses of one media type and direction.

#include <memory>
#include <vector>

#include "vst3/sdk/FObject.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/vsttypes.h"

namespace Steinberg::Vst {

class Bus : public FObject {
  MIREL_FOBJECT_CHAIN(Bus, FObject)
 public:
  Bus(const TChar* name, BusType busType, int32 flags);

  // Fills the host's record (media type and direction come from the list).
  virtual bool getInfo(BusInfo& info) const;

  const TChar* getName() const { return name_; }
  void setName(const TChar* name);
  BusType getBusType() const { return busType_; }
  int32 getFlags() const { return flags_; }
  // A bus starts active when it carries the default-active flag.
  bool isActive() const { return active_; }
  void setActive(bool state) { active_ = state; }

 private:
  String128 name_{};
  BusType busType_;
  int32 flags_;
  bool active_;
};

class AudioBus : public Bus {
  MIREL_FOBJECT_CHAIN(Vst::AudioBus, Bus)
 public:
  AudioBus(const TChar* name, BusType busType, int32 flags, SpeakerArrangement arr);

  bool getInfo(BusInfo& info) const override;
  SpeakerArrangement getArrangement() const { return arrangement_; }
  void setArrangement(SpeakerArrangement arr) { arrangement_ = arr; }

 private:
  SpeakerArrangement arrangement_;
};

class EventBus : public Bus {
  MIREL_FOBJECT_CHAIN(Vst::EventBus, Bus)
 public:
  EventBus(const TChar* name, BusType busType, int32 flags, int32 channelCount);

  bool getInfo(BusInfo& info) const override;
  int32 getChannelCount() const { return channelCount_; }

 private:
  int32 channelCount_;
};

// Owns its buses (one reference each).
class BusList {
 public:
  BusList(MediaType type, BusDirection direction) : type_(type), direction_(direction) {}
  ~BusList();
  BusList(const BusList&) = delete;
  BusList& operator=(const BusList&) = delete;

  // Takes over the caller's creation reference.
  void append(Bus* bus);
  // Null for an index out of range.
  Bus* at(int32 index) const;
  int32 size() const { return static_cast<int32>(buses_.size()); }
  void removeAll();

  MediaType getType() const { return type_; }
  BusDirection getDirection() const { return direction_; }

 private:
  MediaType type_;
  BusDirection direction_;
  std::vector<Bus*> buses_;
};

}  // namespace Steinberg::Vst
