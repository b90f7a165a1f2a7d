#pragma once
// A short exclusive lock over the platform's slim reader/writer lock. It
// needs no set-up or clean-up, so a DLL that is loaded and unloaded many
// times leaves nothing behind (the thread library's mutex does).
#include <windows.h>

namespace ombrelo {

class SrwLock {
 public:
  SrwLock() = default;
  SrwLock(const SrwLock&) = delete;
  SrwLock& operator=(const SrwLock&) = delete;
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace ombrelo
