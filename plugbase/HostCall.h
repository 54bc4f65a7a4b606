#pragma once

// The one way a host entry point of an adapter runs its body, whatever the
// plug-in format: nothing thrown inside crosses back into the host. A body
// that throws gives the entry point's stated fallback.

#include <utility>

template <class Result, class Body>
Result HostCall(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

template <class Body>
void HostCallVoid(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}
