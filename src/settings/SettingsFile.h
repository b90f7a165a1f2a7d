#pragma once
// The per-user settings file "Ombrelo.ini" in the application-data folder.
// Its folder comes from the system in UTF-16 and the file is read through
// that path: a folder named outside the ANSI code page is never mistaken for
// its best-fit neighbour (C:\Users\Łukasz for C:\Users\Lukasz).
#include <windows.h>

#include <string>

namespace ombrelo {

// The path of a special folder (CSIDL), empty on failure.
std::wstring SpecialFolderPath(int csidl);
// Its ANSI form (common/FileNames.h), empty when it has none.
std::string GetSpecialFolderPath(int csidl);
// The application-data folder (or the host executable's folder) + "\Kestrani\Ombrelo\".
std::wstring SettingsFolder();
// Computed once at module start-up, cleared at shutdown.
void InitSettingsFilePath();
void ClearSettingsFilePath();
std::wstring SettingsFilePath();
// Its ANSI form, empty when it has none.
std::string GetSettingsFilePath();

}  // namespace ombrelo
