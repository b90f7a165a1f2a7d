// The root command, its subcommands and their enumerator. Every method
// contains whatever its behaviour throws (Guarded); the behaviour itself is
// the classic handler's.
#include "modern/ExplorerCommand.h"

#include <oleidl.h>
#include <wrl/client.h>

#include <memory>
#include <mutex>
#include <string>

#include "bridge/MainProgram.h"
#include "common/Guarded.h"
#include "common/Lock.h"
#include "common/FileNames.h"
#include "common/PathRule.h"
#include "menu/MenuCommands.h"
#include "menu/ProgramIcon.h"
#include "modern/ShellItems.h"
#include "server/ClassFactory.h"
#include "server/ComObject.h"

namespace ombrelo {

// {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}
const CLSID CLSID_TExplorerCommand = {0x06A28AD9, 0xB53D, 0x47BC, {0x9F, 0xD9, 0x5D, 0x39, 0x83, 0xC4, 0x3B, 0x8C}};

using Microsoft::WRL::ComPtr;

namespace {

using Offered = std::shared_ptr<const OfferedMenu>;

// The site Explorer gives a command, kept for the owner window of dialogs.
class Site {
 public:
  void Set(IUnknown* site) {
    std::lock_guard<SrwLock> guard(lock_);
    site_ = site;
  }
  ComPtr<IUnknown> Get() {
    std::lock_guard<SrwLock> guard(lock_);
    return site_;
  }
  HRESULT Query(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<IUnknown> site = Get();
    return site ? site->QueryInterface(riid, ppv) : E_FAIL;
  }

 private:
  SrwLock lock_;
  ComPtr<IUnknown> site_;
};

// The window that owns a command's dialogs: the site's window where the
// site offers one (IOleWindow), else none. In the surrogate there is no
// Explorer window of our own process to take.
HWND OwnerFromSite(IUnknown* site) {
  ComPtr<IOleWindow> window;
  HWND owner = nullptr;
  if (!site || FAILED(site->QueryInterface(IID_PPV_ARGS(&window))) || FAILED(window->GetWindow(&owner)))
    return nullptr;
  return owner;
}

// Whether the command is being shown by the classic menu ("Show more
// options"). Windows 11 lists packaged commands there too, beside our
// classic handler, which already offers the same commands (with the preview
// picture); there the command stays hidden so that Ombrelo appears once.
// The classic menu hosts such commands through a context-menu object, which
// is what it hands them as their site; the Windows 11 menu's site is none.
// (To be confirmed on Windows 11: see README, "Windows 11".)
bool ShownByClassicMenu(IUnknown* site) {
  if (!site) return false;
  ComPtr<IContextMenu> menu;
  return SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&menu)));
}

bool NoItems(IShellItemArray* items) {
  DWORD count = 0;
  return !items || FAILED(items->GetCount(&count)) || count == 0;
}

// The icon location of a program (ProgramIconLocation): "path,0", or the
// system's generic program icon for a program on a network share or a
// drive that is not ready, whose file the shell would otherwise read.
HRESULT IconOf(const std::string& program, LPWSTR* icon) {
  if (!icon) return E_POINTER;
  *icon = nullptr;
  const std::wstring location = ProgramIconLocation(WideFromAnsi(program));
  if (location.empty()) return E_NOTIMPL;
  return ShellString(location, icon);
}

class TExplorerSubCommand final : public ComObject<IExplorerCommand, IObjectWithSite> {
 public:
  TExplorerSubCommand(Offered offered, size_t index, IUnknown* site) : offered_(std::move(offered)), index_(index) {
    site_.Set(site);
  }

  STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* name) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!name) return E_POINTER;
      *name = nullptr;
      if (Item().Separator) return S_FALSE;
      return ShellString(PlainCaption(Item().Caption), name);
    });
  }
  STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* icon) override {
    return Guarded(E_FAIL, [&] { return IconOf(Item().Program, icon); });
  }
  STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* tip) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!tip) return E_POINTER;
      *tip = nullptr;
      if (Item().Separator) return S_FALSE;
      if (Item().Help.empty()) return E_NOTIMPL;
      return ShellString(Item().Help, tip);
    });
  }
  STDMETHODIMP GetCanonicalName(GUID* guid) override {
    return Guarded(E_NOTIMPL, [&] {
      if (guid) *guid = GUID_NULL;
      return E_NOTIMPL;
    });
  }
  STDMETHODIMP GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    return Guarded(E_FAIL, [&] {
      if (!NoItems(items)) *state = Item().Greyed ? ECS_DISABLED : ECS_ENABLED;
      return S_OK;
    });
  }
  STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx*) override {
    return Guarded(E_FAIL, [&] { return Run(items); });
  }
  STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!flags) return E_POINTER;
      *flags = Item().Separator ? ECF_ISSEPARATOR : ECF_DEFAULT;
      return S_OK;
    });
  }
  STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override {
    return Guarded(E_NOTIMPL, [&] {
      if (commands) *commands = nullptr;
      return E_NOTIMPL;
    });
  }

  STDMETHODIMP SetSite(IUnknown* site) override {
    return Guarded(E_FAIL, [&] {
      site_.Set(site);
      return S_OK;
    });
  }
  STDMETHODIMP GetSite(REFIID riid, void** ppv) override {
    return Guarded(E_FAIL, [&] { return site_.Query(riid, ppv); });
  }

 private:
  const OfferedItem& Item() const { return offered_->Items[index_]; }

  // The files are taken afresh from the items the shell passes; the
  // command runs with the identifiers and open-with entries of the menu
  // that offered it, through the classic menu's dispatch.
  HRESULT Run(IShellItemArray* items) {
    if (Item().Separator) return E_FAIL;
    if (NoItems(items)) return E_INVALIDARG;
    MenuSelection selection = SelectionOfItems(items);
    const MenuSelection& offeredFor = offered_->Selection;
    // Only a selection of the same kind gives the offset the same meaning.
    if (!selection.Accepted || KindOf(selection) != KindOf(offeredFor)) return E_FAIL;
    selection.OpenWithCommands = offeredFor.OpenWithCommands;
    selection.OpenWithParams = offeredFor.OpenWithParams;
    ComPtr<IUnknown> site = site_.Get();
    return RunItemCommand(std::move(selection), offered_->Layout, Item().Offset, OwnerFromSite(site.Get()));
  }

  const Offered offered_;
  const size_t index_;
  Site site_;
};

class TExplorerCommandEnum final : public ComObject<IEnumExplorerCommand> {
 public:
  TExplorerCommandEnum(Offered offered, ComPtr<IUnknown> site, size_t next = 0)
      : offered_(std::move(offered)), site_(std::move(site)), next_(next) {}

  STDMETHODIMP Next(ULONG count, IExplorerCommand** commands, ULONG* fetched) override {
    ULONG given = 0;
    HRESULT hr = Guarded(E_FAIL, [&]() -> HRESULT {
      if (!commands || (!fetched && count != 1)) return E_POINTER;
      for (; given < count && next_ < Size(); ++given, ++next_)
        commands[given] = new TExplorerSubCommand(offered_, next_, site_.Get());
      return given == count ? S_OK : S_FALSE;
    });
    if (FAILED(hr)) {
      for (ULONG i = 0; i < given; ++i) commands[i]->Release();
      given = 0;
    }
    if (fetched) *fetched = given;
    return hr;
  }
  STDMETHODIMP Skip(ULONG count) override {
    return Guarded(E_FAIL, [&] {
      const size_t left = Size() - next_;
      next_ += count < left ? count : left;
      return count <= left ? S_OK : S_FALSE;
    });
  }
  STDMETHODIMP Reset() override {
    return Guarded(E_FAIL, [&] {
      next_ = 0;
      return S_OK;
    });
  }
  STDMETHODIMP Clone(IEnumExplorerCommand** copy) override {
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
      if (!copy) return E_POINTER;
      *copy = new TExplorerCommandEnum(offered_, site_, next_);
      return S_OK;
    });
  }

 private:
  size_t Size() const { return offered_->Items.size(); }

  const Offered offered_;
  const ComPtr<IUnknown> site_;
  size_t next_;
};

class TExplorerCommand final : public ComObject<IExplorerCommand, IObjectWithSite> {
 public:
  STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* name) override {
    return Guarded(E_FAIL, [&] { return ShellString(PlainCaption(kTopLevelCaption), name); });
  }
  // The main program's icon, where the program is found without asking
  // (a generic program icon for one on a network share).
  STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* icon) override {
    return Guarded(E_FAIL, [&] { return IconOf(FindMainProgramExecutable(), icon); });
  }
  STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* tip) override {
    return Guarded(E_NOTIMPL, [&] {
      if (tip) *tip = nullptr;
      return E_NOTIMPL;
    });
  }
  STDMETHODIMP GetCanonicalName(GUID* guid) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!guid) return E_POINTER;
      *guid = CLSID_TExplorerCommand;
      return S_OK;
    });
  }
  // Decides what the menu offers for these items; hidden when it offers
  // nothing, and in the classic menu.
  STDMETHODIMP GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    return Guarded(E_FAIL, [&] {
      DrivesOfOneMenu drives;
      auto offered = std::make_shared<const OfferedMenu>(OfferedCommands(SelectionOfItems(items)));
      const bool nothing = offered->Items.empty();
      {
        std::lock_guard<SrwLock> guard(lock_);
        offered_ = std::move(offered);
      }
      ComPtr<IUnknown> site = site_.Get();
      if (!nothing && !ShownByClassicMenu(site.Get())) *state = ECS_ENABLED;
      return S_OK;
    });
  }
  // The root only opens its subcommands.
  STDMETHODIMP Invoke(IShellItemArray*, IBindCtx*) override {
    return Guarded(E_NOTIMPL, [] { return E_NOTIMPL; });
  }
  STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!flags) return E_POINTER;
      *flags = ECF_HASSUBCOMMANDS;
      return S_OK;
    });
  }
  // The commands GetState found for the items; none before GetState.
  STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override {
    return Guarded(E_FAIL, [&]() -> HRESULT {
      if (!commands) return E_POINTER;
      *commands = nullptr;
      Offered offered;
      {
        std::lock_guard<SrwLock> guard(lock_);
        offered = offered_;
      }
      if (!offered) offered = std::make_shared<const OfferedMenu>();
      *commands = new TExplorerCommandEnum(std::move(offered), site_.Get());
      return S_OK;
    });
  }

  STDMETHODIMP SetSite(IUnknown* site) override {
    return Guarded(E_FAIL, [&] {
      site_.Set(site);
      return S_OK;
    });
  }
  STDMETHODIMP GetSite(REFIID riid, void** ppv) override {
    return Guarded(E_FAIL, [&] { return site_.Query(riid, ppv); });
  }

 private:
  SrwLock lock_;
  Offered offered_;
  Site site_;
};

}  // namespace

HRESULT CreateExplorerCommand(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // The new object's one reference is dropped after the caller got its own.
  // (Not ComPtr::Attach: MinGW's adds a reference that Microsoft's does not.)
  TExplorerCommand* command = new TExplorerCommand();
  const HRESULT hr = command->QueryInterface(riid, ppv);
  command->Release();
  return hr;
}

}  // namespace ombrelo
