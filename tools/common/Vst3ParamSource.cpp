#include "tools/common/Vst3ParamSource.h"

#include "host/HostStrings.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace mirel::tools {

std::vector<host::HostParameter> Vst3ParamSource::List() const { return host::ListParameters(controller_); }

std::string Vst3ParamSource::Text(ParamID id, double normalized) const {
  String128 text{};
  if (controller_->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return host::ToUtf8(text);
}

double Vst3ParamSource::ToPlain(ParamID id, double normalized) const {
  return controller_->normalizedParamToPlain(id, normalized);
}

double Vst3ParamSource::ToNormalized(ParamID id, double plain) const {
  return controller_->plainParamToNormalized(id, plain);
}

bool Vst3ParamSource::FromText(ParamID id, const std::string& text, double& normalized) const {
  const std::u16string wide = host::ToU16(text);
  std::vector<TChar> chars(wide.begin(), wide.end());
  chars.push_back(0);
  return !wide.empty() && controller_->getParamValueByString(id, chars.data(), normalized) == kResultOk;
}

double Vst3ParamSource::Current(ParamID id) const { return controller_->getParamNormalized(id); }

}  // namespace mirel::tools
