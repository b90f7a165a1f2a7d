#pragma once
// Command line of the host.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace host {

// {67C63340-679B-11D2-92EE-000021474C15}, the Ombrelo context-menu handler.
inline constexpr const char kDefaultClsid[] = "{67C63340-679B-11D2-92EE-000021474C15}";
// {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}, the Ombrelo command of the Windows 11 menu (--modern).
inline constexpr const char kDefaultModernClsid[] = "{06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}";

struct Options {
  std::vector<std::wstring> files;
  CLSID clsid{};
  std::string clsidText;                 // kDefaultClsid, or kDefaultModernClsid with --modern
  bool modern = false;                   // drive an IExplorerCommand as the Windows 11 menu does
  bool classicSite = false;              // --modern: give it the site of the classic menu instead
  std::wstring dll;                      // load this DLL directly instead of CoCreateInstance
  bool ctrl = false;                     // hold Ctrl while the handler looks at the selection
  std::wstring screenshot;               // PNG file to write
  std::optional<std::string> open;       // caption path of the submenu to open for the screenshot
  std::optional<std::string> invokePath; // caption path of the command to invoke
  std::optional<UINT> invokeOffset;      // command offset to invoke
  std::vector<std::string> watchKeys;    // registry keys to compare around the command
  UINT flags = CMF_NORMAL | CMF_CANRENAME;
  DWORD waitMs = 500;                    // how long to watch after the command returned
  DWORD dialogTimeoutMs = 10000;         // a dialog the command shows is closed after this
  std::wstring waitForWindow;            // window class to wait for before the right-click
  bool printTree = true;
  bool help = false;
};

// Parses the arguments (without the program name). On a usage error returns
// nullopt and puts the reason into `error`.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::string& error);

const char* UsageText();

}  // namespace host
