// DLL entry point. Start-up does registry, GDI and USER work, which is unsafe
// under the loader lock, so it runs at the first call of an export instead
// (EnsureModuleStarted). Shutdown runs here for a FreeLibrary; at process
// exit the process takes everything down itself. Thread notifications stay
// on: a thread's exception state goes when the thread ends.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <typeinfo>

#include "common/Failure.h"

#include "server/ModuleState.h"
#include "server/ThreadRuntime.h"

#if defined(__GLIBCXX__)
// The GNU runtime's default terminate handler writes the exception's
// demangled type name to the standard error before it aborts. A DLL in the
// shell has no console to show that, and the demangler it brings along is
// a fifth of the DLL; this handler only aborts.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The GNU runtime's containers report misuse and exhausted memory through
// these functions. Its own versions build the standard exception classes,
// whose message strings bring a second string implementation and its
// dependencies into the DLL (about 70 KB). These raise std::bad_alloc or the
// extension's own Failure instead; both are caught at every COM boundary.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_domain_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_invalid_argument(const char* what) { throw ombrelo::Failure(what); }
void __throw_length_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_out_of_range(const char* what) { throw ombrelo::Failure(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw ombrelo::Failure(format); }
void __throw_runtime_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_range_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_overflow_error(const char* what) { throw ombrelo::Failure(what); }
void __throw_underflow_error(const char* what) { throw ombrelo::Failure(what); }
}  // namespace std
#endif

namespace {

// Whether this build keeps the DLL mapped until the process ends. libc++abi
// keeps each thread's exception state in fiber-local storage whose cleanup
// callback lies in this DLL; Windows runs it at thread and process exit, also
// after a FreeLibrary, and would then call into unmapped code. Pinned, the
// DLL's shutdown never runs (DllCanUnloadNow still answers whether objects
// are alive).
#if defined(_LIBCPP_VERSION)
constexpr bool kPinModule = true;
#else
constexpr bool kPinModule = false;
#endif

bool PinModule() {
  HMODULE self = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(&PinModule), &self) != FALSE;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (kPinModule && !PinModule()) return FALSE;
      break;
    case DLL_THREAD_DETACH:
      ombrelo::ReleaseThreadRuntime(false);
      break;
    case DLL_PROCESS_DETACH:
      if (reserved == nullptr) {
        try {
          ombrelo::ShutdownModule();
        } catch (...) {
        }
        ombrelo::ReleaseThreadRuntime(true);
      }
      break;
    default:
      break;
  }
  return TRUE;
}
