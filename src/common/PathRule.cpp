#include "common/PathRule.h"

#include <winioctl.h>

#include <string_view>

#include "common/Handles.h"

namespace ombrelo {

namespace {

// The scope of the menu each thread is building, if any, in a slot of the
// system's thread-local storage. Not thread_local: clang reaches that
// through the register that holds the thread's environment block, which
// Wine's arm64 build (Unix libraries) does not keep for Windows code; GCC's
// thread_local goes through such a slot anyway.
class MenuSlot {
 public:
  MenuSlot() : index_(TlsAlloc()) {}
  ~MenuSlot() {
    if (index_ != TLS_OUT_OF_INDEXES) TlsFree(index_);
  }
  MenuSlot(const MenuSlot&) = delete;
  MenuSlot& operator=(const MenuSlot&) = delete;
  DrivesOfOneMenu* Get() const {
    return index_ == TLS_OUT_OF_INDEXES ? nullptr : static_cast<DrivesOfOneMenu*>(TlsGetValue(index_));
  }
  void Set(DrivesOfOneMenu* menu) const {
    if (index_ != TLS_OUT_OF_INDEXES) TlsSetValue(index_, menu);
  }

 private:
  DWORD index_;
};

// Made when the DLL is loaded, freed when it is unloaded.
const MenuSlot g_menu;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:" and what follows.
bool IsDrivePath(std::wstring_view path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == L':'; }

// The full path, as the system resolves a relative one from the current
// directory; a computation on the text that touches no file. Empty when the
// system cannot resolve it.
std::wstring FullPathOf(const wchar_t* path) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.assign(n + 1, L'\0');  // n is the size needed, its NUL included
  }
  return {};
}

// Whether the removable or CD drive has its medium. Asked of the device
// (IOCTL_STORAGE_CHECK_VERIFY2 through a handle without data access, which
// opens without a medium and does not read it); a device that cannot answer
// that is asked for its volume, which fails at once without a medium.
// Neither shows the "no disk" box.
bool HasMedium(wchar_t letter) {
  NoCriticalErrorBoxes quiet;
  wchar_t device[] = L"\\\\.\\?:";
  device[4] = letter;
  UniqueFile drive(CreateFileW(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (drive) {
    DWORD unused = 0;
    if (DeviceIoControl(drive.get(), IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr, 0, &unused, nullptr))
      return true;
    const DWORD error = GetLastError();
    if (error == ERROR_MEDIA_CHANGED) return true;  // a new medium is in the drive
    if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED) return false;
  }
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  return GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
}

// Whether paths on the drive may be touched: a local drive that is ready.
bool AskDrive(wchar_t letter) {
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  switch (GetDriveTypeW(root)) {
    case DRIVE_FIXED:
    case DRIVE_RAMDISK:
      return true;
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
      return HasMedium(letter);
    default:  // DRIVE_REMOTE, DRIVE_NO_ROOT_DIR, DRIVE_UNKNOWN
      return false;
  }
}

// AskDrive, once per drive for the menu being built.
bool DriveMayBeTouched(wchar_t letter) {
  DrivesOfOneMenu* menu = g_menu.Get();
  if (!menu) return AskDrive(letter);
  signed char& verdict = menu->Verdict((letter | 0x20) - L'a');
  if (verdict < 0) verdict = AskDrive(letter) ? 1 : 0;
  return verdict == 1;
}

}  // namespace

bool PathMayBeTouched(const wchar_t* path) {
  if (!path || !*path) return false;
  const std::wstring full = FullPathOf(path);  // also turns "/" into "\"
  std::wstring_view rest = full;
  if (StartsWith(rest, L"\\\\?\\") || StartsWith(rest, L"\\\\.\\")) {
    // The Win32 namespaces: only a drive letter is judged further;
    // "\\?\UNC\..." is a share, the rest devices and volumes.
    rest.remove_prefix(4);
  } else if (StartsWith(rest, L"\\\\")) {
    return false;  // \\server\share
  }
  return IsDrivePath(rest) && DriveMayBeTouched(rest[0]);
}

DrivesOfOneMenu::DrivesOfOneMenu() : outer_(g_menu.Get()) {
  for (signed char& verdict : verdicts_) verdict = -1;
  g_menu.Set(this);
}

DrivesOfOneMenu::~DrivesOfOneMenu() { g_menu.Set(outer_); }

NoCriticalErrorBoxes::NoCriticalErrorBoxes() {
  previous_ = GetThreadErrorMode();
  changed_ = SetThreadErrorMode(previous_ | SEM_FAILCRITICALERRORS, nullptr) != FALSE;
}

NoCriticalErrorBoxes::~NoCriticalErrorBoxes() {
  if (changed_) SetThreadErrorMode(previous_, nullptr);
}

}  // namespace ombrelo
