#include "tools/render/AudioFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace mirel::render {

namespace {
constexpr size_t kChunkFrames = 16384;
}  // namespace

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
  const auto ch = static_cast<size_t>(info_.channels);
  long long got = 0;
  while (got < frames) {
    if (chunkPos_ == chunkFrames_) {
      chunk_.resize(kChunkFrames * ch);
      const sf_count_t n = sf_readf_double(file_, chunk_.data(), static_cast<sf_count_t>(kChunkFrames));
      chunkFrames_ = n > 0 ? static_cast<size_t>(n) : 0;
      chunkPos_ = 0;
      if (chunkFrames_ == 0) break;
    }
    const size_t take = std::min(chunkFrames_ - chunkPos_, static_cast<size_t>(frames - got));
    std::copy_n(chunk_.data() + chunkPos_ * ch, take * ch, interleaved + static_cast<size_t>(got) * ch);
    chunkPos_ += take;
    got += static_cast<long long>(take);
  }
  return got;
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
  channels_ = channels;
  pending_.reserve(kChunkFrames * static_cast<size_t>(channels));
  return true;
}

bool AudioWriter::Write(const double* interleaved, long long frames, std::string& error) {
  if (frames <= 0) return true;
  pending_.insert(pending_.end(), interleaved, interleaved + frames * channels_);
  if (pending_.size() >= kChunkFrames * static_cast<size_t>(channels_)) return Flush(error);
  return true;
}

bool AudioWriter::Flush(std::string& error) {
  const auto frames = static_cast<sf_count_t>(pending_.size() / static_cast<size_t>(channels_));
  if (frames > 0 && sf_writef_double(file_, pending_.data(), frames) != frames) {
    error = "cannot write '" + shownName_ + "': " + sf_strerror(file_);
    return false;
  }
  pending_.clear();
  return true;
}

bool AudioWriter::Close(std::string& error) {
  if (file_ == nullptr) return true;
  if (!Flush(error)) return false;
  const int r = sf_close(file_);
  file_ = nullptr;
  if (r != 0) {
    error = "cannot write '" + shownName_ + "': " + sf_error_number(r);
    return false;
  }
  return true;
}

}  // namespace mirel::render
