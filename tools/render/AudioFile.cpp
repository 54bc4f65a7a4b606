#include "AudioFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace mirel::render {

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

std::string ContainerHint() { return "use .wav, .aiff, .flac, .caf, .w64 or .rf64"; }

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool AudioReader::Open(const std::string& path, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    error = "cannot read '" + path + "': no such file";
    return false;
  }
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read '" + path + "': it is a folder";
    return false;
  }
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (file_ == nullptr) {
    error = "cannot read '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  return true;
}

long long AudioReader::Read(double* interleaved, long long frames) {
  if (file_ == nullptr || frames <= 0) return 0;
  return static_cast<long long>(sf_readf_double(file_, interleaved, static_cast<sf_count_t>(frames)));
}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) sf_close(file_);
}

bool AudioWriter::Open(const std::string& path, const std::string& shownName, int sampleRate,
                       int channels, SampleFormat format, std::string& error) {
  shownName_ = shownName;
  int container = 0;
  if (!ContainerFor(shownName, container)) {
    error = "cannot tell the file type of '" + shownName + "' from its extension (" +
            ContainerHint() + ")";
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
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = container | subtype;
  if (!sf_format_check(&info)) {
    error = "'" + shownName + "' cannot hold that sample format (FLAC takes only pcm16 or pcm24)";
    return false;
  }
  file_ = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    error = "cannot write '" + shownName + "': " + sf_strerror(nullptr);
    return false;
  }
  // Integer formats clip instead of wrapping around.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool AudioWriter::Write(const double* interleaved, long long frames, std::string& error) {
  if (frames <= 0) return true;
  if (sf_writef_double(file_, interleaved, static_cast<sf_count_t>(frames)) != frames) {
    error = "cannot write '" + shownName_ + "': " + sf_strerror(file_);
    return false;
  }
  return true;
}

bool AudioWriter::Close(std::string& error) {
  const int r = sf_close(file_);
  file_ = nullptr;
  if (r != 0) {
    error = "cannot write '" + shownName_ + "': " + sf_error_number(r);
    return false;
  }
  return true;
}

}  // namespace mirel::render
