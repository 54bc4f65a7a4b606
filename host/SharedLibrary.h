#pragma once
// Opening a shared library (a module file) and finding its symbols: dlopen
// on Linux, LoadLibrary on Windows. Main thread only.

#include <string>

namespace mirel::host {

// The library's handle, or null with `why` set to the system's reason.
void* OpenLibrary(const std::string& file, std::string& why);
void* LibrarySymbol(void* handle, const char* name);
void CloseLibrary(void* handle);

}  // namespace mirel::host
