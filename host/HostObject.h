#pragma once
// Reference-counted host objects handed to a plug-in through VST3 interfaces.

#include <atomic>
#include <utility>

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/smartpointer.h"

namespace mirel::host {

// Implements FUnknown for one interface. Objects start with one reference
// (the creator's) and delete themselves when the count returns to zero, so
// create them with MakeHostObject. Counting is atomic: a plug-in may add and
// drop references from any thread.
// The interfaces have no virtual destructor by design (objects are destroyed
// through release only); this class adds one for its own derived classes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <class Interface>
class HostObject : public Interface {
 public:
  HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
  virtual ~HostObject() = default;

  Steinberg::uint32 PLUGIN_API addRef() override { return ++refCount_; }

  Steinberg::uint32 PLUGIN_API release() override {
    const Steinberg::uint32 left = --refCount_;
    if (left == 0) delete this;
    return left;
  }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queried, void** obj) override {
    if (obj == nullptr) return Steinberg::kInvalidArgument;
    if (Steinberg::FUnknownPrivate::iidEqual(queried, Steinberg::FUnknown::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(queried, Interface::iid)) {
      addRef();
      *obj = static_cast<Interface*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }

  // The current count; for tests of reference balance.
  Steinberg::uint32 RefCount() const { return refCount_.load(); }

 private:
  std::atomic<Steinberg::uint32> refCount_{1};
};
#pragma GCC diagnostic pop

// Creates a host object and takes over its first reference.
template <class T, class... Args>
Steinberg::IPtr<T> MakeHostObject(Args&&... args) {
  return Steinberg::owned(new T(std::forward<Args>(args)...));
}

}  // namespace mirel::host
