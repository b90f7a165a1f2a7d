#include "Handler.h"

#include "Text.h"

namespace host {

using Microsoft::WRL::ComPtr;

void Handler::Release() {
  menu3.Reset();
  menu2.Reset();
  menu.Reset();
  init.Reset();
}

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : Utf8(message);
}

namespace {

std::string RegisteredServer(const std::string& clsidText) {
  std::wstring key = L"CLSID\\" + Wide(clsidText) + L"\\InprocServer32";
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = sizeof(path) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, path,
                   &size) != ERROR_SUCCESS)
    return {};
  return Utf8(path);
}

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The class factory of options.clsid from options.dll, which stays loaded in `dll`.
bool FactoryFromDll(const Options& options, ombrelo::UniqueLibrary& dll, ComPtr<IClassFactory>& factory,
                    std::string& origin, std::string& error) {
  dll.reset(LoadLibraryW(options.dll.c_str()));
  if (!dll) {
    error = "cannot load " + Utf8(options.dll) + ": " + SystemMessage(GetLastError());
    return false;
  }
  auto getClassObject =
      reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(dll.get(), "DllGetClassObject")));
  if (!getClassObject) {
    error = Utf8(options.dll) + " exports no DllGetClassObject: not an in-process COM server";
    return false;
  }
  HRESULT hr = getClassObject(options.clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(hr) || !factory) {
    error = Utf8(options.dll) + " does not serve the class " + options.clsidText + ": DllGetClassObject returned " +
            HresultText(hr);
    return false;
  }
  origin = Utf8(options.dll) + " (loaded directly)";
  return true;
}

bool FromDll(const Options& options, Handler& handler, ComPtr<IClassFactory>& factory, std::string& error) {
  return FactoryFromDll(options, handler.dll, factory, handler.origin, error);
}

}  // namespace

bool CreateHandler(const Options& options, Handler& handler, std::string& error) {
  HRESULT hr;
  if (!options.dll.empty()) {
    ComPtr<IClassFactory> factory;
    if (!FromDll(options, handler, factory, error)) return false;
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(handler.init.GetAddressOf()));
  } else {
    hr = CoCreateInstance(options.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                          reinterpret_cast<void**>(handler.init.GetAddressOf()));
    if (hr == REGDB_E_CLASSNOTREG || hr == CLASS_E_CLASSNOTAVAILABLE) {
      error = "the class " + options.clsidText +
              " is not registered as an in-process server (register its DLL with regsvr32, or load it with --dll PATH)";
      return false;
    }
    std::string server = RegisteredServer(options.clsidText);
    handler.origin = server.empty() ? "the registered class" : server + " (registered)";
  }
  if (hr == E_NOINTERFACE) {
    error = "the class " + options.clsidText + " is not a shell extension: it has no IShellExtInit";
    return false;
  }
  if (FAILED(hr) || !handler.init) {
    error = "could not create the class " + options.clsidText + ": " + HresultText(hr);
    return false;
  }
  if (FAILED(handler.init.As(&handler.menu))) {
    error = "the class " + options.clsidText + " is not a context-menu handler: it has no IContextMenu";
    handler.Release();
    return false;
  }
  handler.init.As(&handler.menu2);
  handler.init.As(&handler.menu3);
  return true;
}

bool CreateObject(const Options& options, ombrelo::UniqueLibrary& dll, REFIID riid, void** object, std::string& origin,
                  std::string& error) {
  HRESULT hr;
  if (!options.dll.empty()) {
    ComPtr<IClassFactory> factory;
    if (!FactoryFromDll(options, dll, factory, origin, error)) return false;
    hr = factory->CreateInstance(nullptr, riid, object);
  } else {
    hr = CoCreateInstance(options.clsid, nullptr, CLSCTX_INPROC_SERVER, riid, object);
    if (hr == REGDB_E_CLASSNOTREG || hr == CLASS_E_CLASSNOTAVAILABLE) {
      error = "the class " + options.clsidText +
              " is not registered as an in-process server (register it, or load its DLL with --dll PATH)";
      return false;
    }
    std::string server = RegisteredServer(options.clsidText);
    origin = server.empty() ? "the registered class" : server + " (registered)";
  }
  if (FAILED(hr) || !*object) {
    error = "could not create the class " + options.clsidText + ": " + HresultText(hr);
    return false;
  }
  return true;
}

bool ForwardMenuMessage(const Handler& handler, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT answer = 0;
  bool taken = false;
  if (handler.menu3) {
    taken = SUCCEEDED(handler.menu3->HandleMenuMsg2(message, wParam, lParam, &answer));
  } else if (handler.menu2 && message != WM_MENUCHAR) {
    taken = SUCCEEDED(handler.menu2->HandleMenuMsg(message, wParam, lParam));
    // HandleMenuMsg gives no result: answer as a window that handled the message would.
    answer = message == WM_INITMENUPOPUP ? 0 : TRUE;
  }
  if (taken && result) *result = answer;
  return taken;
}

}  // namespace host
