#pragma once

// The plug-in's one lock: re-entrant, so a thread that holds it may take it
// again (state restore calls ParamChanged, which takes it once more).
// A critical section on Windows, a recursive mutex elsewhere. Uncontended
// entry and exit make no system call, so the audio thread may take it.

#include <cstddef>

#if !defined(_WIN32)
#include <mutex>
#endif

class PlugMutex {
 public:
  PlugMutex();
  ~PlugMutex();
  PlugMutex(const PlugMutex&) = delete;
  PlugMutex& operator=(const PlugMutex&) = delete;

  void Enter();
  void Leave();
  // Takes the lock only if no other thread holds it.
  bool TryEnter();

  // Lockable, so std::lock_guard and std::unique_lock work with it.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
#if defined(_WIN32)
  // Storage for a CRITICAL_SECTION; <windows.h> stays out of this header.
  alignas(void*) unsigned char storage_[40];
#else
  std::recursive_mutex mutex_;
#endif
};

// Holds a PlugMutex for one scope.
class PlugLock {
 public:
  explicit PlugLock(PlugMutex& m) : m_(m) { m_.Enter(); }
  ~PlugLock() { m_.Leave(); }
  PlugLock(const PlugLock&) = delete;
  PlugLock& operator=(const PlugLock&) = delete;

 private:
  PlugMutex& m_;
};
