// The COM identity of TFolContMenu: one object behind IShellExtInit,
// IContextMenu/2/3 and ISupportErrorInfo, aggregatable. Every method hands
// over to its behaviour method and contains whatever that throws.
#include "menu/FolContMenu.h"

#include "common/Guarded.h"
#include "menu/MenuCommands.h"
#include "server/ClassFactory.h"
#include "server/ComObject.h"

namespace ombrelo {

// {67C63340-679B-11D2-92EE-000021474C15}
const CLSID CLSID_TFolContMenu = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};

TFolContMenu::TFolContMenu(IUnknown* outer) : outer_(outer ? outer : &inner_) {
  InterlockedIncrement(&LiveObjectCount);
}

TFolContMenu::~TFolContMenu() { InterlockedDecrement(&LiveObjectCount); }

IUnknown* TFolContMenu::Inner() { return &inner_; }

MenuLayout TFolContMenu::Layout() const { return {CmdFirst, FirstOpenWithId, LastOpenWithId, HighestOffsetUsed}; }

// The interface table: the interfaces the handler hands out besides its
// own IUnknown (the inner one, which aggregation keeps apart).
void* TFolContMenu::OwnInterface(REFIID riid) {
  IContextMenu3* const menu = this;
  return FindInterface({{IID_IShellExtInit, static_cast<IShellExtInit*>(this)},
                        {IID_IContextMenu, menu},
                        {IID_IContextMenu2, menu},
                        {IID_IContextMenu3, menu},
                        {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)}},
                       riid);
}

// The non-delegating IUnknown: the object's own identity and reference count.
STDMETHODIMP TFolContMenu::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  IUnknown* found = riid == IID_IUnknown ? this : static_cast<IUnknown*>(self_->OwnInterface(riid));
  *ppv = found;
  if (!found) return E_NOINTERFACE;
  found->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) TFolContMenu::InnerUnknown::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&self_->refCount_));
}

STDMETHODIMP_(ULONG) TFolContMenu::InnerUnknown::Release() {
  LONG n = InterlockedDecrement(&self_->refCount_);
  if (n == 0) delete self_;
  return static_cast<ULONG>(n);
}

STDMETHODIMP TFolContMenu::QueryInterface(REFIID riid, void** ppv) { return outer_->QueryInterface(riid, ppv); }
STDMETHODIMP_(ULONG) TFolContMenu::AddRef() { return outer_->AddRef(); }
STDMETHODIMP_(ULONG) TFolContMenu::Release() { return outer_->Release(); }

STDMETHODIMP TFolContMenu::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_IUnknown || OwnInterface(riid) ? S_OK : S_FALSE;
}

STDMETHODIMP TFolContMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* lpdobj, HKEY) {
  return Guarded(E_FAIL, [&] { return InitializeSelection(lpdobj); });
}

STDMETHODIMP TFolContMenu::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                            UINT uFlags) {
  return Guarded(E_FAIL, [&] { return BuildMenu(hmenu, indexMenu, idCmdFirst, idCmdLast, uFlags); });
}

STDMETHODIMP TFolContMenu::InvokeCommand(CMINVOKECOMMANDINFO* lpici) {
  return Guarded(E_FAIL, [&] { return RunCommand(lpici); });
}

STDMETHODIMP TFolContMenu::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
  return Guarded(E_INVALIDARG, [&] { return HelpText(idCmd, uType, pszName, cchMax); });
}

STDMETHODIMP TFolContMenu::HandleMenuMsg(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT unused = 0;  // IContextMenu2 has no result location; this one is read by nobody
  return Guarded(S_OK, [&] { return HandleMenuMessage(uMsg, wParam, lParam, &unused); });
}

STDMETHODIMP TFolContMenu::HandleMenuMsg2(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) {
  return Guarded(S_OK, [&] { return HandleMenuMessage(uMsg, wParam, lParam, plResult); });
}

}  // namespace ombrelo
