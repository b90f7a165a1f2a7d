#pragma once
// Registration of the handler: the class, its in-process server, the
// "Approved" entry and the context-menu handler for files of every type.
#include <windows.h>

#include <string>

namespace ombrelo {

inline constexpr const char kHandlerDescription[] = "Vantisk Extensions";
inline constexpr const char kApprovedKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// "{67C63340-679B-11D2-92EE-000021474C15}"
std::string ClassIdString();
// The full path of this module, enclosed in double quotes when it holds a blank.
std::string ServerFileName();

// Writes every entry in order; E_FAIL when a step fails (entries written
// before it stay). A missing right to the "Approved" key only skips that entry.
HRESULT RegisterServer(const std::string& serverFileName);
// Removes the entries; missing ones are ignored.
HRESULT UnregisterServer();

}  // namespace ombrelo
