#include "host/ClapModule.h"

#include <filesystem>
#include <system_error>

#include "host/SharedLibrary.h"

namespace mirel::host {

namespace fs = std::filesystem;

bool ClapModule::IsClapPath(const std::string& path) { return fs::path(path).extension() == ".clap"; }

std::unique_ptr<ClapModule> ClapModule::Load(const std::string& path, std::string& error) {
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(path, ec)) {
    error = "cannot load module '" + path + "': no such file";
    return nullptr;
  }
  // A bare file name is the file here, not one on the system's library path.
  const std::string file = fs::absolute(path, ec).string();
  std::string why;
  void* handle = OpenLibrary(ec ? path : file, why);
  if (!handle) {
    error = "cannot load module '" + path + "': " + why;
    return nullptr;
  }
  std::unique_ptr<ClapModule> module(new ClapModule);
  module->file_ = ec ? path : file;
  module->handle_ = handle;
  const auto* entry = static_cast<const clap_plugin_entry_t*>(LibrarySymbol(handle, "clap_entry"));
  if (!entry) {
    error = "cannot load module '" + path + "': no clap_entry";
    return nullptr;
  }
  if (!clap_version_is_compatible(entry->clap_version) || !entry->init || !entry->get_factory) {
    error = "cannot load module '" + path + "': its clap_entry is of an incompatible version";
    return nullptr;
  }
  if (!entry->init(module->file_.c_str())) {
    error = "cannot load module '" + path + "': its init failed";
    return nullptr;
  }
  module->entry_ = entry;
  module->factory_ = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!module->factory_) {
    error = "cannot load module '" + path + "': no plug-in factory";
    return nullptr;
  }
  return module;
}

ClapModule::~ClapModule() {
  if (entry_ && entry_->deinit) entry_->deinit();
  if (handle_) CloseLibrary(handle_);
}

}  // namespace mirel::host
