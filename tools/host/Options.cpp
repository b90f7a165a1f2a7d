#include "Options.h"

#include <shlobj.h>

#include <cwchar>

#include "Text.h"

namespace host {

const char* UsageText() {
  return "Usage: shellmenu-host [options] FILE...\n"
         "Right-clicks the files as Explorer does: creates the context-menu handler, hands it\n"
         "the selection (CF_HDROP), lets it extend a popup menu and prints the menu tree with\n"
         "the command offsets, item states and status-bar help texts.\n"
         "\n"
         "  --clsid {GUID}         handler class (default {67C63340-679B-11D2-92EE-000021474C15},\n"
         "                         with --modern {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C})\n"
         "  --dll PATH             load the handler from this DLL (DllGetClassObject) without\n"
         "                         registering it\n"
         "  --modern               right-click as the Windows 11 menu does: the class is an\n"
         "                         IExplorerCommand, given the files as a shell item array; prints\n"
         "                         its command tree; --invoke PATH runs one of its commands\n"
         "  --classic-site         with --modern: the command's site is a classic context menu, as\n"
         "                         when Windows 11 lists it under \"Show more options\"\n"
         "  --ctrl                 hold Ctrl while the handler takes the selection and builds its menu\n"
         "  --no-tree              do not print the menu tree\n"
         "  --flags N              QueryContextMenu flags (default 0x10, CMF_CANRENAME)\n"
         "  --screenshot FILE.png  show the menu, open a submenu by keyboard, save the open menus\n"
         "  --open PATH            submenu to open for the screenshot, as a caption path\n"
         "                         (default: the first submenu the handler added)\n"
         "  --invoke PATH          invoke a command by caption path, e.g. \"&Tools/Copy &name\"\n"
         "                         (ampersands may be left out; text after a tab may be left out)\n"
         "  --invoke-offset N      invoke the command with this offset\n"
         "  --watch-key KEY        registry key compared before and after the command, e.g.\n"
         "                         HKCU\\Software\\Maker\\Program (repeatable; default:\n"
         "                         HKCU\\Software\\Kestrani\\Ombrelo and HKCU\\Control Panel\\desktop)\n"
         "  --wait MS              how long to watch after InvokeCommand returned (default 500)\n"
         "  --dialog-timeout MS    close a dialog the command shows after this long (default 10000)\n"
         "  --wait-for-window CLASS  before the right-click, wait up to 20 s for a window of this\n"
         "                         class (a program the handler talks to, started just before)\n"
         "\n"
         "Exit codes: 0 done, 1 bad input, 2 the handler could not be created or failed,\n"
         "3 InvokeCommand failed.\n";
}

namespace {
bool ParseNumber(const std::wstring& text, unsigned long& value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  value = std::wcstoul(text.c_str(), &end, 0);
  return end && *end == L'\0' && text[0] != L'-';
}
}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::string& error) {
  Options o;
  std::vector<std::string> watch;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&](std::wstring& out) {
      if (i + 1 >= args.size()) {
        error = Utf8(a) + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto number = [&](unsigned long& out) {
      std::wstring text;
      if (!value(text)) return false;
      if (!ParseNumber(text, out)) {
        error = Utf8(a) + " needs a number, not \"" + Utf8(text) + "\"";
        return false;
      }
      return true;
    };
    std::wstring text;
    unsigned long n = 0;
    if (a == L"--help" || a == L"-h" || a == L"/?") {
      o.help = true;
    } else if (a == L"--clsid") {
      if (!value(text)) return std::nullopt;
      o.clsidText = Utf8(text);
    } else if (a == L"--dll") {
      if (!value(o.dll)) return std::nullopt;
    } else if (a == L"--modern") {
      o.modern = true;
    } else if (a == L"--classic-site") {
      o.classicSite = true;
    } else if (a == L"--no-tree") {
      o.printTree = false;
    } else if (a == L"--ctrl") {
      o.ctrl = true;
    } else if (a == L"--flags") {
      if (!number(n)) return std::nullopt;
      o.flags = static_cast<UINT>(n);
    } else if (a == L"--screenshot") {
      if (!value(o.screenshot)) return std::nullopt;
    } else if (a == L"--open") {
      if (!value(text)) return std::nullopt;
      o.open = Utf8(text);
    } else if (a == L"--invoke") {
      if (!value(text)) return std::nullopt;
      o.invokePath = Utf8(text);
    } else if (a == L"--invoke-offset") {
      if (!number(n)) return std::nullopt;
      o.invokeOffset = static_cast<UINT>(n);
    } else if (a == L"--watch-key") {
      if (!value(text)) return std::nullopt;
      watch.push_back(Utf8(text));
    } else if (a == L"--wait") {
      if (!number(n)) return std::nullopt;
      o.waitMs = n;
    } else if (a == L"--wait-for-window") {
      if (!value(o.waitForWindow)) return std::nullopt;
    } else if (a == L"--dialog-timeout") {
      if (!number(n)) return std::nullopt;
      o.dialogTimeoutMs = n;
    } else if (a.size() > 1 && a[0] == L'-' && a[1] == L'-') {
      error = "unknown option " + Utf8(a);
      return std::nullopt;
    } else {
      o.files.push_back(a);
    }
  }
  if (o.help) return o;
  if (o.files.empty()) {
    error = "no file given";
    return std::nullopt;
  }
  if (o.invokePath && o.invokeOffset) {
    error = "give --invoke or --invoke-offset, not both";
    return std::nullopt;
  }
  if (o.modern && (o.invokeOffset || !o.screenshot.empty() || o.open)) {
    error = "--modern takes --invoke PATH; it has no command offsets and no menu to show";
    return std::nullopt;
  }
  if (o.classicSite && !o.modern) {
    error = "--classic-site goes with --modern";
    return std::nullopt;
  }
  if (o.clsidText.empty()) o.clsidText = o.modern ? kDefaultModernClsid : kDefaultClsid;
  if (FAILED(CLSIDFromString(Wide(o.clsidText).c_str(), &o.clsid))) {
    error = "not a class identifier: " + o.clsidText + " (expected {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx})";
    return std::nullopt;
  }
  o.watchKeys = watch.empty() ? std::vector<std::string>{"HKCU\\Software\\Kestrani\\Ombrelo",
                                                         "HKCU\\Control Panel\\desktop"}
                              : watch;
  return o;
}

}  // namespace host
