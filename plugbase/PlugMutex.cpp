#include "plugbase/PlugMutex.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= 40, "critical section storage too small");

static CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

PlugMutex::PlugMutex() { InitializeCriticalSection(Section(storage_)); }
PlugMutex::~PlugMutex() { DeleteCriticalSection(Section(storage_)); }
void PlugMutex::Enter() { EnterCriticalSection(Section(storage_)); }
void PlugMutex::Leave() { LeaveCriticalSection(Section(storage_)); }
bool PlugMutex::TryEnter() { return TryEnterCriticalSection(Section(storage_)) != 0; }

#else

PlugMutex::PlugMutex() = default;
PlugMutex::~PlugMutex() = default;
void PlugMutex::Enter() { mutex_.lock(); }
void PlugMutex::Leave() { mutex_.unlock(); }
bool PlugMutex::TryEnter() { return mutex_.try_lock(); }

#endif
