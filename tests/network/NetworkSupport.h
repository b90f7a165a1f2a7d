#pragma once
// A drive letter that Wine reports as a network drive, and a record of the
// paths a module hands to the system's file and icon functions.
#include <windows.h>

#include <string>
#include <vector>

namespace networktest {

// A free drive letter mapped to a folder, of the given type (DRIVE_REMOTE: a
// network drive), removed again at destruction.
//
// Wine keeps drive types in HKLM\Software\Wine\Drives ("x:" = "network"),
// but its mount manager reads that key only when it starts (with the
// wineserver); a value written later, or a dosdevices link made beside it,
// leaves the drive a fixed one until the wineserver restarts. The mount
// manager's own request (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, which winecfg
// sends) defines the drive at once: it writes the type to that key and
// makes the dosdevices link, and undefining the letter removes both. Only
// a letter without a drive and without a value in that key is taken, so
// that removing it puts back exactly what was there.
class WineDrive {
 public:
  WineDrive(const std::string& folder, UINT type);
  ~WineDrive();
  WineDrive(const WineDrive&) = delete;
  WineDrive& operator=(const WineDrive&) = delete;
  bool ok() const { return letter_ != 0; }
  // "X:\name"
  std::string Path(const std::string& name) const;
  char letter() const { return letter_; }

 private:
  char letter_ = 0;
};

// Whether the program runs under Wine (its ntdll exports wine_get_version).
bool UnderWine();

// One call of a file or icon function: its name, the path it was given and
// its flags (SHGetFileInfo's uFlags; 0 for the others).
struct PathCall {
  std::string function;
  std::wstring path;
  UINT flags = 0;
};

// While it lives, the module's imports of the functions that take a path
// (CreateFile, GetFileAttributes, the profile reads, GetShortPathName,
// SHGetFileInfo) go through recorders that note each path and call on.
// One at a time.
class PathCalls {
 public:
  explicit PathCalls(HMODULE module);
  ~PathCalls();
  PathCalls(const PathCalls&) = delete;
  PathCalls& operator=(const PathCalls&) = delete;
  std::vector<PathCall> Calls() const;
  std::vector<PathCall> CallsOf(const char* function) const;
  // The calls whose path begins with prefix (without regard to case).
  std::vector<PathCall> CallsUnder(const std::string& prefix) const;
  void Clear();

 private:
  struct Patch {
    void** slot;
    void* original;
  };
  std::vector<Patch> patched_;
};

}  // namespace networktest
