#pragma once
// A value that a call makes known to code further down its own thread's
// stack (a window procedure called back during a creation, a check deep in
// the menu code), without thread-local storage.
//
// The toolchain's thread_local is emulated: every load of the DLL takes a
// TLS index that no unload gives back, and a host that loads and unloads the
// extension often runs out of them. Here each scope is a node on its
// creator's stack, linked into one list per kind under a slim lock: nothing
// to set up at load or to free at unload. The list holds one node per
// scope open in the process (a few), so a search is short.
#include <windows.h>

#include <mutex>

#include "common/Lock.h"

namespace ombrelo {

// While it lives, Current() on the thread that made it answers value (the
// innermost scope of that thread when scopes nest); other threads do not
// see it. Tag tells lists of the same value type apart.
template <class T, class Tag = T>
class ThreadScope {
 public:
  explicit ThreadScope(T* value) : value_(value), thread_(GetCurrentThreadId()) {
    std::lock_guard<SrwLock> guard(Lock());
    next_ = Head();
    Head() = this;
  }
  ~ThreadScope() {
    std::lock_guard<SrwLock> guard(Lock());
    for (ThreadScope** link = &Head(); *link; link = &(*link)->next_) {
      if (*link == this) {
        *link = next_;
        break;
      }
    }
  }
  ThreadScope(const ThreadScope&) = delete;
  ThreadScope& operator=(const ThreadScope&) = delete;

  // The value of this thread's innermost scope, or nullptr.
  static T* Current() {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<SrwLock> guard(Lock());
    for (ThreadScope* s = Head(); s; s = s->next_)
      if (s->thread_ == thread) return s->value_;
    return nullptr;
  }

  // Takes this thread's innermost value once: the scope stays, but answers
  // nullptr from then on.
  static T* Take() {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<SrwLock> guard(Lock());
    for (ThreadScope* s = Head(); s; s = s->next_) {
      if (s->thread_ != thread) continue;
      T* value = s->value_;
      s->value_ = nullptr;
      return value;
    }
    return nullptr;
  }

 private:
  static SrwLock& Lock() {
    static SrwLock lock;  // constant-initialised: no guard, nothing at unload
    return lock;
  }
  static ThreadScope*& Head() {
    static ThreadScope* head = nullptr;
    return head;
  }

  T* value_;
  DWORD thread_;
  ThreadScope* next_ = nullptr;
};

}  // namespace ombrelo
