#include "Observe.h"

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Text.h"
#include "common/Handles.h"

namespace host {

namespace {

using ombrelo::UniqueKernelHandle;

std::string FormatName(UINT format) {
  switch (format) {
    case CF_TEXT: return "CF_TEXT";
    case CF_BITMAP: return "CF_BITMAP";
    case CF_METAFILEPICT: return "CF_METAFILEPICT";
    case CF_OEMTEXT: return "CF_OEMTEXT";
    case CF_DIB: return "CF_DIB";
    case CF_PALETTE: return "CF_PALETTE";
    case CF_UNICODETEXT: return "CF_UNICODETEXT";
    case CF_ENHMETAFILE: return "CF_ENHMETAFILE";
    case CF_HDROP: return "CF_HDROP";
    case CF_LOCALE: return "CF_LOCALE";
    case CF_DIBV5: return "CF_DIBV5";
    default: break;
  }
  wchar_t name[128] = {};
  if (GetClipboardFormatNameW(format, name, ARRAYSIZE(name)) > 0) return Utf8(name);
  return "format " + std::to_string(format);
}

void ReadClipboard(Snapshot& s) {
  s.clipboardSequence = GetClipboardSequenceNumber();
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 20 && !(open = OpenClipboard(nullptr)); ++attempt) Sleep(25);
  if (!open) return;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) s.clipboardFormats.push_back(FormatName(f));
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      SIZE_T chars = GlobalSize(data) / sizeof(wchar_t);
      s.clipboardText = Utf8(std::wstring(text, wcsnlen(text, chars)));
      s.clipboardHasText = true;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
}

void ReadProcesses(Snapshot& s) {
  UniqueKernelHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap || snap.get() == INVALID_HANDLE_VALUE) {
    snap.release();
    return;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snap.get(), &entry); ok; ok = Process32NextW(snap.get(), &entry))
    s.processes[entry.th32ProcessID] = Utf8(entry.szExeFile);
}

std::string ProcessPath(DWORD pid) {
  UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = ARRAYSIZE(path);
  return QueryFullProcessImageNameW(process.get(), 0, path, &size) ? Utf8(path) : std::string();
}

std::string ShowValue(DWORD type, const std::vector<BYTE>& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      std::replace(text.begin(), text.end(), L'\0', L'|');  // separates the strings of a REG_MULTI_SZ
      return Quoted(Utf8(text));
    }
    case REG_DWORD:
      if (data.size() == 4) {
        DWORD v = *reinterpret_cast<const DWORD*>(data.data());
        return std::to_string(v) + " (dword)";
      }
      break;
    case REG_QWORD:
      if (data.size() == 8) return std::to_string(*reinterpret_cast<const unsigned long long*>(data.data())) + " (qword)";
      break;
    default: break;
  }
  std::string out = "type " + std::to_string(type) + ", " + std::to_string(data.size()) + " bytes:";
  for (size_t i = 0; i < data.size() && i < 32; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", data[i]);
    out += hex;
  }
  return data.size() > 32 ? out + " ..." : out;
}

void ReadKey(HKEY key, const std::string& name, std::map<std::string, std::string>& out, int depth) {
  out[name] = "(key)";
  DWORD valueCount = 0, maxName = 0, maxData = 0, subkeys = 0, maxSubkey = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &valueCount, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  for (DWORD i = 0; i < valueCount; ++i) {
    std::wstring valueName(maxName + 2, L'\0');
    std::vector<BYTE> data(maxData + 2);
    DWORD nameLength = static_cast<DWORD>(valueName.size()), size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
      continue;
    valueName.resize(nameLength);
    data.resize(size);
    std::string shown = valueName.empty() ? "(default)" : Quoted(Utf8(valueName));
    out[name + ": " + shown] = ShowValue(type, data);
  }
  if (depth >= 8) return;
  for (DWORD i = 0; i < subkeys; ++i) {
    std::wstring sub(maxSubkey + 2, L'\0');
    DWORD length = static_cast<DWORD>(sub.size());
    if (RegEnumKeyExW(key, i, sub.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    sub.resize(length);
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    ReadKey(child, name + "\\" + Utf8(sub), out, depth + 1);
    RegCloseKey(child);
  }
}

void ReadRegistry(const std::string& keyText, std::map<std::string, std::string>& out) {
  struct Root {
    const char* name;
    HKEY key;
  };
  static const Root roots[] = {{"HKCU", HKEY_CURRENT_USER},        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                               {"HKLM", HKEY_LOCAL_MACHINE},       {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                               {"HKCR", HKEY_CLASSES_ROOT},        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
  size_t slash = keyText.find('\\');
  std::string rootName = keyText.substr(0, slash);
  std::string path = slash == std::string::npos ? std::string() : keyText.substr(slash + 1);
  for (const Root& root : roots) {
    if (_stricmp(root.name, rootName.c_str()) != 0) continue;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root.key, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    ReadKey(key, keyText, out, 0);
    RegCloseKey(key);
    return;
  }
}

bool OwnedByThisProcess(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId();
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, ARRAYSIZE(name));
  return Utf8(name);
}

std::string TextOf(HWND window) {
  wchar_t text[1024] = {};
  // WM_GETTEXT with a time-out: the window belongs to the thread that is busy in the command.
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                      &length);
  text[ARRAYSIZE(text) - 1] = L'\0';
  return Utf8(text);
}

BOOL CALLBACK CollectVisibleChild(HWND child, LPARAM list) {
  if (IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

// Visible top-level windows of this process other than menus.
BOOL CALLBACK CollectDialogWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && OwnedByThisProcess(window) && ClassOf(window) != "#32768")
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::string Describe(HWND window) {
  std::string out = "dialog " + Quoted(TextOf(window)) + " (class " + ClassOf(window) + ")";
  std::vector<HWND> children;
  EnumChildWindows(window, CollectVisibleChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    std::string text = TextOf(child);
    if (!text.empty()) out.append(" ").append(Quoted(text));
  }
  return out;
}

std::vector<HWND> VisibleTopWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectDialogWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace

Snapshot TakeSnapshot(const std::vector<std::string>& watchKeys) {
  Snapshot s;
  ReadClipboard(s);
  ReadProcesses(s);
  for (const std::string& key : watchKeys) ReadRegistry(key, s.registry);
  return s;
}

std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> lines;
  if (after.clipboardSequence != before.clipboardSequence) {
    if (after.clipboardHasText) {
      lines.push_back("clipboard text: " + Quoted(after.clipboardText));
    } else {
      std::string formats;
      for (const std::string& f : after.clipboardFormats) formats += (formats.empty() ? "" : ", ") + f;
      lines.push_back("clipboard changed, no text; formats: " + (formats.empty() ? std::string("none") : formats));
    }
  } else {
    lines.push_back("clipboard unchanged");
  }
  bool anyProcess = false;
  for (const auto& [pid, exe] : after.processes) {
    if (before.processes.count(pid)) continue;
    std::string path = ProcessPath(pid);
    lines.push_back("new process: " + exe + " (id " + std::to_string(pid) + (path.empty() ? "" : ", " + path) + ")");
    anyProcess = true;
  }
  if (!anyProcess) lines.push_back("no new process");
  bool anyValue = false;
  for (const auto& [name, value] : after.registry) {
    auto old = before.registry.find(name);
    if (old == before.registry.end()) {
      lines.push_back("registry: " + name + (value == "(key)" ? " created" : " = " + value + " (new)"));
      anyValue = true;
    } else if (old->second != value) {
      lines.push_back("registry: " + name + ": " + old->second + " -> " + value);
      anyValue = true;
    }
  }
  for (const auto& [name, value] : before.registry) {
    if (after.registry.count(name)) continue;
    lines.push_back("registry: " + name + (value == "(key)" ? " deleted" : " deleted (was " + value + ")"));
    anyValue = true;
  }
  if (!anyValue) lines.push_back("no registry value changed under the watched keys");
  return lines;
}

DialogWatcher::DialogWatcher(DWORD closeAfterMs) : closeAfterMs_(closeAfterMs), known_(VisibleTopWindows()) {
  thread_ = std::thread([this] { Run(); });
}

DialogWatcher::~DialogWatcher() { Stop(); }

std::vector<std::string> DialogWatcher::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return seen_;
}

void DialogWatcher::Run() {
  using Clock = std::chrono::steady_clock;
  struct Shown {
    HWND window;
    Clock::time_point since;
    size_t line;
    int closeAttempts;
  };
  std::vector<Shown> shown;
  while (!stop_) {
    for (HWND window : VisibleTopWindows()) {
      if (std::find(known_.begin(), known_.end(), window) != known_.end()) continue;
      known_.push_back(window);
      seen_.push_back(Describe(window));
      shown.push_back({window, Clock::now(), seen_.size() - 1, 0});
    }
    for (Shown& s : shown) {
      if (!IsWindow(s.window) || !IsWindowVisible(s.window)) continue;
      auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - s.since).count();
      if (waited < static_cast<long long>(closeAfterMs_) + s.closeAttempts * 1000LL) continue;
      // Nobody answers it: decline as a person would, trying the usual answers in turn.
      static const WPARAM answers[] = {IDCANCEL, IDNO, IDOK};
      if (s.closeAttempts < 3) PostMessageW(s.window, WM_COMMAND, answers[s.closeAttempts], 0);
      else PostMessageW(s.window, WM_CLOSE, 0, 0);
      if (s.closeAttempts == 0) seen_[s.line] += ", closed by the host after " + std::to_string(closeAfterMs_) + " ms";
      ++s.closeAttempts;
    }
    Sleep(50);
  }
}

}  // namespace host
