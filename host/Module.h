#pragma once
// Loading a VST3 module file and reaching its factory, as a host does.

#include <memory>
#include <string>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

namespace mirel::host {

// One class the factory offers.
struct ModuleClass {
  Steinberg::TUID cid{};
  std::string category;
  std::string name;
  Steinberg::int32 cardinality = 0;
};

// A loaded module: the library stays loaded and its factory referenced while
// this object lives. Destruction releases the factory, calls the module's
// exit function (ModuleExit on Linux, ExitDll on Windows) and unloads it.
// Main thread only.
class Module {
 public:
  // `path` is a .vst3 bundle folder (the module inside Contents/ for this
  // platform is loaded) or the module file itself. On failure answers null
  // and sets `error` to a one-line reason.
  static std::unique_ptr<Module> Load(const std::string& path, std::string& error);

  // The file inside a bundle folder that this platform loads; `path` itself
  // when it is not a folder.
  static std::string ResolveModuleFile(const std::string& path);

  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  Steinberg::IPluginFactory* Factory() const { return factory_.get(); }
  const std::string& FilePath() const { return file_; }

  std::vector<ModuleClass> Classes() const;
  // The first class of category "Audio Module Class"; false if there is none.
  bool FindAudioEffect(ModuleClass& out) const;

  // createInstance through the factory; null and `error` set on failure.
  template <class I>
  Steinberg::IPtr<I> Create(const Steinberg::TUID cid, std::string& error) const {
    return Steinberg::owned(static_cast<I*>(CreateRaw(cid, I::iid, error)));
  }

 private:
  Module() = default;
  void* CreateRaw(const Steinberg::TUID cid, const Steinberg::TUID iid, std::string& error) const;

  std::string file_;
  void* handle_ = nullptr;  // dlopen handle or HMODULE
  Steinberg::IPtr<Steinberg::IPluginFactory> factory_;
};

}  // namespace mirel::host
