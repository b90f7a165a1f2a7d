#pragma once
// Counts and times the Win32 calls that a loaded module makes itself, by
// pointing the entries of its import table at counting wrappers. Only
// calls the module makes directly are seen, not those inside the system.
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

struct CallCount {
  std::string name;
  std::string group;  // "registry", "settings file", "menu", ...
  long calls = 0;
  double micros = 0;  // time spent inside the calls
};

class CallProfile {
 public:
  explicit CallProfile(HMODULE module);  // installs the wrappers
  ~CallProfile();                        // puts the import table back
  CallProfile(const CallProfile&) = delete;
  CallProfile& operator=(const CallProfile&) = delete;
  void Reset();
  // The functions called since the last Reset, by group and name, divided
  // by the number of cycles profiled.
  std::vector<CallCount> Counts(int cycles = 1) const;
  // Number of import entries that were redirected.
  int hooked() const { return static_cast<int>(patched_.size()); }

 private:
  struct Patch {
    void** slot;
    void* original;
  };
  std::vector<Patch> patched_;
};

// Calls of the named function in counts (0 when it was not called).
long CallsOf(const std::vector<CallCount>& counts, const char* name);

}  // namespace bench
