#pragma once

// Files in and out without ever destroying an existing file: output goes to a
// temporary name beside its target and is moved into place only on success.

#include <cstdint>
#include <string>
#include <vector>

namespace mirel::render {

// The whole file; throws Failure naming what it is.
std::vector<std::uint8_t> ReadBytes(const std::string& path, const std::string& what);

// A file written under a temporary name beside its target and moved into
// place only by Commit, so a failed run never destroys an existing file.
class PendingFile {
 public:
  explicit PendingFile(std::string target);
  // Removes the temporary file unless committed.
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  const std::string& Temp() const { return temp_; }
  const std::string& Target() const { return target_; }
  // Moves the temporary file onto the target. Throws Failure.
  void Commit();

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

// Writes data to the pending file's temporary name. Throws Failure.
void WriteBytes(PendingFile& file, const std::vector<std::uint8_t>& data);

}  // namespace mirel::render
