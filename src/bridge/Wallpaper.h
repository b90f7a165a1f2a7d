#pragma once
// Desktop wallpaper from the selected picture. A bitmap (the picture itself,
// or the main program's converted copy in "BkgImg") is set directly; any
// other picture gets its style recorded and goes to the main program.
#include <string>

#include "common/FileNames.h"

namespace ombrelo {

// The style verbs of the three wallpaper commands, compared exactly.
inline constexpr char kWallpaperCentered[] = "center";
inline constexpr char kWallpaperTiled[] = "kackeln";
inline constexpr char kWallpaperScaled[] = "vergr\xF6\xDF" "ern";

// A bitmap is set by its full path; the main program's copy is looked for,
// and any other picture is handed over, by the file's ANSI form.
void SetWallpaper(const SelectedFile& file, const std::string& verb);
// A bitmap, which the extension sets as wallpaper itself (by its full path).
bool IsBitmapFile(const SelectedFile& file);
// True when the main program's folder holds a bitmap copy of the picture
// ("BkgImg\<name>.bmp" beside "cmd"); path then names the copy.
bool FindConvertedWallpaper(std::string& path);
// Writes "Wallpaper" and the style values and tells the system.
void ApplyWallpaper(const std::wstring& bitmapPath, const char* style, const char* tile);
// Writes "TileWallpaper" = tile, then "WallpaperStyle" = style.
void WriteWallpaperStyle(const char* style, const char* tile);

}  // namespace ombrelo
