// The C++ runtime's per-thread exception state, kept without thread-local
// storage.
//
// The GNU runtime keeps each thread's caught and uncaught exceptions in an
// emulated thread-local variable, whose first use in a load takes a TLS
// index that no unload gives back: a host that loads and unloads the DLL
// often runs out of indexes after about a thousand loads. These two
// functions replace the runtime's own (the linker then leaves its version
// out), and so do the guards of function-local statics and the thread
// library's once and mutex functions below. Each thread
// that throws gets a small block, found by its thread id;
// a thread's block goes when the thread ends, every block when the DLL
// unloads.
#include "server/ThreadRuntime.h"

#include <atomic>  // also tells which C++ runtime this is
#include <mutex>  // with the GNU runtime also the thread library's declarations

#include "common/Lock.h"

#if defined(__GLIBCXX__)

namespace {

// The runtime's layout (__cxa_eh_globals), with room to spare.
struct ExceptionState {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
  void* spare[2];
};

struct ThreadBlock {
  ExceptionState state;
  DWORD thread;
  ThreadBlock* next;
};

ombrelo::SrwLock g_lock;  // constant-initialised: nothing to set up or free
ThreadBlock* g_blocks = nullptr;

ExceptionState* StateOfThisThread() {
  const DWORD thread = GetCurrentThreadId();
  std::lock_guard<ombrelo::SrwLock> guard(g_lock);
  for (ThreadBlock* b = g_blocks; b; b = b->next)
    if (b->thread == thread) return &b->state;
  auto* block = static_cast<ThreadBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadBlock)));
  if (!block) return nullptr;  // the runtime then ends the process, as for any exhausted memory while throwing
  block->thread = thread;
  block->next = g_blocks;
  g_blocks = block;
  return &block->state;
}

// The guards of function-local statics. The runtime's own version waits on
// a mutex of the thread library, which brings that library and its TLS index
// into the DLL. Byte 0 of a guard says "done" (the compiler's inline check
// reads it), byte 1 "being initialised"; a thread that finds another one
// initialising waits until it is done. Initialisations are rare and short.
using Guard = long long;

std::atomic_ref<char> GuardByte(Guard* guard, int index) {
  return std::atomic_ref<char>(reinterpret_cast<char*>(guard)[index]);
}

}  // namespace

// The runtime's emergency exception pool (for throwing when memory runs
// out), allocated when the DLL loads. The runtime frees it only on request:
// unasked, every load and unload leaves about 70 KB of heap behind.
namespace __gnu_cxx {
void __freeres() noexcept;
}  // namespace __gnu_cxx

extern "C" {
void* __cxa_get_globals() noexcept { return StateOfThisThread(); }
void* __cxa_get_globals_fast() noexcept { return StateOfThisThread(); }

int __cxa_guard_acquire(Guard* guard) noexcept {
  for (;;) {
    if (GuardByte(guard, 0).load(std::memory_order_acquire)) return 0;
    char idle = 0;
    if (GuardByte(guard, 1).compare_exchange_strong(idle, 1, std::memory_order_acq_rel)) return 1;
    SwitchToThread();
  }
}

void __cxa_guard_release(Guard* guard) noexcept { GuardByte(guard, 0).store(1, std::memory_order_release); }

void __cxa_guard_abort(Guard* guard) noexcept { GuardByte(guard, 1).store(0, std::memory_order_release); }
}

#if defined(__WINPTHREADS_VERSION_MAJOR)  // the runtime threads through winpthreads
// The thread library's once and mutex functions, which the runtime's DWARF
// unwinder (32-bit build: frame registration at load and unload, the frame
// lookup of every throw) and its exception allocator call. The library's own
// versions look up the calling thread's record, made on first use with a TLS
// index per load and a duplicated handle per thread, neither given back at
// unload. These keep all their state in the caller's word: a mutex is 1
// while held, free at any other value (the library's static initialiser is
// -1), a once word 2 while its function runs and 1 when done. Only plain
// mutexes are needed (the runtime asks for no other kind); waiters yield, as
// for the guards: the runtime holds these for short, rare stretches.
namespace {

std::atomic_ref<intptr_t> MutexWord(pthread_mutex_t* m) { return std::atomic_ref<intptr_t>(*m); }

}  // namespace

extern "C" {
int pthread_mutex_init(pthread_mutex_t* m, const pthread_mutexattr_t*) {
  MutexWord(m).store(0, std::memory_order_release);
  return 0;
}

int pthread_mutex_destroy(pthread_mutex_t*) { return 0; }

int pthread_mutex_lock(pthread_mutex_t* m) {
  auto word = MutexWord(m);
  for (;;) {
    intptr_t seen = word.load(std::memory_order_relaxed);
    if (seen != 1 && word.compare_exchange_weak(seen, 1, std::memory_order_acquire)) return 0;
    SwitchToThread();
  }
}

int pthread_mutex_unlock(pthread_mutex_t* m) {
  MutexWord(m).store(0, std::memory_order_release);
  return 0;
}

int pthread_once(pthread_once_t* once, void (*function)()) {
  std::atomic_ref<pthread_once_t> word(*once);
  for (;;) {
    pthread_once_t seen = word.load(std::memory_order_acquire);
    if (seen == 1) return 0;
    if (seen == 0 && word.compare_exchange_strong(seen, 2, std::memory_order_acquire)) {
      function();
      word.store(1, std::memory_order_release);
      return 0;
    }
    SwitchToThread();
  }
}
}
#endif  // __WINPTHREADS_VERSION_MAJOR

namespace ombrelo {

void ReleaseThreadRuntime(bool allThreads) {
  const DWORD thread = GetCurrentThreadId();
  std::lock_guard<SrwLock> guard(g_lock);
  for (ThreadBlock** link = &g_blocks; *link;) {
    ThreadBlock* b = *link;
    if (allThreads || b->thread == thread) {
      *link = b->next;
      HeapFree(GetProcessHeap(), 0, b);
    } else {
      link = &b->next;
    }
  }
  // At unload nothing of the DLL runs any more that could throw.
  if (allThreads) __gnu_cxx::__freeres();
}

}  // namespace ombrelo

#else

namespace ombrelo {
void ReleaseThreadRuntime(bool) {}
}  // namespace ombrelo

#endif
