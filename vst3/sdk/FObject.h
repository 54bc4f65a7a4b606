#pragma once

// Reference-counted base of every object this module hands to a host, with a
// by-name type test up the class chain (isA).

#include <atomic>
#include <cstring>

#include "pluginterfaces/base/funknown.h"

namespace Steinberg {

class FObject : public FUnknown {
 public:
  FObject() = default;
  virtual ~FObject() = default;
  FObject(const FObject&) = delete;
  FObject& operator=(const FObject&) = delete;

  // Any thread. The count starts at 1; release to 0 destroys the object.
  uint32 PLUGIN_API addRef() override;
  uint32 PLUGIN_API release() override;
  // Answers FUnknown only; derived classes add their interfaces.
  tresult PLUGIN_API queryInterface(const TUID queryIid, void** obj) override;

  static const char* getFClassName() { return "FObject"; }
  virtual const char* isA() const { return getFClassName(); }
  // True when name is this object's class or, with askBaseClass, any class
  // up its chain.
  virtual bool isA(const char* name) const { return isTypeOf(name, true); }
  virtual bool isTypeOf(const char* name, bool askBaseClass = true) const;

  int32 getRefCount() const { return refCount_.load(std::memory_order_relaxed); }

 protected:
  // The class chain, most derived first; each class adds its own name.
  virtual bool classChainHas(const char* name) const { return std::strcmp(name, "FObject") == 0; }

 private:
  std::atomic<int32> refCount_{1};
};

// Matches two 16-byte ids.
inline bool IidEqual(const TUID a, const TUID b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

// Hands out interface I of obj with a new reference when queryIid names it.
template <class I, class T>
bool QueryAs(T* obj, const TUID queryIid, void** out) {
  if (!IidEqual(queryIid, I::iid)) return false;
  *out = static_cast<I*>(obj);
  obj->addRef();
  return true;
}

}  // namespace Steinberg

// Declares the class-chain step and the shared reference count for a class
// that derives from FObject and from further interfaces.
#define MIREL_FOBJECT_CHAIN(ClassName, BaseName)                                   \
 public:                                                                            \
  static const char* getFClassName() { return #ClassName; }                        \
  const char* isA() const override { return getFClassName(); }                     \
  using BaseName::isA;                                                              \
                                                                                    \
 protected:                                                                         \
  bool classChainHas(const char* name) const override {                             \
    return std::strcmp(name, #ClassName) == 0 || BaseName::classChainHas(name);     \
  }                                                                                 \
                                                                                    \
 public:

#define MIREL_REFCOUNT_FROM(BaseName)                                                       \
  ::Steinberg::uint32 PLUGIN_API addRef() override { return BaseName::addRef(); }          \
  ::Steinberg::uint32 PLUGIN_API release() override { return BaseName::release(); }
