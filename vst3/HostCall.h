#pragma once

// The one way a host entry point of the adapter runs its body: nothing thrown
// inside crosses back into the host. A body that throws gives the entry
// point's stated fallback (kResultFalse for a result code).

#include <type_traits>
#include <utility>

#include "pluginterfaces/base/funknown.h"

template <class Result, class Body>
Result HostCall(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

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
