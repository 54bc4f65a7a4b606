#pragma once
// Reading and writing audio files through libsndfile.

#include <string>
#include <vector>

namespace mirel::render {

struct Audio {
  int sampleRate = 0;
  int channels = 0;
  long long frames = 0;
  std::vector<double> samples;  // interleaved
};

// False and `error` set on failure (the message names the file).
bool ReadAudio(const std::string& path, Audio& out, std::string& error);

enum class SampleFormat { kFloat, kDouble, kPcm16, kPcm24 };

// Writes `audio` to `path`; the container type comes from the extension of
// `typeFrom` (OUTPUT's own name when writing to a temporary file).
bool WriteAudio(const std::string& path, const std::string& typeFrom, const Audio& audio,
                SampleFormat format, std::string& error);

// The container for a file name, or false when the extension is unknown.
bool ContainerFor(const std::string& name, int& container);

}  // namespace mirel::render
