#pragma once
// Streaming audio file input and output through libsndfile.

#include <sndfile.h>

#include <string>
#include <vector>

namespace mirel::render {

enum class SampleFormat { kFloat, kDouble, kPcm16, kPcm24 };

// The container for a file name from its extension; false when unknown.
bool ContainerFor(const std::string& name, int& container);
std::string ContainerHint();

class AudioReader {
 public:
  AudioReader() = default;
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // False and `error` set (naming the file) when it cannot be read.
  bool Open(const std::string& path, std::string& error);
  // Reads up to `frames` interleaved frames; answers how many were read.
  long long Read(double* interleaved, long long frames);

  int SampleRate() const { return info_.samplerate; }
  int Channels() const { return info_.channels; }
  long long Frames() const { return static_cast<long long>(info_.frames); }

 private:
  SNDFILE* file_ = nullptr;
  SF_INFO info_{};
  // Read ahead in large chunks: small blocks would otherwise cost a system
  // call each.
  std::vector<double> chunk_;
  size_t chunkFrames_ = 0;
  size_t chunkPos_ = 0;
};

class AudioWriter {
 public:
  AudioWriter() = default;
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  // Writes to `path`; the container comes from the extension of `shownName`
  // (the final file name when `path` is a temporary one), which also names
  // the file in messages.
  bool Open(const std::string& path, const std::string& shownName, int sampleRate, int channels,
            SampleFormat format, std::string& error);
  bool Write(const double* interleaved, long long frames, std::string& error);
  bool Close(std::string& error);

 private:
  bool Flush(std::string& error);

  SNDFILE* file_ = nullptr;
  std::string shownName_;
  int channels_ = 0;
  std::vector<double> pending_;  // frames gathered for one large write
};

}  // namespace mirel::render
