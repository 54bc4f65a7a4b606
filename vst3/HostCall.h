#pragma once

// The adapters' host-call guard (plugbase/HostCall.h) for VST3's result
// codes: a body that throws gives kResultFalse.

#include <utility>

#include "plugbase/HostCall.h"
#include "pluginterfaces/base/funknown.h"

template <class Body>
Steinberg::tresult HostCall(Body&& body) noexcept {
  return HostCall(Steinberg::tresult{Steinberg::kResultFalse}, std::forward<Body>(body));
}

// For the host's out-pointers: a null one is refused before anything runs.
template <class Body>
Steinberg::tresult HostCallWithOut(const void* out, Body&& body) noexcept {
  if (!out) return Steinberg::kInvalidArgument;
  return HostCall(std::forward<Body>(body));
}
