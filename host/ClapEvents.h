#pragma once
// The event lists a CLAP host hands a plug-in's process and flush: the input
// list of parameter values it sends, and the output list that collects what
// the plug-in reports back. Any one thread at a time.

#include <cstdint>
#include <vector>

#include "events.h"

namespace mirel::host {

class ClapInputEvents {
 public:
  ClapInputEvents();
  ClapInputEvents(const ClapInputEvents&) = delete;
  ClapInputEvents& operator=(const ClapInputEvents&) = delete;

  // Appends a value event for a parameter at frame `time` of the block.
  void Add(clap_id id, double value, std::uint32_t time = 0);
  void Clear() { events_.clear(); }
  const clap_input_events_t* List() const { return &list_; }

 private:
  std::vector<clap_event_param_value_t> events_;
  clap_input_events_t list_{};
};

class ClapOutputEvents {
 public:
  struct Value {
    clap_id id;
    double value;
  };

  ClapOutputEvents();
  ClapOutputEvents(const ClapOutputEvents&) = delete;
  ClapOutputEvents& operator=(const ClapOutputEvents&) = delete;

  const clap_output_events_t* List() const { return &list_; }
  // The parameter value events pushed so far, in order.
  const std::vector<Value>& Values() const { return values_; }
  // Every event pushed, of any type.
  int Count() const { return count_; }
  // The parameter events pushed (value, gesture begin and end), in order; a
  // gesture's value is 0.
  struct Event {
    std::uint16_t type;
    clap_id id;
    double value;
    bool operator==(const Event&) const = default;
  };
  const std::vector<Event>& Events() const { return events_; }
  void Clear() {
    values_.clear();
    events_.clear();
    count_ = 0;
  }

 private:
  std::vector<Value> values_;
  std::vector<Event> events_;
  int count_ = 0;
  clap_output_events_t list_{};
};

}  // namespace mirel::host
