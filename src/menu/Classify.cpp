#include "menu/Classify.h"

#include <iterator>

#include "common/FileNames.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {
// Plain pictures of a single selection, in the order they are tested.
const char* const kPictureExtensions[] = {
    ".BMP", ".JPG", ".PNG", ".TIF", ".TGA", ".DIB", ".PBM", ".PGM", ".PPM", ".JPEG", ".TIFF",
    ".ICO", ".WMF", ".EMF", ".PCX", ".PSD", ".RLE", ".PSP", ".RAS", ".CUR", ".IFF", ".CPT",
    ".EPS", ".CLP", ".CAM", ".G3",  ".ANI", ".SFW", ".PCD", ".AVI", ".GIF"};
// Tested after the text test: supported, but with the picture items greyed.
const char kGreyedPictureExtension[] = ".RIF";
// Pictures of a multiple selection: the list above without ".PCD".
const char* const kMultiPictureExtensions[] = {
    ".BMP", ".JPG", ".PNG", ".TIF", ".TGA", ".DIB", ".PBM", ".PGM", ".PPM", ".JPEG",
    ".TIFF", ".ICO", ".WMF", ".EMF", ".PCX", ".PSD", ".RLE", ".PSP", ".RAS", ".CUR",
    ".IFF", ".CPT", ".EPS", ".CLP", ".CAM", ".G3",  ".ANI", ".SFW", ".AVI", ".GIF"};
// Text extensions while the "Txt\Ext" key does not exist.
const char* const kDefaultTextExtensions[] = {".DIZ", ".TXT", ".CFG", ".WRI", ".BAT", ".XML"};

static_assert(std::size(kPictureExtensions) + 1 == 32);
static_assert(std::size(kMultiPictureExtensions) == 30);

template <size_t N>
bool InList(const char* const (&list)[N], const std::string& ext) {
  for (const char* entry : list)
    if (ext == entry) return true;
  return false;
}

// When text files get the menu: 0 never, 1 always, 2 while Ctrl is held.
DWORD ReadTextMode() {
  DWORD mode = 2;
  RegKey txt;
  if (txt.Open(HKEY_CURRENT_USER, kTxtKey)) mode = txt.ReadDword("TxtPreview").value_or(0);
  return mode & 0xFFFF;  // only the low 16 bits count
}
}  // namespace

std::string ExtensionOf(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return {};
  if (path.find_first_of("\\:", dot) != std::string::npos) return {};
  return path.substr(dot);
}

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool IsKeyDown(int virtualKey, KeyState from) {
  const SHORT state = from == KeyState::Physical ? GetAsyncKeyState(virtualKey) : GetKeyState(virtualKey);
  return (state & 0x8000) != 0;
}

bool IsTextExtension(const std::string& ext, KeyState ctrl) {
  RegKey extKey;
  if (extKey.Open(HKEY_CURRENT_USER, kTxtExtKey)) {
    // The key replaces the built-in list, even when empty; the empty
    // extension is looked up as the key's default value.
    if (!extKey.ValueExists(ext.c_str())) return false;
  } else if (!InList(kDefaultTextExtensions, ext)) {
    return false;
  }
  extKey.Close();

  switch (ReadTextMode()) {
    case 0:
      return false;
    case 2:
      return IsKeyDown(VK_CONTROL, ctrl);
    default:
      return true;
  }
}

bool IsPictureExtension(const std::string& ext) { return InList(kMultiPictureExtensions, ext); }

Classification ClassifySingleFile(const std::string& path, KeyState ctrl) {
  const std::string ext = UpperAscii(ExtensionOf(path));
  Classification c;
  if (InList(kPictureExtensions, ext)) {
    c.supported = true;
    return c;
  }
  c.pictureItemState = MFS_GRAYED;
  if (IsTextExtension(ext, ctrl)) {
    c.supported = true;
    c.isTextFile = true;
    return c;
  }
  c.supported = ext == kGreyedPictureExtension;
  return c;
}

bool IsSupportedFile(const std::string& path) {
  const Classification c = ClassifySingleFile(path);
  WithState([&](SharedState& s) {
    s.IsTextFile = c.isTextFile;
    s.PictureItemState = c.pictureItemState;
  });
  return c.supported;
}

std::string GetTempDirectory() { return AnsiPathOf(TempFolderPath()); }

}  // namespace ombrelo
