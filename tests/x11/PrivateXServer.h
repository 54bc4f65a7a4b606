#pragma once
// A private Xvfb for tests that need an X server: started on a free display
// number (the server picks it), DISPLAY pointed at it for this process, and
// stopped again. Tests then run the same with or without a desktop session.

#include <string>

namespace xtest {

class PrivateXServer {
 public:
  PrivateXServer() = default;
  ~PrivateXServer();  // Stop()
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  // Starts Xvfb (24-bit screen) and sets DISPLAY. False and `error` set
  // when it cannot be started within a few seconds.
  bool Start(std::string& error);
  void Stop();
  const std::string& Display() const { return display_; }

 private:
  int pid_ = -1;
  std::string display_;
};

// Keeps a module file loaded for the rest of the process, as hosts keep the
// plug-ins they have shown. Fontconfig, which the module's text drawing
// loads, holds process-wide data for its library's life; unloaded with the
// module, that data would read as leaks to LeakSanitizer.
void KeepModuleLoaded(const char* path);

}  // namespace xtest
