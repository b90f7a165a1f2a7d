// IShellExtInit::Initialize: takes Explorer's selection into the shared
// state and decides whether the handler adds a menu for it.
#include "menu/Selection.h"

#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "bridge/CopyData.h"
#include "menu/Classify.h"
#include "menu/FolContMenu.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {
// A live display window answers at once; a busy one gets this long, a hung one none.
constexpr UINT kHtmlWindowTimeoutMs = 10000;

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

// A block of global memory, locked while this object lives.
class LockedBlock {
 public:
  explicit LockedBlock(HGLOBAL block) : block_(block), data_(static_cast<const BYTE*>(GlobalLock(block))) {}
  ~LockedBlock() {
    if (data_) GlobalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const BYTE* data() const { return data_; }

 private:
  HGLOBAL block_;
  const BYTE* data_;
};

std::string ToAnsi(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
  return text;
}
}  // namespace

std::vector<std::string> ReadDropList(HGLOBAL drop) {
  // One pass over the block: DragQueryFileA walks the list from its start
  // for every index, so reading n names through it costs n * n steps
  // (a thousand selected files took 40 ms, ten thousand would take seconds).
  std::vector<std::string> files;
  const SIZE_T size = GlobalSize(drop);
  LockedBlock block(drop);
  const BYTE* base = block.data();
  DROPFILES header;
  if (!base || size < sizeof(header)) return files;
  memcpy(&header, base, sizeof(header));
  if (header.pFiles > size) return files;
  const BYTE* p = base + header.pFiles;
  const BYTE* const end = base + size;
  if (!header.fWide) {
    while (p < end && *p) {
      const BYTE* nul = static_cast<const BYTE*>(memchr(p, 0, static_cast<size_t>(end - p)));
      if (!nul) break;  // a name without its end is not read past the block
      files.emplace_back(reinterpret_cast<const char*>(p), static_cast<size_t>(nul - p));
      p = nul + 1;
    }
    return files;
  }
  std::wstring name;
  for (;;) {
    name.clear();
    WCHAR c = 0;
    for (; end - p >= 2; p += 2) {
      memcpy(&c, p, sizeof(c));
      if (!c) break;
      name.push_back(c);
    }
    if (end - p < 2 || name.empty()) break;  // the list's end, or a name without its end
    p += 2;
    files.push_back(ToAnsi(name));
  }
  return files;
}

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
  std::vector<std::string> files = ReadDropList(medium.get()->hGlobal);
  const size_t n = files.size();
  if (n == 0) {
    // No file: the lists are cleared, the flags keep their values, and the
    // handler adds no menu, since no command would have a file to act on.
    WithState([](SharedState& s) {
      s.SelectedFiles.clear();
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
    });
    return E_FAIL;
  }

  // The new selection is built here and stored under the lock in one step.
  const bool inBosaDialog = IsBosaWindow(GetForegroundWindow());
  // The directory already ends in a separator; the doubled one is kept as it is.
  const std::string previewPath = GetTempDirectory() + "\\" + kPreviewBitmapName;
  std::vector<std::string> selected;
  HRESULT result = E_FAIL;

  if (n == 1) {
    const bool displaySym = ReadDisplaySym();
    if (displaySym) FreeMenuBitmaps(true);
    const std::string path = files[0];
    selected.push_back(path);
    const Classification c = ClassifySingleFile(path);
    WithState([&](SharedState& s) {
      s.SelectedFiles = std::move(selected);
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
      s.InBosaDialog = inBosaDialog;
      s.PreviewBitmapPath = previewPath;
      s.DisplaySymEnabled = displaySym;
      s.IsMultiSelection = false;
      s.IsTextFile = c.isTextFile;
      s.PictureItemState = c.pictureItemState;
    });
    if (c.supported) {
      result = S_OK;
    } else if (UpperAscii(ExtensionOf(path)) == ".HTML") {
      SendToHtmlWindow(0, path);
    }
  } else {
    for (std::string& path : files)
      if (IsPictureExtension(UpperAscii(ExtensionOf(path)))) selected.push_back(std::move(path));
    if (!selected.empty()) result = S_OK;
    WithState([&](SharedState& s) {
      s.SelectedFiles = std::move(selected);
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
      s.InBosaDialog = inBosaDialog;
      s.PreviewBitmapPath = previewPath;
      s.IsMultiSelection = true;
    });
  }
  return result;
}

}  // namespace ombrelo
