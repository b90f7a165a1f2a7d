#pragma once
// Drives the real DLL as the shell does: a handler object from the class
// factory, Initialize with a CF_HDROP selection, QueryContextMenu, then help
// texts and commands by offset. The DLL is loaded for each Handler, so the
// language and the settings file are read afresh.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace commandtest {

// The settings file with the given open-with entries: programs[i] as "Cmd" + i,
// "Program i" as "Desc" + i; params[i] as "Params" + i when given and not
// kDefaultTemplate (no key: the default template applies).
inline constexpr char kDefaultTemplate[] = "<default>";
void WriteOpenWithEntries(const std::vector<std::string>& programs, const std::vector<std::string>& params = {});
void RemoveSettingsFile();

class Handler {
 public:
  // language: the "Language" setting the DLL starts with (0 German, 1 English).
  explicit Handler(DWORD language = 1);
  ~Handler();
  Handler(const Handler&) = delete;
  Handler& operator=(const Handler&) = delete;

  HRESULT Initialize(const std::vector<std::string>& files);
  // QueryContextMenu into a fresh popup menu with idCmdFirst = kFirst.
  HRESULT Query();
  // Initialize and Query; fails the test when the handler refuses.
  void Open(const std::vector<std::string>& files);

  HRESULT Help(UINT_PTR offset, std::string* text, UINT cchMax = 260, UINT type = GCS_HELPTEXTA);
  // The help text, or "<none>" when the buffer was left untouched, or "<hr=...>".
  std::string HelpText(UINT_PTR offset);
  HRESULT Invoke(UINT offset, HWND owner = nullptr);
  HRESULT InvokeVerb(const char* verb);
  // The menu identifier of the top-level "&Ombrelo" item minus kFirst (S + 8).
  UINT TopLevelOffset() const;
  // The caption of the item at offset in the last menu, "&" markers and tab included.
  std::string Caption(UINT offset) const;
  // Another object of the same loaded DLL, as the shell would make one.
  HRESULT Create(REFCLSID clsid, REFIID riid, void** object);

  static constexpr UINT kFirst = 100;

 private:
  HMODULE dll_ = nullptr;
  IContextMenu* menu_ = nullptr;
  HMENU popup_ = nullptr;
};

}  // namespace commandtest
