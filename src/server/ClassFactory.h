#pragma once
// The class factories of the module (the context-menu handler and the
// Windows 11 menu's command), and the two counts that decide whether the
// host may unload the DLL.
#include <windows.h>
#include <objbase.h>

#include <functional>
#include <string>

namespace ombrelo {

class TFolContMenu;

// Live handler and command objects and outstanding factory references. Both are changed
// with interlocked operations: the shell may make and release objects on
// more than one thread at once.
extern volatile LONG LiveObjectCount;
extern volatile LONG FactoryRefCount;
LONG ReadCount(const volatile LONG& count);

// What both class factories share: the factory lives as long as the module;
// its count only tells DllCanUnloadNow whether references are held.
class TModuleFactory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP LockServer(BOOL fLock) override;
};

// The factory of the context-menu handler (TFolContMenu).
class TFolContMenuFactory final : public TModuleFactory {
 public:
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
};

// The factory of the Windows 11 menu's command (TExplorerCommand).
class TExplorerCommandFactory final : public TModuleFactory {
 public:
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
};

// The module's factory object for a class; null for a class it does not serve.
IClassFactory* FactoryFor(REFCLSID clsid);
// The context-menu handler's factory.
TFolContMenuFactory& ClassFactory();

// Makes a handler object with `make` and hands out its interface riid, as
// CreateInstance does. An error while making the object is shown in the
// "DAX-Fehler" box and answered with E_UNEXPECTED.
using HandlerMaker = std::function<TFolContMenu*(IUnknown* outer)>;
HRESULT CreateHandlerInstance(IUnknown* outer, REFIID riid, void** ppv, const HandlerMaker& make);

// The text of the error box: the error's text, with a full stop appended when
// its last character sorts after the full stop.
std::string ErrorBoxText(std::string text);

// S_OK when neither a handler or command object nor a factory reference is alive.
HRESULT CanUnloadNow();

}  // namespace ombrelo
