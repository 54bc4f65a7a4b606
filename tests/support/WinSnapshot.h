#pragma once
// mirel-snapshot's picture as the Windows tests get it: the tool run as a
// Windows program (under Wine, this machine's paths through drive Z:) and
// its PNG read back.

#include <windows.h>

#include <string>

#include "host/EditorImage.h"

namespace testsupport {

// A path of this machine's file system as a Windows program names it (Wine
// maps the root to drive Z:).
inline std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Runs the snapshot tool `exe` at the default settings at `scale` ("1",
// "1.5") into the PNG file `file` and reads it into out; false on failure.
inline bool WinSnapshot(const std::string& exe, const std::string& scale, const std::string& file,
                        mirel::host::EditorImage& out) {
  std::string command = "\"" + WindowsPath(exe) + "\" " + (scale == "1" ? "" : "--scale " + scale + " ") + "\"" +
                        WindowsPath(file) + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::string error;
  return code == 0 && mirel::host::ReadPng(file, out, error);
}

}  // namespace testsupport
