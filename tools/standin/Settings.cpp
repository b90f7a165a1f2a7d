#include "Settings.h"

#include <cstdlib>
#include <vector>

namespace standin {

std::string ExeDirectory() {
  std::vector<char> buffer(32768);
  DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  std::string path(buffer.data(), n);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

namespace {

// The environment variable, else the key of standin.ini; empty when neither is set.
std::string Setting(const char* variable, const char* iniKey) {
  DWORD n = GetEnvironmentVariableA(variable, nullptr, 0);
  if (n > 0) {
    std::string value(n, '\0');
    n = GetEnvironmentVariableA(variable, value.data(), n);
    value.resize(n);
    return value;
  }
  std::string ini = ExeDirectory() + "standin.ini";
  char value[2048] = {};
  GetPrivateProfileStringA("Standin", iniKey, "", value, sizeof(value), ini.c_str());
  return value;
}

DWORD Milliseconds(const std::string& text) {
  return text.empty() ? 0 : static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

Settings ReadSettings() {
  Settings s;
  s.journal = Setting("OMBRELO_STANDIN_JOURNAL", "Journal");
  std::string noPreview = Setting("OMBRELO_STANDIN_NOPREVIEW", "NoPreview");
  s.noPreview = !noPreview.empty() && noPreview != "0";
  s.delayMs = Milliseconds(Setting("OMBRELO_STANDIN_DELAY", "Delay"));
  s.hangMs = Milliseconds(Setting("OMBRELO_STANDIN_HANG", "Hang"));
  std::string crash = Setting("OMBRELO_STANDIN_CRASH", "Crash");
  s.crash = !crash.empty() && crash != "0";
  return s;
}

}  // namespace standin
