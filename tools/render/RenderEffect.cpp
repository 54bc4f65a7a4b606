#include "tools/render/RenderEffect.h"

#include "host/ClapModule.h"

namespace mirel::render {

std::unique_ptr<RenderEffect> RenderEffect::Open(const std::string& path, const std::string& hostName,
                                                 std::string& error) {
  return host::ClapModule::IsClapPath(path) ? OpenClapEffect(path, hostName, error)
                                            : OpenVst3Effect(path, hostName, error);
}

}  // namespace mirel::render
