#include "tests/x11/PrivateXServer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace xtest {

PrivateXServer::~PrivateXServer() { Stop(); }

bool PrivateXServer::Start(std::string& error) {
  Stop();
  int fds[2];
  if (pipe(fds) != 0) {
    error = "no pipe";
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    error = "fork failed";
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    unsetenv("LD_PRELOAD");  // a sanitizer's preload is not for the server
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1200x24", "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    error = "Xvfb did not start (is the xvfb package installed?)";
    Stop();
    return false;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
  return true;
}

void PrivateXServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  display_.clear();
}

void KeepModuleLoaded(const char* path) { dlopen(path, RTLD_NOW | RTLD_NODELETE); }

}  // namespace xtest
