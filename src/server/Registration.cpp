#include "server/Registration.h"

#include "menu/FolContMenu.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {
std::string ClassKey() { return "CLSID\\" + ClassIdString(); }
std::string InprocKey() { return ClassKey() + "\\InprocServer32"; }
std::string HandlerKey() { return "*\\shellex\\ContextMenuHandlers\\" + ClassIdString(); }
}  // namespace

std::string ClassIdString() {
  LPOLESTR wide = nullptr;
  if (FAILED(StringFromCLSID(CLSID_TFolContMenu, &wide)) || !wide) return {};
  std::string id;
  for (const wchar_t* c = wide; *c; ++c) id.push_back(static_cast<char>(*c));  // hex digits, dashes, braces
  CoTaskMemFree(wide);
  return id;
}

std::string ServerFileName() {
  // Read with a growing buffer: a cut path would register a file that does not exist.
  std::string path(261, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  if (path.find(' ') != std::string::npos) path = "\"" + path + "\"";
  return path;
}

HRESULT RegisterServer(const std::string& serverFileName) {
  const std::string id = ClassIdString();
  if (id.empty()) return E_FAIL;

  RegKey classKey;
  if (!classKey.Create(HKEY_CLASSES_ROOT, ClassKey().c_str()) || !classKey.WriteString(nullptr, kHandlerDescription))
    return E_FAIL;
  RegKey inproc;
  if (!inproc.Create(HKEY_CLASSES_ROOT, InprocKey().c_str()) || !inproc.WriteString(nullptr, serverFileName))
    return E_FAIL;

  // Without rights to HKEY_LOCAL_MACHINE the entry is left out.
  RegKey approved;
  if (approved.Create(HKEY_LOCAL_MACHINE, kApprovedKey) && !approved.WriteString(id.c_str(), kHandlerDescription))
    return E_FAIL;

  RegKey handler;
  if (!handler.Create(HKEY_CLASSES_ROOT, HandlerKey().c_str()) || !handler.WriteString(nullptr, id)) return E_FAIL;
  if (!inproc.WriteString("ThreadingModel", "Apartment")) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer() {
  const std::string id = ClassIdString();
  if (id.empty()) return E_FAIL;

  DeleteRegKey(HKEY_CLASSES_ROOT, InprocKey().c_str());
  DeleteRegKey(HKEY_CLASSES_ROOT, ClassKey().c_str());
  // Only the value goes; the "Approved" key itself stays (and is made when missing).
  RegKey approved;
  if (approved.Create(HKEY_LOCAL_MACHINE, kApprovedKey)) approved.DeleteValue(id.c_str());
  DeleteRegTree(HKEY_CLASSES_ROOT, HandlerKey().c_str());
  return S_OK;
}

}  // namespace ombrelo
