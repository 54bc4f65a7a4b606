#pragma once
// Loading a CLAP module file (Mirel.clap) and reaching its plug-in factory,
// as a CLAP host does: the library's clap_entry, its init with the file's
// path, and the "clap.plugin-factory". Main thread only.

#include <memory>
#include <string>

#include "entry.h"
#include "plugin-factory.h"

namespace mirel::host {

class ClapModule {
 public:
  // Null and `error` set to a one-line reason (no such file, no clap_entry,
  // an incompatible version, init failed, no plug-in factory) on failure.
  static std::unique_ptr<ClapModule> Load(const std::string& path, std::string& error);
  // A module file is a .clap file, as a .vst3 one may be a bundle folder.
  static bool IsClapPath(const std::string& path);

  // Calls the entry's deinit and unloads the library.
  ~ClapModule();
  ClapModule(const ClapModule&) = delete;
  ClapModule& operator=(const ClapModule&) = delete;

  const clap_plugin_entry_t& Entry() const { return *entry_; }
  const clap_plugin_factory_t& Factory() const { return *factory_; }
  const std::string& FilePath() const { return file_; }

 private:
  ClapModule() = default;

  std::string file_;
  void* handle_ = nullptr;
  const clap_plugin_entry_t* entry_ = nullptr;
  const clap_plugin_factory_t* factory_ = nullptr;
};

}  // namespace mirel::host
