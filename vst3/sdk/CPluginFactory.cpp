#include "vst3/sdk/CPluginFactory.h"

#include <cstring>
#include <new>

#include "vst3/sdk/FObject.h"
#include "vst3/sdk/VstString.h"

namespace Steinberg {

namespace {

// Classes are stored in steps of this many entries.
constexpr std::size_t kClassGrowth = 10;

template <std::size_t N>
void Widen(char16 (&dst)[N], const char8* src, std::size_t srcCapacity) {
  std::string s(src, strnlen(src, srcCapacity));
  WidenInto(dst, N, s.c_str());
}

}  // namespace

PClassInfoW WidenClassInfo(const PClassInfo2& info) {
  PClassInfoW w{};
  std::memcpy(w.cid, info.cid, sizeof(TUID));
  w.cardinality = info.cardinality;
  std::memcpy(w.category, info.category, sizeof(w.category));
  Widen(w.name, info.name, sizeof(info.name));
  w.classFlags = info.classFlags;
  std::memcpy(w.subCategories, info.subCategories, sizeof(w.subCategories));
  Widen(w.vendor, info.vendor, sizeof(info.vendor));
  Widen(w.version, info.version, sizeof(info.version));
  Widen(w.sdkVersion, info.sdkVersion, sizeof(info.sdkVersion));
  return w;
}

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : factoryInfo_(info) {}

CPluginFactory::~CPluginFactory() = default;

bool CPluginFactory::registerClass(const PClassInfo2& info, CreateFunction create, void* context) {
  try {
    if (classes_.size() == classes_.capacity()) classes_.reserve(classes_.size() + kClassGrowth);
    Entry e;
    e.info8 = info;
    e.info16 = WidenClassInfo(info);
    e.create = create;
    e.context = context;
    classes_.push_back(e);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CPluginFactory::registerClass(const PClassInfoW& info, CreateFunction create, void* context) {
  try {
    if (classes_.size() == classes_.capacity()) classes_.reserve(classes_.size() + kClassGrowth);
    Entry e;
    e.info16 = info;
    std::memcpy(e.info8.cid, info.cid, sizeof(TUID));
    e.create = create;
    e.context = context;
    e.isUnicode = true;
    classes_.push_back(e);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CPluginFactory::isClassRegistered(const FUID& cid) const {
  for (const Entry& e : classes_) {
    if (FUID::fromTUID(e.info8.cid) == cid) return true;
  }
  return false;
}

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID queryIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (IidEqual(queryIid, FUnknown::iid) || IidEqual(queryIid, IPluginFactory::iid)) {
    *obj = static_cast<IPluginFactory*>(this);
  } else if (IidEqual(queryIid, IPluginFactory2::iid)) {
    *obj = static_cast<IPluginFactory2*>(this);
  } else if (IidEqual(queryIid, IPluginFactory3::iid)) {
    *obj = static_cast<IPluginFactory3*>(this);
  } else {
    *obj = nullptr;
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API CPluginFactory::addRef() {
  return static_cast<uint32>(refCount_.fetch_add(1, std::memory_order_relaxed) + 1);
}

bool CPluginFactory::addRefIfAlive() {
  int32 count = refCount_.load(std::memory_order_relaxed);
  while (count > 0) {
    if (refCount_.compare_exchange_weak(count, count + 1, std::memory_order_relaxed)) return true;
  }
  return false;
}

uint32 PLUGIN_API CPluginFactory::release() {
  const int32 now = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (now == 0) {
    if (releaseHook_) releaseHook_(this);
    delete this;
    return 0;
  }
  return static_cast<uint32>(now);
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (info) *info = factoryInfo_;
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() { return static_cast<int32>(classes_.size()); }

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  if (!info || index < 0 || index >= countClasses()) return kInvalidArgument;
  const Entry& e = classes_[static_cast<std::size_t>(index)];
  if (e.isUnicode) {
    std::memset(static_cast<void*>(info), 0, sizeof(PClassInfo));
    return kResultFalse;
  }
  std::memcpy(info->cid, e.info8.cid, sizeof(TUID));
  info->cardinality = e.info8.cardinality;
  std::memcpy(info->category, e.info8.category, sizeof(info->category));
  std::memcpy(info->name, e.info8.name, sizeof(info->name));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  if (!info || index < 0 || index >= countClasses()) return kInvalidArgument;
  const Entry& e = classes_[static_cast<std::size_t>(index)];
  if (e.isUnicode) {
    std::memset(static_cast<void*>(info), 0, sizeof(PClassInfo2));
    return kResultFalse;
  }
  *info = e.info8;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  if (!info || index < 0 || index >= countClasses()) return kInvalidArgument;
  *info = classes_[static_cast<std::size_t>(index)].info16;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString interfaceId, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !interfaceId) return kInvalidArgument;
  for (const Entry& e : classes_) {
    if (std::memcmp(e.info8.cid, cid, sizeof(TUID)) != 0) continue;
    if (!e.create) return kNoInterface;
    FUnknown* instance = e.create(e.context);
    if (!instance) return kNoInterface;
    TUID wanted;
    std::memcpy(wanted, interfaceId, sizeof(TUID));
    void* answer = nullptr;
    const tresult r = instance->queryInterface(wanted, &answer);
    instance->release();  // the creation reference
    if (r != kResultOk || !answer) return kNoInterface;
    *obj = answer;
    return kResultOk;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown*) { return kNotImplemented; }

}  // namespace Steinberg
