#pragma once
// The part of a CLAP editor host driver that is the same on every platform:
// the fixture owns the plug-in under test and drops it before the host's
// window goes. A platform's fixture adds its window system.

#include <memory>

#include "tests/clap/ClapFixture.h"
#include "tests/support/ClapEditorHostDriver.h"

namespace clap_tests {

class ClapEditorFixture : public ClapFixture, public testsupport::ClapEditorHostDriver {
 public:
  void TearDown() override {
    DropPlugin();
    CloseHostWindow();
  }
  mirel::host::ClapPlugin& Plugin() override {
    if (!plugin_) plugin_ = Make();
    return *plugin_;
  }
  void DropPlugin() override { plugin_.reset(); }
  std::unique_ptr<mirel::host::ClapPlugin> Another() override { return Make(); }

 protected:
  std::unique_ptr<mirel::host::ClapPlugin> plugin_;
};

}  // namespace clap_tests
