// What an installation left on the machine, printed for the package tests:
//   install_probe registry CLSID...   every key and value of these classes and
//                                     their context-menu handlers, in the
//                                     machine's and the user's classes, and
//                                     their "Approved" entries, in both views
//   install_probe products UPGRADECODE  the installed products of one package
//                                     kind: product code and version
// One line each, sorted, so that two listings compare with diff.
#include <windows.h>
#include <msi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct View {
  const char* name;
  REGSAM flag;
};
const View kViews[] = {{"64", KEY_WOW64_64KEY}, {"32", KEY_WOW64_32KEY}};

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::string text(reinterpret_cast<const char*>(data.data()), size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }
  if (type == REG_DWORD && size == 4) return "dword:" + std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
  return "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes";
}

// The key, its values and its subkeys, one line each.
void ListTree(const View& view, HKEY root, const std::string& rootName, const std::string& path,
              std::vector<std::string>& lines) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view.flag, &key) != ERROR_SUCCESS) return;
  const std::string where = std::string(view.name) + " " + rootName + "\\" + path;
  lines.push_back(where);
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLen = sizeof(name);
    std::vector<BYTE> data(65536);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    lines.push_back(where + " " + (nameLen ? name : "@") + "=" + ValueText(type, data, size));
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLen = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& sub : subkeys) ListTree(view, root, rootName, path + "\\" + sub, lines);
}

void ListValue(const View& view, HKEY root, const std::string& rootName, const std::string& path,
               const std::string& name, std::vector<std::string>& lines) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view.flag, &key) != ERROR_SUCCESS) return;
  std::vector<BYTE> data(65536);
  DWORD size = static_cast<DWORD>(data.size()), type = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
    lines.push_back(std::string(view.name) + " " + rootName + "\\" + path + " " + name + "=" +
                    ValueText(type, data, size));
  RegCloseKey(key);
}

int Registry(int argc, char** argv) {
  std::vector<std::string> lines;
  for (int i = 2; i < argc; ++i) {
    const std::string id = argv[i];
    for (const View& view : kViews) {
      for (auto [root, rootName] : {std::pair{HKEY_LOCAL_MACHINE, "HKLM"}, std::pair{HKEY_CURRENT_USER, "HKCU"}}) {
        ListTree(view, root, rootName, "Software\\Classes\\CLSID\\" + id, lines);
        ListTree(view, root, rootName, "Software\\Classes\\*\\shellex\\ContextMenuHandlers\\" + id, lines);
      }
      ListValue(view, HKEY_LOCAL_MACHINE, "HKLM",
                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", id, lines);
    }
  }
  std::sort(lines.begin(), lines.end());
  for (const auto& line : lines) std::printf("%s\n", line.c_str());
  return 0;
}

int Products(const char* upgradeCode) {
  std::vector<std::string> lines;
  char product[39];
  for (DWORD i = 0; MsiEnumRelatedProductsA(upgradeCode, 0, i, product) == ERROR_SUCCESS; ++i) {
    char version[64] = {};
    DWORD size = sizeof(version);
    MsiGetProductInfoA(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
    lines.push_back(std::string(product) + " " + version);
  }
  std::sort(lines.begin(), lines.end());
  for (const auto& line : lines) std::printf("%s\n", line.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "registry") return Registry(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "products") return Products(argv[2]);
  std::fprintf(stderr, "usage: install_probe registry CLSID... | products UPGRADECODE\n");
  return 2;
}
