#include "host/ClapEvents.h"

namespace mirel::host {

namespace {

std::uint32_t InSize(const clap_input_events_t* list) {
  return static_cast<std::uint32_t>(static_cast<const std::vector<clap_event_param_value_t>*>(list->ctx)->size());
}

const clap_event_header_t* InGet(const clap_input_events_t* list, std::uint32_t index) {
  const auto& events = *static_cast<const std::vector<clap_event_param_value_t>*>(list->ctx);
  return index < events.size() ? &events[index].header : nullptr;
}

}  // namespace

ClapInputEvents::ClapInputEvents() {
  list_.ctx = &events_;
  list_.size = &InSize;
  list_.get = &InGet;
}

void ClapInputEvents::Add(clap_id id, double value, std::uint32_t time) {
  clap_event_param_value_t e{};
  e.header.size = sizeof e;
  e.header.time = time;
  e.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
  e.header.type = CLAP_EVENT_PARAM_VALUE;
  e.param_id = id;
  e.note_id = -1;
  e.port_index = -1;
  e.channel = -1;
  e.key = -1;
  e.value = value;
  events_.push_back(e);
}

ClapOutputEvents::ClapOutputEvents() {
  list_.ctx = this;
  list_.try_push = [](const clap_output_events_t* list, const clap_event_header_t* event) -> bool {
    auto* self = static_cast<ClapOutputEvents*>(list->ctx);
    if (!event) return false;
    ++self->count_;
    if (event->space_id == CLAP_CORE_EVENT_SPACE_ID && event->type == CLAP_EVENT_PARAM_VALUE &&
        event->size >= sizeof(clap_event_param_value_t)) {
      const auto* v = reinterpret_cast<const clap_event_param_value_t*>(event);
      self->values_.push_back({v->param_id, v->value});
      self->events_.push_back({event->type, v->param_id, v->value});
    } else if (event->space_id == CLAP_CORE_EVENT_SPACE_ID &&
               (event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || event->type == CLAP_EVENT_PARAM_GESTURE_END) &&
               event->size >= sizeof(clap_event_param_gesture_t)) {
      const auto* g = reinterpret_cast<const clap_event_param_gesture_t*>(event);
      self->events_.push_back({event->type, g->param_id, 0.0});
    }
    return true;
  };
}

}  // namespace mirel::host
