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
// The full UTF-16 path of this module, enclosed in double quotes when it holds a blank.
std::wstring ServerFileName();

// Where the class and handler keys go: the classes root (DllRegisterServer),
// or the current user's own classes (HKEY_CURRENT_USER\Software\Classes),
// which need no admin rights and get no "Approved" entry. Per-user keys are
// written there explicitly: a new key written through HKEY_CLASSES_ROOT
// lands in the machine's classes.
enum class RegistrationScope { ClassesRoot, CurrentUser };

// Writes every entry in order; E_FAIL when a step fails (entries written
// before it stay). A missing right to the "Approved" key only skips that entry.
HRESULT RegisterServer(const std::wstring& serverFileName, RegistrationScope scope = RegistrationScope::ClassesRoot);
// Removes the entries; missing ones are ignored.
HRESULT UnregisterServer(RegistrationScope scope = RegistrationScope::ClassesRoot);

// DllInstall: the command line "user" (any case) registers or removes the
// current user's entries (regsvr32 /n /i:user, regsvr32 /u /n /i:user);
// E_INVALIDARG for any other.
HRESULT InstallForCommandLine(bool install, const wchar_t* commandLine);

}  // namespace ombrelo
