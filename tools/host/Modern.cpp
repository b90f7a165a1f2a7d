#include "Modern.h"

#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "Handler.h"
#include "Run.h"
#include "Screenshot.h"
#include "Text.h"

namespace host {

using Microsoft::WRL::ComPtr;

namespace {

// The site the host gives its commands: the host's window through
// IOleWindow, as Explorer's menu offers its window; with --classic-site
// also a context menu, as the classic menu is that lists packaged commands
// under "Show more options".
class HostSite final : public IOleWindow, public IContextMenu {
 public:
  HostSite(HWND window, bool classic) : window_(window), classic_(classic) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleWindow) *ppv = static_cast<IOleWindow*>(this);
    else if (classic_ && riid == IID_IContextMenu) *ppv = static_cast<IContextMenu*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IContextMenu: only what it is, nothing it does.
  STDMETHODIMP QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override { return E_NOTIMPL; }
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) override { return E_NOTIMPL; }

 private:
  LONG refs_ = 1;
  HWND window_;
  bool classic_;
};

struct Command {
  ComPtr<IExplorerCommand> object;
  EXPCMDSTATE state = ECS_ENABLED;
  EXPCMDFLAGS flags = ECF_DEFAULT;
  HRESULT stateHr = S_OK, titleHr = S_OK;
  std::string title, icon, tip;
  std::vector<Command> children;

  bool Separator() const { return (flags & ECF_ISSEPARATOR) != 0; }
  bool Hidden() const { return (state & ECS_HIDDEN) != 0; }
  bool HasChildren() const { return (flags & ECF_HASSUBCOMMANDS) != 0; }
};

// A string the command gives through get(&text), taken over and freed;
// empty on failure. *hr, when given, receives the result.
template <class Get>
std::string Text(Get get, HRESULT* hr = nullptr) {
  LPWSTR text = nullptr;
  HRESULT got = get(&text);
  if (hr) *hr = got;
  std::string out = SUCCEEDED(got) && text ? Utf8(text) : std::string();
  CoTaskMemFree(text);
  return out;
}

// Asks one command what Explorer asks before it shows it, and its
// subcommands when it has some and is not hidden.
Command Read(ComPtr<IExplorerCommand> object, IShellItemArray* items, IUnknown* site, int depth) {
  Command c;
  c.object = object;
  ComPtr<IObjectWithSite> withSite;
  if (SUCCEEDED(object.As(&withSite))) withSite->SetSite(site);
  // Explorer first asks without time to spare and again, on another thread,
  // when the command says it needs it (E_PENDING).
  c.stateHr = object->GetState(items, FALSE, &c.state);
  if (c.stateHr == E_PENDING) c.stateHr = object->GetState(items, TRUE, &c.state);
  if (FAILED(c.stateHr)) c.state = ECS_HIDDEN;
  object->GetFlags(&c.flags);
  c.title = Text([&](LPWSTR* text) { return object->GetTitle(items, text); }, &c.titleHr);
  c.icon = Text([&](LPWSTR* text) { return object->GetIcon(items, text); });
  c.tip = Text([&](LPWSTR* text) { return object->GetToolTip(items, text); });
  if (!c.HasChildren() || c.Hidden() || depth > 4) return c;
  ComPtr<IEnumExplorerCommand> sub;
  if (FAILED(object->EnumSubCommands(&sub)) || !sub) return c;
  for (;;) {
    ComPtr<IExplorerCommand> child;
    ULONG fetched = 0;
    if (sub->Next(1, &child, &fetched) != S_OK || fetched != 1 || !child) break;
    c.children.push_back(Read(child, items, site, depth + 1));
  }
  return c;
}

std::string Label(const Command& c) {
  if (c.Separator()) return "----------";
  if (c.title.empty()) return "(no title: " + HresultText(c.titleHr) + ")";
  return Quoted(c.title);
}

void Format(const std::vector<Command>& commands, int depth, std::string& out) {
  for (const Command& c : commands) {
    out += std::string(2 + static_cast<size_t>(depth) * 4, ' ') + Label(c);
    if (c.HasChildren()) out += " >";
    std::vector<std::string> marks;
    if (c.Hidden()) marks.push_back("hidden");
    if (c.state & ECS_DISABLED) marks.push_back("disabled");
    if (c.state & ECS_CHECKED) marks.push_back("checked");
    if (FAILED(c.stateHr)) marks.push_back("GetState " + HresultText(c.stateHr));
    if (!marks.empty()) {
      out += "  [";
      for (size_t i = 0; i < marks.size(); ++i) out += (i ? ", " : "") + marks[i];
      out += "]";
    }
    if (!c.icon.empty()) out += "  icon: " + Quoted(c.icon);
    if (!c.tip.empty()) out += "  tip: " + Quoted(c.tip);
    out += "\n";
    Format(c.children, depth + 1, out);
  }
}

// The chain along a title path ("Ombrelo/Copy name"); titles match with or
// without ampersands. Hidden commands and separators are not there.
std::vector<const Command*> Find(const std::vector<Command>& top, const std::string& path, std::string& error) {
  std::vector<const Command*> chain;
  const std::vector<Command>* level = &top;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('/', start);
    std::string segment = WithoutAmpersands(path.substr(start, slash == std::string::npos ? slash : slash - start));
    const Command* found = nullptr;
    std::string there;
    for (const Command& c : *level) {
      if (c.Separator() || c.Hidden()) continue;
      if (WithoutAmpersands(c.title) == segment && !found) found = &c;
      there += (there.empty() ? "" : ", ") + Label(c);
    }
    if (!found) {
      error = "no command " + Quoted(segment) + (chain.empty() ? std::string() : " in " + Label(*chain.back())) +
              "; " + (there.empty() ? std::string("there are none") : "there are: " + there);
      return {};
    }
    chain.push_back(found);
    if (slash == std::string::npos) return chain;
    level = &found->children;
    start = slash + 1;
  }
}

// A shell item array of the files, as Explorer hands a selection over.
ComPtr<IShellItemArray> ItemsOf(const std::vector<std::wstring>& files, std::string& error) {
  std::vector<PIDLIST_ABSOLUTE> pidls;
  for (const std::wstring& f : files) {
    PIDLIST_ABSOLUTE pidl = ILCreateFromPathW(f.c_str());
    if (!pidl) {
      error = "no shell item for " + Utf8(f);
      break;
    }
    pidls.push_back(pidl);
  }
  ComPtr<IShellItemArray> items;
  if (error.empty()) {
    HRESULT hr = SHCreateShellItemArrayFromIDLists(static_cast<UINT>(pidls.size()),
                                                   const_cast<PCIDLIST_ABSOLUTE_ARRAY>(pidls.data()), &items);
    if (FAILED(hr)) error = "no shell item array: " + HresultText(hr);
  }
  for (PIDLIST_ABSOLUTE pidl : pidls) ILFree(pidl);
  return items;
}


}  // namespace

int RunModern(const Options& options, const std::vector<std::wstring>& files) {
  ombrelo::UniqueLibrary dll;  // declared first: freed after every interface
  ComPtr<IExplorerCommand> root;
  std::string origin, error;
  if (!CreateObject(options, dll, IID_PPV_ARGS(&root), origin, error)) return Fail(kHandlerFailed, error);
  Print("Command " + options.clsidText + " from " + origin + "\n");
  Print("Selection (" + std::to_string(files.size()) + (files.size() == 1 ? " file" : " files") +
        (options.ctrl ? ", Ctrl held" : "") + "):\n");
  for (const std::wstring& f : files) Print("  " + Utf8(f) + "\n");
  ComPtr<IShellItemArray> items = ItemsOf(files, error);
  if (!items) return Fail(kBadInput, error);

  Handler none;
  HostWindow window(none);
  // Assigned, not attached: MinGW's ComPtr::Attach adds a reference.
  ComPtr<IUnknown> site;
  IOleWindow* made = new HostSite(window.get(), options.classicSite);
  site = made;
  made->Release();
  Print(std::string("Site: ") + (options.classicSite ? "a classic context menu (\"Show more options\")"
                                                     : "the Windows 11 menu") +
        ", owner window " + Hex(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window.get()))) + "\n");

  std::vector<Command> tree;
  {
    HeldCtrl ctrl(options.ctrl);
    tree.push_back(Read(root, items.Get(), site.Get(), 0));
  }
  if (options.printTree) {
    std::string out;
    Format(tree, 0, out);
    Print("Windows 11 menu (state, icon location, tooltip):\n" + out);
  }
  if (tree[0].Hidden()) Print("The command is hidden: the menu shows nothing of it for this selection.\n");

  int status = kDone;
  if (options.invokePath) {
    std::vector<const Command*> chain = Find(tree, *options.invokePath, error);
    if (chain.empty()) return Fail(kBadInput, "--invoke: " + error);
    const Command& target = *chain.back();
    if (target.HasChildren()) return Fail(kBadInput, "--invoke: " + Label(target) + " has subcommands, not a command");
    if (target.state & ECS_DISABLED) return Fail(kBadInput, "--invoke: " + Label(target) + " is disabled");
    ComPtr<IBindCtx> bind;
    CreateBindCtx(0, &bind);
    HRESULT hr = RunObserved(options, "Invoke(" + Label(target) + ")",
                             [&] { return target.object->Invoke(items.Get(), bind.Get()); });
    if (FAILED(hr)) status = kInvokeFailed;
  }
  return status;
}

}  // namespace host
