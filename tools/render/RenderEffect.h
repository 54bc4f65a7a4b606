#pragma once

// The plug-in mirel-render renders through, whichever format its module is:
// a VST3 module (a .vst3 bundle or file) or a CLAP module (a .clap file).
// Main thread; Process runs as the host's audio thread would.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/common/ParamResolver.h"
#include "tools/common/ParamSource.h"

namespace mirel::render {

class RenderEffect {
 public:
  virtual ~RenderEffect() = default;
  // Loads the module at `path` (a .clap file is a CLAP module) and makes its
  // plug-in; null and `error` set on failure.
  static std::unique_ptr<RenderEffect> Open(const std::string& path, const std::string& hostName,
                                            std::string& error);

  virtual const tools::ParamSource& Params() const = 0;
  // Sets up processing and activates: 32- or 64-bit samples, at most
  // maxBlock frames, the sidechain input fed when `sidechain`.
  virtual bool Prepare(int precision, int maxBlock, double sampleRate, bool sidechain, std::string& error) = 0;
  virtual bool SetState(const std::vector<std::uint8_t>& blob) = 0;
  virtual bool GetState(std::vector<std::uint8_t>& out) = 0;
  // The settings as a host's controls set them (outside processing), and
  // again with the first block that Process renders.
  virtual void ApplySettings(const std::vector<tools::ParamSetting>& settings) = 0;
  // Whether the plug-in has a sidechain input to feed.
  virtual bool HasSidechain() const = 0;
  // Input 0 is the main input, 1 the sidechain.
  virtual void SetInput(int input, int channel, int frame, double value) = 0;
  virtual double Output(int channel, int frame) const = 0;
  // Renders `frames` frames; false with `error` set when the plug-in fails.
  // `done` is the frames rendered before this block (the transport's place).
  virtual bool Process(int frames, long long done, double sampleRate, std::string& error) = 0;
};

// The two roads Open takes.
std::unique_ptr<RenderEffect> OpenVst3Effect(const std::string& path, const std::string& hostName,
                                             std::string& error);
std::unique_ptr<RenderEffect> OpenClapEffect(const std::string& path, const std::string& hostName,
                                             std::string& error);

}  // namespace mirel::render
