#include "bridge/Wallpaper.h"

#include <windows.h>

#include "bridge/Channel.h"
#include "bridge/PathParts.h"
#include "settings/Registry.h"

namespace ombrelo {

using namespace pathparts;

namespace {

struct WallpaperStyle {
  const char* verb;
  const char* style;  // "WallpaperStyle"
  const char* tile;   // "TileWallpaper"
};

// Tried in this order; at most one matches. Tiling is expressed by the
// style alone, so "TileWallpaper" is always "0".
constexpr WallpaperStyle kStyles[] = {
    {kWallpaperScaled, "2", "0"},
    {kWallpaperTiled, "1", "0"},
    {kWallpaperCentered, "0", "0"},
};

const WallpaperStyle* FindStyle(const std::string& verb) {
  for (const WallpaperStyle& s : kStyles)
    if (verb == s.verb) return &s;
  return nullptr;
}

}  // namespace

void WriteWallpaperStyle(const char* style, const char* tile) {
  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, kDesktopKey)) return;
  key.WriteString("TileWallpaper", tile);
  key.WriteString("WallpaperStyle", style);
}

void ApplyWallpaper(const std::wstring& bitmapPath, const char* style, const char* tile) {
  {
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, kDesktopKey)) key.WriteWideString(L"Wallpaper", bitmapPath);
  }
  WriteWallpaperStyle(style, tile);
  SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(bitmapPath.c_str()),
                        SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

bool FindConvertedWallpaper(std::string& path) {
  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, kProgramKey)) return false;
  // Read in UTF-16: an ANSI read would give a folder outside the code page
  // as its best-fit neighbour, another program's folder.
  std::optional<std::wstring> program = key.ReadWideString(L"cmd");
  key.Close();
  if (!program) return false;
  // Only a "cmd" with a folder names a place to look; a bare name would
  // make the copy relative to whatever the host's current folder is.
  const std::wstring folder = Folder(*program);
  if (folder.empty()) return false;
  const std::wstring candidate = folder + L"BkgImg\\" + WideFromAnsi(WithExtension(FileName(path), ".bmp"));
  const DWORD attributes = GetFileAttributesW(candidate.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Passed on by its ANSI form; a copy that has none is not used.
  const std::string found = AnsiPathOf(candidate);
  if (found.empty()) return false;
  path = found;
  return true;
}

bool IsBitmapFile(const SelectedFile& file) { return UpperAscii(AnsiExtensionOf(file.Path)) == ".BMP"; }

void SetWallpaper(const SelectedFile& file, const std::string& verb) {
  const WallpaperStyle* style = FindStyle(verb);
  if (IsBitmapFile(file)) {
    if (style) ApplyWallpaper(file.Path, style->style, style->tile);
    return;
  }
  // The main program made its copy, and takes the picture, by the ANSI name.
  if (!file.HasAnsi()) return;
  std::string bitmap = file.Ansi;
  if (FindConvertedWallpaper(bitmap)) {
    if (style) ApplyWallpaper(WideFromAnsi(bitmap), style->style, style->tile);
    return;
  }
  if (style) WriteWallpaperStyle(style->style, style->tile);
  SendMainProgramCommand(file.Ansi, "wallpaper");
}

}  // namespace ombrelo
