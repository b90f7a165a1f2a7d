#pragma once
// The per-user settings file "Ombrelo.ini" in the application-data folder.
#include <windows.h>

#include <string>

namespace ombrelo {

// The path of a special folder (CSIDL), empty on failure.
std::string GetSpecialFolderPath(int csidl);
// The application-data folder (or the host executable's folder) + "\Kestrani\Ombrelo\".
std::string GetSettingsFolder();
// Computed once at module start-up, cleared at shutdown.
void InitSettingsFilePath();
void ClearSettingsFilePath();
std::string GetSettingsFilePath();

}  // namespace ombrelo
