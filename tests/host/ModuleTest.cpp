#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/EffectInstance.h"
#include "host/Module.h"
#include "tests/support/TempDir.h"

using mirel::host::Module;
using mirel::host::ModuleClass;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* kArch = "x86_64-win";
constexpr const char* kSuffix = ".vst3";
#else
constexpr const char* kArch = "x86_64-linux";
constexpr const char* kSuffix = ".so";
#endif

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using testsupport::TempDir;

TEST(Module, MissingFileSaysNoSuchFile) {
  std::string error;
  EXPECT_EQ(Module::Load("/nonexistent/Nothing.so", error), nullptr);
  EXPECT_TRUE(Contains(error, "no such file")) << error;
  EXPECT_TRUE(Contains(error, "/nonexistent/Nothing.so")) << error;
  EXPECT_EQ(Module::Load("", error), nullptr);
  EXPECT_TRUE(Contains(error, "no such file")) << error;
}

TEST(Module, BundleFolderResolvesToThePlatformModule) {
  TempDir dir;
  const fs::path bundle = dir.Path() / "Thing.vst3";
  fs::create_directories(bundle);
  const std::string expected = (bundle / "Contents" / kArch / (std::string("Thing") + kSuffix)).string();
  EXPECT_EQ(Module::ResolveModuleFile(bundle.string()), expected);
  EXPECT_EQ(Module::ResolveModuleFile(bundle.string() + "/"),
            (fs::path(bundle.string() + "/") / "Contents" / kArch / (std::string("Thing") + kSuffix)).string());
  // A plain file path is used as it is.
  EXPECT_EQ(Module::ResolveModuleFile("some/file.so"), "some/file.so");

  std::string error;
  EXPECT_EQ(Module::Load(bundle.string(), error), nullptr);
  EXPECT_TRUE(Contains(error, "no such file")) << error;
  EXPECT_TRUE(Contains(error, "Contents")) << error;
}

TEST(Module, FileThatIsNotALibraryIsRefused) {
  TempDir dir;
  const fs::path file = dir.Path() / (std::string("Text") + kSuffix);
  std::ofstream(file) << "not a library";
  std::string error;
  EXPECT_EQ(Module::Load(file.string(), error), nullptr);
  EXPECT_TRUE(Contains(error, "cannot load module")) << error;
}

TEST(Module, FactoryWithoutAudioEffectClass) {
  std::string error;
  auto module = Module::Load(FAKE_FACTORY_MODULE, error);
  ASSERT_NE(module, nullptr) << error;
  const auto classes = module->Classes();
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_EQ(classes[0].category, "Component Controller Class");
  EXPECT_EQ(classes[0].name, "Fake Controller");
  ModuleClass effect;
  EXPECT_FALSE(module->FindAudioEffect(effect));

  auto obj = module->Create<Steinberg::FUnknown>(classes[0].cid, error);
  EXPECT_EQ(obj, nullptr);
  EXPECT_TRUE(Contains(error, "createInstance failed")) << error;
}

TEST(Module, LoadsFromABundleFolder) {
  TempDir dir;
  const fs::path inner = dir.Path() / "Fake.vst3" / "Contents" / kArch;
  fs::create_directories(inner);
  fs::copy_file(FAKE_FACTORY_MODULE, inner / (std::string("Fake") + kSuffix));
  std::string error;
  {
    auto module = Module::Load((dir.Path() / "Fake.vst3").string(), error);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(module->Classes().size(), 1u);
  }  // unloaded before the folder goes
}

// Opening an effect says why each way it fails, from the module's loading
// (a library without the factory function) to the factory's refusal.
TEST(EffectInstance, OpenNamesEachReasonItFails) {
  std::string error;
  EXPECT_EQ(mirel::host::EffectInstance::Open(FAKE_NOFACTORY_MODULE, "test", error), nullptr);
  EXPECT_TRUE(Contains(error, "no GetPluginFactory")) << error;
  EXPECT_EQ(mirel::host::EffectInstance::Open(FAKE_FACTORY_MODULE, "test", error), nullptr);
  EXPECT_TRUE(Contains(error, "no audio effect class")) << error;
  EXPECT_EQ(mirel::host::EffectInstance::Open(FAKE_FAILING_MODULE, "test", error), nullptr);
  EXPECT_TRUE(Contains(error, "createInstance failed")) << error;
  EXPECT_TRUE(Contains(error, "Fake Broken Effect")) << error;
}

}  // namespace
