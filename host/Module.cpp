#include "host/Module.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/HostStrings.h"
#include "host/SharedLibrary.h"

namespace mirel::host {

namespace fs = std::filesystem;

namespace {

using GetFactoryProc = Steinberg::IPluginFactory*(PLUGIN_API*)();

#ifdef _WIN32
constexpr const char* kBundleArch = "x86_64-win";
constexpr const char* kModuleSuffix = ".vst3";

// InitDll / ExitDll take no arguments on Windows.
bool EnterModule(void* handle) {
  using Proc = bool (*)();
  if (auto init = reinterpret_cast<Proc>(LibrarySymbol(handle, "InitDll"))) return init();
  return true;
}

void ExitModule(void* handle) {
  using Proc = bool (*)();
  if (auto exitProc = reinterpret_cast<Proc>(LibrarySymbol(handle, "ExitDll"))) exitProc();
}

constexpr const char* kEntryName = "InitDll";
#else
constexpr const char* kBundleArch = "x86_64-linux";
constexpr const char* kModuleSuffix = ".so";

// Linux hosts hand ModuleEntry the library handle.
bool EnterModule(void* handle) {
  using Proc = bool (*)(void*);
  if (auto entry = reinterpret_cast<Proc>(LibrarySymbol(handle, "ModuleEntry"))) return entry(handle);
  return true;
}

void ExitModule(void* handle) {
  using Proc = bool (*)();
  if (auto exitProc = reinterpret_cast<Proc>(LibrarySymbol(handle, "ModuleExit"))) exitProc();
}

constexpr const char* kEntryName = "ModuleEntry";
#endif

}  // namespace

std::string Module::ResolveModuleFile(const std::string& path) {
  std::error_code ec;
  const fs::path p(path);
  if (!fs::is_directory(p, ec)) return path;
  fs::path name = p.filename();
  if (name.empty()) name = p.parent_path().filename();  // trailing slash
  const std::string stem = name.stem().string();
  return (p / "Contents" / kBundleArch / (stem + kModuleSuffix)).string();
}

std::unique_ptr<Module> Module::Load(const std::string& path, std::string& error) {
  const std::string file = ResolveModuleFile(path);
  std::error_code ec;
  if (path.empty() || !fs::exists(file, ec)) {
    error = "cannot load module '" + path + "': no such file" +
            (file != path ? " (looked for '" + file + "')" : "");
    return nullptr;
  }
  if (fs::is_directory(file, ec)) {
    error = "cannot load module '" + path + "': it is a folder without a module for this platform";
    return nullptr;
  }
  std::string why;
  void* handle = OpenLibrary(file, why);
  if (handle == nullptr) {
    error = "cannot load module '" + file + "': " + why;
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module);
  module->file_ = file;
  auto getFactory = reinterpret_cast<GetFactoryProc>(LibrarySymbol(handle, "GetPluginFactory"));
  if (getFactory == nullptr) {
    CloseLibrary(handle);
    error = "cannot load module '" + file + "': no GetPluginFactory";
    return nullptr;
  }
  if (!EnterModule(handle)) {
    CloseLibrary(handle);
    error = "cannot load module '" + file + "': " + kEntryName + " failed";
    return nullptr;
  }
  module->handle_ = handle;
  // GetPluginFactory hands over one reference.
  module->factory_ = Steinberg::owned(getFactory());
  if (!module->factory_) {
    error = "cannot load module '" + file + "': GetPluginFactory returned no factory";
    return nullptr;
  }
  return module;
}

Module::~Module() {
  factory_ = nullptr;
  if (handle_ != nullptr) {
    ExitModule(handle_);
    CloseLibrary(handle_);
  }
}

std::vector<ModuleClass> Module::Classes() const {
  std::vector<ModuleClass> out;
  if (!factory_) return out;
  const Steinberg::int32 n = factory_->countClasses();
  for (Steinberg::int32 i = 0; i < n; ++i) {
    Steinberg::PClassInfo info{};
    if (factory_->getClassInfo(i, &info) != Steinberg::kResultOk) continue;
    ModuleClass c;
    std::memcpy(c.cid, info.cid, sizeof c.cid);
    c.category = FixedField(info.category, Steinberg::PClassInfo::kCategorySize);
    c.name = FixedField(info.name, Steinberg::PClassInfo::kNameSize);
    c.cardinality = info.cardinality;
    out.push_back(c);
  }
  return out;
}

bool Module::FindAudioEffect(ModuleClass& out) const {
  for (const auto& c : Classes()) {
    if (c.category == "Audio Module Class") {
      out = c;
      return true;
    }
  }
  return false;
}

void* Module::CreateRaw(const Steinberg::TUID cid, const Steinberg::TUID iid,
                        std::string& error) const {
  void* obj = nullptr;
  const Steinberg::tresult r =
      factory_ ? factory_->createInstance(cid, iid, &obj) : Steinberg::kNotInitialized;
  if (r != Steinberg::kResultOk || obj == nullptr) {
    error = "createInstance failed (result " + std::to_string(r) + ")";
    return nullptr;
  }
  return obj;
}

}  // namespace mirel::host
