#include "network/NetworkSupport.h"

#include <shellapi.h>
#include <winioctl.h>

#include <cstring>

#include "support/ImportSlots.h"
#include <mutex>

namespace networktest {

namespace {

// Wine's mount manager request (include/ddk/mountmgr.h of Wine, a Wine
// extension): defines a drive letter as a folder of the host, or removes it
// with type DRIVE_NO_ROOT_DIR. The layout is the same for 32 and 64 bits.
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct UnixDrive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};

bool DefineDrive(char letter, UINT type, const std::string& unixFolder) {
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> request(sizeof(UnixDrive) + unixFolder.size() + 1, '\0');
  UnixDrive drive{};
  drive.size = static_cast<ULONG>(request.size());
  drive.type = type;
  drive.letter = static_cast<WCHAR>(letter - 'A' + 'a');
  if (type != DRIVE_NO_ROOT_DIR) {
    drive.mount_point_offset = sizeof(UnixDrive);
    memcpy(request.data() + sizeof(UnixDrive), unixFolder.c_str(), unixFolder.size() + 1);
  }
  memcpy(request.data(), &drive, sizeof(drive));
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                  nullptr, 0, &returned, nullptr);
  CloseHandle(manager);
  return ok != FALSE;
}

std::string UnixPathOf(const std::string& folder) {
  using UnixFileName = char*(__cdecl*)(const wchar_t*);
  auto unixFileName = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixFileName) return {};
  std::wstring wide(folder.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  char* name = unixFileName(wide.c_str());
  if (!name) return {};
  std::string path = name;
  HeapFree(GetProcessHeap(), 0, name);
  return path;
}

// Whether HKLM\Software\Wine\Drives names the letter (the mount manager's view, 64-bit).
bool HasDrivesValue(char letter) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine\\Drives", 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return false;
  const char name[] = {static_cast<char>(letter - 'A' + 'a'), ':', '\0'};
  const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

}  // namespace

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

WineDrive::WineDrive(const std::string& folder, UINT type) {
  if (!UnderWine()) return;
  const std::string unixFolder = UnixPathOf(folder);
  if (unixFolder.empty()) return;
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Y'; letter >= 'M'; --letter) {
    if (drives & (1u << (letter - 'A')) || HasDrivesValue(letter)) continue;
    if (DefineDrive(letter, type, unixFolder)) letter_ = letter;
    return;
  }
}

WineDrive::~WineDrive() {
  if (letter_) DefineDrive(letter_, DRIVE_NO_ROOT_DIR, {});
}

std::string WineDrive::Path(const std::string& name) const { return std::string(1, letter_) + ":\\" + name; }

namespace {

std::mutex g_lock;
std::vector<PathCall> g_calls;

std::wstring Wide(const char* text) {
  if (!text) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  if (!wide.empty()) wide.pop_back();
  return wide;
}

void Note(const char* function, std::wstring path, UINT flags = 0) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_calls.push_back({function, std::move(path), flags});
}

decltype(&::CreateFileA) g_createFileA;
decltype(&::CreateFileW) g_createFileW;
decltype(&::GetFileAttributesA) g_getFileAttributesA;
decltype(&::GetFileAttributesW) g_getFileAttributesW;
decltype(&::GetPrivateProfileSectionA) g_getPrivateProfileSectionA;
decltype(&::GetPrivateProfileStringA) g_getPrivateProfileStringA;
decltype(&::GetPrivateProfileSectionW) g_getPrivateProfileSectionW;
decltype(&::GetPrivateProfileStringW) g_getPrivateProfileStringW;
decltype(&::GetShortPathNameW) g_getShortPathNameW;
decltype(&::SHGetFileInfoA) g_shGetFileInfoA;
decltype(&::SHGetFileInfoW) g_shGetFileInfoW;

HANDLE WINAPI RecordCreateFileA(LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t) {
  Note("CreateFileA", Wide(p));
  return g_createFileA(p, a, s, sa, c, f, t);
}
HANDLE WINAPI RecordCreateFileW(LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f,
                                HANDLE t) {
  Note("CreateFileW", p ? p : L"");
  return g_createFileW(p, a, s, sa, c, f, t);
}
DWORD WINAPI RecordGetFileAttributesA(LPCSTR p) {
  Note("GetFileAttributesA", Wide(p));
  return g_getFileAttributesA(p);
}
DWORD WINAPI RecordGetFileAttributesW(LPCWSTR p) {
  Note("GetFileAttributesW", p ? p : L"");
  return g_getFileAttributesW(p);
}
DWORD WINAPI RecordGetPrivateProfileSectionA(LPCSTR section, LPSTR out, DWORD size, LPCSTR file) {
  Note("GetPrivateProfileSectionA", Wide(file));
  return g_getPrivateProfileSectionA(section, out, size, file);
}
DWORD WINAPI RecordGetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR out, DWORD size,
                                            LPCSTR file) {
  Note("GetPrivateProfileStringA", Wide(file));
  return g_getPrivateProfileStringA(section, key, def, out, size, file);
}
DWORD WINAPI RecordGetPrivateProfileSectionW(LPCWSTR section, LPWSTR out, DWORD size, LPCWSTR file) {
  Note("GetPrivateProfileSectionW", file ? file : L"");
  return g_getPrivateProfileSectionW(section, out, size, file);
}
DWORD WINAPI RecordGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out, DWORD size,
                                            LPCWSTR file) {
  Note("GetPrivateProfileStringW", file ? file : L"");
  return g_getPrivateProfileStringW(section, key, def, out, size, file);
}
DWORD WINAPI RecordGetShortPathNameW(LPCWSTR p, LPWSTR out, DWORD size) {
  Note("GetShortPathNameW", p ? p : L"");
  return g_getShortPathNameW(p, out, size);
}
DWORD_PTR WINAPI RecordSHGetFileInfoA(LPCSTR p, DWORD attributes, SHFILEINFOA* info, UINT size, UINT flags) {
  Note("SHGetFileInfoA", Wide(p), flags);
  return g_shGetFileInfoA(p, attributes, info, size, flags);
}
DWORD_PTR WINAPI RecordSHGetFileInfoW(LPCWSTR p, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  Note("SHGetFileInfoW", p ? p : L"", flags);
  return g_shGetFileInfoW(p, attributes, info, size, flags);
}

struct Hook {
  const char* name;
  void* recorder;
  void** original;
};
#define NETWORKTEST_HOOK(name, store) \
  {#name, reinterpret_cast<void*>(&Record##name), reinterpret_cast<void**>(&store)}
const Hook kHooks[] = {
    NETWORKTEST_HOOK(CreateFileA, g_createFileA),
    NETWORKTEST_HOOK(CreateFileW, g_createFileW),
    NETWORKTEST_HOOK(GetFileAttributesA, g_getFileAttributesA),
    NETWORKTEST_HOOK(GetFileAttributesW, g_getFileAttributesW),
    NETWORKTEST_HOOK(GetPrivateProfileSectionA, g_getPrivateProfileSectionA),
    NETWORKTEST_HOOK(GetPrivateProfileStringA, g_getPrivateProfileStringA),
    NETWORKTEST_HOOK(GetPrivateProfileSectionW, g_getPrivateProfileSectionW),
    NETWORKTEST_HOOK(GetPrivateProfileStringW, g_getPrivateProfileStringW),
    NETWORKTEST_HOOK(GetShortPathNameW, g_getShortPathNameW),
    NETWORKTEST_HOOK(SHGetFileInfoA, g_shGetFileInfoA),
    NETWORKTEST_HOOK(SHGetFileInfoW, g_shGetFileInfoW),
};
#undef NETWORKTEST_HOOK

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

PathCalls::PathCalls(HMODULE module) {
  Clear();
  if (!module) return;
  for (const Hook& hook : kHooks) {
    void** slot = testsupport::FindImportSlot(module, hook.name);
    if (!slot) continue;
    *hook.original = *slot;
    patched_.push_back({slot, *slot});
    testsupport::WriteImportSlot(slot, hook.recorder);
  }
}

PathCalls::~PathCalls() {
  for (const Patch& p : patched_) testsupport::WriteImportSlot(p.slot, p.original);
}

std::vector<PathCall> PathCalls::Calls() const {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_calls;
}

std::vector<PathCall> PathCalls::CallsOf(const char* function) const {
  std::vector<PathCall> found;
  for (const PathCall& call : Calls())
    if (call.function == function) found.push_back(call);
  return found;
}

std::vector<PathCall> PathCalls::CallsUnder(const std::string& prefix) const {
  std::vector<PathCall> found;
  for (const PathCall& call : Calls())
    if (StartsWithNoCase(call.path, Wide(prefix.c_str()))) found.push_back(call);
  return found;
}

void PathCalls::Clear() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_calls.clear();
}

}  // namespace networktest
