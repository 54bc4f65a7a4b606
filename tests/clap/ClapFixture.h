#pragma once
// The built Mirel.clap, loaded once per test program through its clap_entry
// and kept loaded to the end, as hosts keep the plug-ins they have shown (the
// fonts its editor loaded hold process-wide data for the library's life), and
// a plug-in of it per test, made by this program's host.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/ClapModule.h"
#include "host/ClapPlugin.h"

namespace clap_tests {

inline constexpr const char* kPluginId = "com.qentworks.mirel";

inline const mirel::host::ClapModule& LoadedModule() {
  static const mirel::host::ClapModule* const module = [] {
    std::string error;
    auto m = mirel::host::ClapModule::Load(MIREL_CLAP_MODULE_PATH, error);
    if (!m) ADD_FAILURE() << error;
    return m.release();
  }();
  return *module;
}

class ClapFixture : public ::testing::Test {
 protected:
  // A new plug-in, initialised unless told otherwise.
  std::unique_ptr<mirel::host::ClapPlugin> Make(bool init = true, mirel::host::ClapPlugin::Options options = {}) {
    std::string error;
    auto p = mirel::host::ClapPlugin::Create(LoadedModule(), kPluginId, options, error);
    EXPECT_TRUE(p) << error;
    if (p && init) {
      EXPECT_TRUE(p->Init());
    }
    return p;
  }
};

}  // namespace clap_tests
