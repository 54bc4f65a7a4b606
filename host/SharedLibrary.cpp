#include "host/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace mirel::host {

#ifdef _WIN32
namespace {

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char buf[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 code, 0, buf, sizeof buf, nullptr);
  std::string text(buf, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return "error " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

}  // namespace

void* OpenLibrary(const std::string& file, std::string& why) {
  HMODULE h = LoadLibraryW(Widen(file).c_str());
  if (h == nullptr) why = LastErrorText();
  return reinterpret_cast<void*>(h);
}

void* LibrarySymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* OpenLibrary(const std::string& file, std::string& why) {
  void* h = dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (h == nullptr) {
    const char* e = dlerror();
    why = e != nullptr ? e : "dlopen failed";
  }
  return h;
}

void* LibrarySymbol(void* handle, const char* name) { return dlsym(handle, name); }

void CloseLibrary(void* handle) { dlclose(handle); }
#endif

}  // namespace mirel::host
