// IShellExtInit::Initialize: takes Explorer's selection into the shared
// state and decides whether the handler adds a menu for it.
#include "menu/Selection.h"

#include <cstring>
#include <string>
#include <vector>

#include "bridge/CopyData.h"
#include "menu/Classify.h"
#include "menu/DropList.h"
#include "menu/FolContMenu.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {
// A live display window answers at once; a busy one gets this long (the
// shell waits for Initialize), a hung one none.
constexpr UINT kHtmlWindowTimeoutMs = 1000;

// Holds the data object for the duration of the call.
class HeldObject {
 public:
  explicit HeldObject(IUnknown* object) : object_(object) { object_->AddRef(); }
  ~HeldObject() { object_->Release(); }
  HeldObject(const HeldObject&) = delete;
  HeldObject& operator=(const HeldObject&) = delete;

 private:
  IUnknown* object_;
};

// Gives back the storage medium that a successful GetData filled, on every path.
class HeldMedium {
 public:
  HeldMedium() = default;
  ~HeldMedium() {
    if (filled_) ReleaseStgMedium(&medium_);
  }
  HeldMedium(const HeldMedium&) = delete;
  HeldMedium& operator=(const HeldMedium&) = delete;
  STGMEDIUM* get() { return &medium_; }
  void SetFilled() { filled_ = true; }

 private:
  STGMEDIUM medium_{};
  bool filled_ = false;
};

// The object's copy of the selection that Initialize has just published.
MenuSelection SelectionOf(const SharedState& s) {
  MenuSelection copy;
  static_cast<SelectionState&>(copy) = s;
  return copy;
}

}  // namespace

bool IsBosaWindow(HWND window) {
  char name[256] = {};
  int n = GetClassNameA(window, name, sizeof(name));
  return n >= 5 && std::strncmp(name, "bosa_", 5) == 0;
}

void SendToHtmlWindow(ULONG_PTR code, const std::string& path) {
  HWND window = FindWindowA(kHtmlWindowClass, nullptr);
  if (window) SendCopyData(code, path, window, kHtmlWindowTimeoutMs);
}

bool ReadDisplaySym() {
  // A missing key or value, or one that is not a string, means true.
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, kProgramKey)) return true;
  std::optional<std::string> value = key.ReadString("DisplaySym");
  return value ? *value == "true" : true;
}

HRESULT TFolContMenu::InitializeSelection(IDataObject* lpdobj) {
  if (!lpdobj) return E_FAIL;
  HeldObject held(lpdobj);

  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  HeldMedium medium;
  const HRESULT got = lpdobj->GetData(&format, medium.get());
  if (FAILED(got)) return got;
  medium.SetFilled();
  // A data object that answers with anything but a file list is refused
  // before any state is touched.
  if (medium.get()->tymed != TYMED_HGLOBAL || !medium.get()->hGlobal) return E_FAIL;
  // The list is read within the bounds of its block: a malformed one is
  // refused like any other answer that is not a file list.
  std::optional<DropList> list = ReadDropList(medium.get()->hGlobal);
  if (!list) return E_FAIL;

  const size_t n = list->Count;
  if (n == 0 || (n == 1 && list->Files.empty())) {
    // No file, or a single one whose name was cut off: the lists are
    // cleared, the flags keep their values, and the handler adds no menu,
    // since no command would have a file to act on.
    WithState([](SharedState& s) {
      s.SelectedFiles.clear();
      s.SelectedPaths.clear();
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
    });
    Selected = MenuSelection();
    return E_FAIL;
  }

  // The new selection is built here and stored under the lock in one step.
  if (n == 1) {
    const bool displaySym = ReadDisplaySym();
    if (displaySym) NextIconMenu();
    MenuSelection c = CaptureSelection(*list);
    WithState([&](SharedState& s) {
      s.SelectedFiles = c.SelectedFiles;
      s.SelectedPaths = c.SelectedPaths;
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
      s.InBosaDialog = c.InBosaDialog;
      s.PreviewBitmapFile = c.PreviewBitmapFile;
      s.PreviewBitmapFile = c.PreviewBitmapFile;
    s.PreviewBitmapPath = c.PreviewBitmapPath;
      s.DisplaySymEnabled = displaySym;
      s.IsMultiSelection = false;
      s.IsTextFile = c.IsTextFile;
      s.PictureItemState = c.PictureItemState;
      Selected = SelectionOf(s);
    });
    Selected.Accepted = c.Accepted;
    if (c.Accepted) return S_OK;
    // The display window takes ANSI text: a name without an ANSI form is not sent.
    const SelectedFile file = c.File(0);
    if (UpperAscii(AnsiExtensionOf(file.Path)) == ".HTML" && file.HasAnsi()) SendToHtmlWindow(0, file.Ansi);
    return E_FAIL;
  }
  MenuSelection c = CaptureSelection(*list);
  WithState([&](SharedState& s) {
    s.SelectedFiles = c.SelectedFiles;
    s.SelectedPaths = c.SelectedPaths;
    s.OpenWithCommands.clear();
    s.OpenWithParams.clear();
    s.InBosaDialog = c.InBosaDialog;
    s.PreviewBitmapFile = c.PreviewBitmapFile;
    s.PreviewBitmapPath = c.PreviewBitmapPath;
    s.IsMultiSelection = true;
    Selected = SelectionOf(s);
  });
  Selected.Accepted = c.Accepted;
  return c.Accepted ? S_OK : E_FAIL;
}

MenuSelection CaptureSelection(const DropList& list, KeyState ctrl) {
  MenuSelection c;
  if (list.Count == 0 || (list.Count == 1 && list.Files.empty())) return c;
  c.InBosaDialog = IsBosaWindow(GetForegroundWindow());
  // The directory already ends in a separator; the doubled one is kept as it is.
  const std::wstring temp = TempFolderPath();
  c.PreviewBitmapFile = temp + L"\\" + WideFromAnsi(kPreviewBitmapName);
  const std::string tempAnsi = AnsiPathOf(temp);
  c.PreviewBitmapPath = tempAnsi.empty() ? std::string() : tempAnsi + "\\" + kPreviewBitmapName;
  // Files are classified by the extension of their full name: a short form
  // may cut it (".JPEG" to ".JPE").
  if (list.Count == 1) {
    c.SelectedFiles.push_back(list.Files.front());
    c.SelectedPaths.push_back(list.Paths.front());
    const Classification kind = ClassifySingleFile(AnsiExtensionOf(list.Paths.front()), ctrl);
    c.IsTextFile = kind.isTextFile;
    c.PictureItemState = kind.pictureItemState;
    c.Accepted = kind.supported;
    return c;
  }
  c.IsMultiSelection = true;
  // Only pictures with an ANSI form go to the main program's conversion;
  // names left out of the list count like files that are not pictures.
  for (size_t i = 0; i < list.Files.size(); ++i) {
    if (list.Files[i].empty() || !IsPictureExtension(UpperAscii(AnsiExtensionOf(list.Paths[i])))) continue;
    c.SelectedFiles.push_back(list.Files[i]);
    c.SelectedPaths.push_back(list.Paths[i]);
  }
  c.Accepted = !c.SelectedFiles.empty();
  return c;
}

}  // namespace ombrelo
