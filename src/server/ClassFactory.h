#pragma once
// TFolContMenuFactory: the one class factory of the module, and the two
// counts that decide whether the host may unload the DLL.
#include <windows.h>
#include <objbase.h>

#include <functional>
#include <string>

namespace ombrelo {

class TFolContMenu;

// Live handler objects and outstanding factory references. Both are changed
// with interlocked operations: the shell may make and release objects on
// more than one thread at once.
extern volatile LONG LiveObjectCount;
extern volatile LONG FactoryRefCount;
LONG ReadCount(const volatile LONG& count);

class TFolContMenuFactory final : public IClassFactory {
 public:
  // IUnknown: the factory lives as long as the module; its count only tells
  // DllCanUnloadNow whether references are held.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IClassFactory
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL fLock) override;
};

// The module's factory object.
TFolContMenuFactory& ClassFactory();

// Makes a handler object with `make` and hands out its interface riid, as
// CreateInstance does. An error while making the object is shown in the
// "DAX-Fehler" box and answered with E_UNEXPECTED.
using HandlerMaker = std::function<TFolContMenu*(IUnknown* outer)>;
HRESULT CreateHandlerInstance(IUnknown* outer, REFIID riid, void** ppv, const HandlerMaker& make);

// The text of the error box: the error's text, with a full stop appended when
// its last character sorts after the full stop.
std::string ErrorBoxText(std::string text);

// S_OK when neither a handler object nor a factory reference is alive.
HRESULT CanUnloadNow();

}  // namespace ombrelo
