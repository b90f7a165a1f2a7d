#pragma once
// TFolContMenu: the context-menu handler that Explorer drives through
// IShellExtInit, IContextMenu, IContextMenu2 and IContextMenu3. The COM
// methods are one-line wrappers (FolContMenu.cpp); the behaviour lives in
// one file per concern:
//   Selection.cpp  - Initialize (selection capture)
//   MenuBuild.cpp  - QueryContextMenu (menu construction)
//   OwnerDraw.cpp  - menu messages, preview item, icon items
//   HelpText.cpp   - GetCommandString (status-bar help)
//   Invoke.cpp     - InvokeCommand (command execution)
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/Handles.h"
#include "server/ModuleState.h"

namespace ombrelo {

// {67C63340-679B-11D2-92EE-000021474C15}
extern const CLSID CLSID_TFolContMenu;

struct MenuLayout;

// What one handler object's menu, help texts and commands act on: the
// selection its own Initialize took and the open-with entries its own
// QueryContextMenu read. Initialize also publishes the selection to the
// module-wide state, but an object never acts on another object's
// selection: two shell threads may show menus at the same time.
struct MenuSelection : SelectionState {
  bool Accepted = false;  // the last Initialize that read a file list returned S_OK
  std::vector<std::string> OpenWithCommands;
  std::vector<std::string> OpenWithParams;
};

class TFolContMenu final : public IShellExtInit, public IContextMenu3, public ISupportErrorInfo {
 public:
  // outer: the controlling unknown when aggregated, else null.
  explicit TFolContMenu(IUnknown* outer);
  ~TFolContMenu();
  TFolContMenu(const TFolContMenu&) = delete;
  TFolContMenu& operator=(const TFolContMenu&) = delete;

  // The object's own (non-delegating) IUnknown.
  IUnknown* Inner();

  // IUnknown: delegates to the controlling unknown.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;
  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* lpdobj, HKEY hkeyProgID) override;
  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                UINT uFlags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* lpici) override;
  STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pwReserved, CHAR* pszName,
                                UINT cchMax) override;
  // IContextMenu2, IContextMenu3
  STDMETHODIMP HandleMenuMsg(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  STDMETHODIMP HandleMenuMsg2(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;

  // Behaviour behind the COM methods (each may throw; the wrappers contain it).
  HRESULT InitializeSelection(IDataObject* lpdobj);
  HRESULT BuildMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags);
  HRESULT HelpText(UINT_PTR offset, UINT uType, CHAR* pszName, UINT cchMax);
  HRESULT RunCommand(const CMINVOKECOMMANDINFO* lpici);
  HRESULT HandleMenuMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult);
  HRESULT MeasurePreviewItem(MEASUREITEMSTRUCT* item);
  HRESULT DrawPreviewItem(const DRAWITEMSTRUCT* item);
  // The identifiers of the last menu, as help texts and commands read them.
  MenuLayout Layout() const;

  // This object's selection (Initialize) and open-with lists (QueryContextMenu).
  MenuSelection Selected;
  // Per-menu fields, written by QueryContextMenu (a new object has them 0).
  UINT PreviewCommandId = 0;
  int PreviewWidth = 0;
  int PreviewHeight = 0;
  UINT CmdFirst = 0;
  UINT FirstOpenWithId = 0;
  UINT LastOpenWithId = 0;
  // Highest command offset the last single-selection menu used; bounds the
  // offsets GetCommandString and InvokeCommand accept.
  UINT HighestOffsetUsed = 0;
  // The preview bitmap read for this object's menu, once, while it was
  // built: the preview item is measured and drawn from it, never from the
  // file. Freed with the object or when the object builds its next menu.
  UniqueBitmap PreviewBitmap;

 private:
  // The pointer for one of the handler's interfaces (not IUnknown); null for another.
  void* OwnInterface(REFIID riid);

  class InnerUnknown : public IUnknown {
   public:
    explicit InnerUnknown(TFolContMenu* self) : self_(self) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    TFolContMenu* self_;
  };

  InnerUnknown inner_{this};
  IUnknown* outer_;  // the controlling unknown: the aggregator, or inner_
  LONG refCount_ = 0;
};

}  // namespace ombrelo
