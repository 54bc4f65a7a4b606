#pragma once

// The one way a host entry point of the CLAP adapter runs its body: nothing
// thrown inside crosses back into the host, which is C. A body that throws
// gives the entry point's stated fallback.

#include <utility>

template <class Result, class Body>
Result ClapCall(Result fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

template <class Body>
void ClapCallVoid(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}
