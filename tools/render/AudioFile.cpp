#include "AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace mirel::render {

bool ReadAudio(const std::string& path, Audio& out, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    error = "cannot read '" + path + "': no such file";
    return false;
  }
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) {
    error = "cannot read '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  out.sampleRate = info.samplerate;
  out.channels = info.channels;
  out.frames = info.frames;
  out.samples.assign(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels), 0.0);
  const sf_count_t got = sf_readf_double(f, out.samples.data(), info.frames);
  sf_close(f);
  if (got != info.frames) {
    error = "cannot read '" + path + "': it ended after " + std::to_string(got) + " of " +
            std::to_string(info.frames) + " frames";
    return false;
  }
  return true;
}

bool ContainerFor(const std::string& name, int& container) {
  std::string ext = std::filesystem::path(name).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".wav" || ext == ".wave") {
    container = SF_FORMAT_WAV;
  } else if (ext == ".aif" || ext == ".aiff") {
    container = SF_FORMAT_AIFF;
  } else if (ext == ".flac") {
    container = SF_FORMAT_FLAC;
  } else if (ext == ".caf") {
    container = SF_FORMAT_CAF;
  } else if (ext == ".w64") {
    container = SF_FORMAT_W64;
  } else if (ext == ".rf64") {
    container = SF_FORMAT_RF64;
  } else {
    return false;
  }
  return true;
}

bool WriteAudio(const std::string& path, const std::string& typeFrom, const Audio& audio,
                SampleFormat format, std::string& error) {
  int container = 0;
  if (!ContainerFor(typeFrom, container)) {
    error = "cannot tell the file type of '" + typeFrom +
            "' from its extension (use .wav, .aiff, .flac, .caf, .w64 or .rf64)";
    return false;
  }
  int subtype = SF_FORMAT_FLOAT;
  switch (format) {
    case SampleFormat::kFloat: subtype = SF_FORMAT_FLOAT; break;
    case SampleFormat::kDouble: subtype = SF_FORMAT_DOUBLE; break;
    case SampleFormat::kPcm16: subtype = SF_FORMAT_PCM_16; break;
    case SampleFormat::kPcm24: subtype = SF_FORMAT_PCM_24; break;
  }
  SF_INFO info{};
  info.samplerate = audio.sampleRate;
  info.channels = audio.channels;
  info.format = container | subtype;
  if (!sf_format_check(&info)) {
    error = "'" + typeFrom + "' cannot hold that sample format";
    return false;
  }
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) {
    error = "cannot write '" + typeFrom + "': " + sf_strerror(nullptr);
    return false;
  }
  // Integer formats clip instead of wrapping around.
  sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const sf_count_t put = sf_writef_double(f, audio.samples.data(), audio.frames);
  const int closeResult = sf_close(f);
  if (put != audio.frames || closeResult != 0) {
    error = "cannot write '" + typeFrom + "': writing failed (disk full?)";
    return false;
  }
  return true;
}

}  // namespace mirel::render
