#include "server/Registration.h"

#include "common/FileNames.h"
#include "menu/FolContMenu.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {
// The registry root and key prefix of one scope's classes.
struct ClassesLocation {
  HKEY root;
  std::string prefix;
  bool approved;  // whether the "Approved" entry belongs to this scope
};

ClassesLocation LocationOf(RegistrationScope scope) {
  if (scope == RegistrationScope::CurrentUser) return {HKEY_CURRENT_USER, "Software\\Classes\\", false};
  return {HKEY_CLASSES_ROOT, "", true};
}

std::string ClassKey(const ClassesLocation& at) { return at.prefix + "CLSID\\" + ClassIdString(); }
std::string InprocKey(const ClassesLocation& at) { return ClassKey(at) + "\\InprocServer32"; }
std::string HandlerKey(const ClassesLocation& at) {
  return at.prefix + "*\\shellex\\ContextMenuHandlers\\" + ClassIdString();
}
}  // namespace

std::string ClassIdString() {
  LPOLESTR wide = nullptr;
  if (FAILED(StringFromCLSID(CLSID_TFolContMenu, &wide)) || !wide) return {};
  std::string id;
  for (const wchar_t* c = wide; *c; ++c) id.push_back(static_cast<char>(*c));  // hex digits, dashes, braces
  CoTaskMemFree(wide);
  return id;
}

std::wstring ServerFileName() {
  // The module's UTF-16 path, never cut short: an ANSI or cut path would
  // register a file that does not exist, or another one.
  std::wstring path = ModulePath(ThisModule());
  if (path.find(L' ') != std::wstring::npos) path = QuotedWide(path);
  return path;
}

HRESULT RegisterServer(const std::wstring& serverFileName, RegistrationScope scope) {
  const std::string id = ClassIdString();
  if (id.empty()) return E_FAIL;
  const ClassesLocation at = LocationOf(scope);

  RegKey classKey;
  if (!classKey.Create(at.root, ClassKey(at).c_str()) || !classKey.WriteString(nullptr, kHandlerDescription))
    return E_FAIL;
  RegKey inproc;
  if (!inproc.Create(at.root, InprocKey(at).c_str()) || !inproc.WriteWideString(nullptr, serverFileName))
    return E_FAIL;

  // Without rights to HKEY_LOCAL_MACHINE the entry is left out.
  RegKey approved;
  if (at.approved && approved.Create(HKEY_LOCAL_MACHINE, kApprovedKey) &&
      !approved.WriteString(id.c_str(), kHandlerDescription))
    return E_FAIL;

  RegKey handler;
  if (!handler.Create(at.root, HandlerKey(at).c_str()) || !handler.WriteString(nullptr, id)) return E_FAIL;
  if (!inproc.WriteString("ThreadingModel", "Apartment")) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) {
  const std::string id = ClassIdString();
  if (id.empty()) return E_FAIL;
  const ClassesLocation at = LocationOf(scope);

  DeleteRegKey(at.root, InprocKey(at).c_str());
  DeleteRegKey(at.root, ClassKey(at).c_str());
  // Only the value goes; the "Approved" key itself stays (and is made when missing).
  RegKey approved;
  if (at.approved && approved.Create(HKEY_LOCAL_MACHINE, kApprovedKey)) approved.DeleteValue(id.c_str());
  DeleteRegTree(at.root, HandlerKey(at).c_str());
  return S_OK;
}

HRESULT InstallForCommandLine(bool install, const wchar_t* commandLine) {
  if (!commandLine || lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
  if (install) return RegisterServer(ServerFileName(), RegistrationScope::CurrentUser);
  return UnregisterServer(RegistrationScope::CurrentUser);
}

}  // namespace ombrelo
