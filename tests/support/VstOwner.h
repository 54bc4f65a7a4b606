#pragma once

// Owns one reference to a reference-counted VST3 object a test made or was
// handed, and releases it when the owner goes: at the end of the test, and
// also when a failed assertion returns early.

#include <memory>
#include <utility>

namespace testsupport {

struct VstRelease {
  template <class T>
  void operator()(T* object) const {
    object->release();
  }
};

template <class T>
using VstOwner = std::unique_ptr<T, VstRelease>;

// A new T (reference count 1) with that reference owned.
template <class T, class... Args>
VstOwner<T> MakeVstOwner(Args&&... args) {
  return VstOwner<T>(new T(std::forward<Args>(args)...));
}

}  // namespace testsupport
