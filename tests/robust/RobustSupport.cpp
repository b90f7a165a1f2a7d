#include "RobustSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>

#include "support/TestSupport.h"

namespace robust {

namespace {

uint32_t ReadSeed() {
  if (const char* text = std::getenv("OMBRELO_SEED"); text && *text) return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(now ^ (now >> 32) ^ GetCurrentProcessId());
}

// Names the seed at the start and again beside every failing case.
class SeedReport : public testing::EmptyTestEventListener {
 public:
  void OnTestProgramStart(const testing::UnitTest&) override {
    std::cout << "Robustness run: seed " << RunSeed() << ", scale " << Scale()
              << " (repeat with OMBRELO_SEED=" << RunSeed() << ")" << std::endl;
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    if (info.result()->Failed())
      std::cout << "  repeat: OMBRELO_SEED=" << RunSeed() << " --gtest_filter=" << info.test_suite_name() << "."
                << info.name() << std::endl;
  }
};

class SeedEnvironment : public testing::Environment {
 public:
  SeedEnvironment() { testing::UnitTest::GetInstance()->listeners().Append(new SeedReport); }
};

testing::Environment* const kSeedEnvironment = testing::AddGlobalTestEnvironment(new SeedEnvironment);

}  // namespace

uint32_t RunSeed() {
  static const uint32_t seed = ReadSeed();
  return seed;
}

int Scale() {
  static const int scale = [] {
    const char* text = std::getenv("OMBRELO_STRESS");
    int value = text ? std::atoi(text) : 1;
    return value < 1 ? 1 : value;
  }();
  return scale;
}

int Rounds(int base) { return base * Scale(); }

Rng CaseRng() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
  std::seed_seq seq{RunSeed(), static_cast<uint32_t>(std::hash<std::string>{}(name))};
  return Rng(seq);
}

int Between(Rng& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

bool Chance(Rng& rng, int percent) { return Between(rng, 0, 99) < percent; }

std::string RandomBytes(Rng& rng, size_t count) {
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(Between(rng, 0, 255));
  return bytes;
}

std::wstring FromAnsi(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

namespace {
std::string Header(bool wide) {
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = wide;
  return std::string(reinterpret_cast<const char*>(&header), sizeof(header));
}
}  // namespace

std::string DropBlock(const std::vector<std::string>& names, bool wide) {
  if (wide) {
    std::vector<std::wstring> converted;
    for (const std::string& name : names) converted.push_back(FromAnsi(name));
    return WideDropBlock(converted);
  }
  std::string block = Header(false);
  for (const std::string& name : names) block.append(name).push_back('\0');
  block.push_back('\0');
  return block;
}

std::string WideDropBlock(const std::vector<std::wstring>& names) {
  std::string block = Header(true);
  for (std::wstring name : names) {
    name.push_back(L'\0');
    block.append(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
  }
  block.append(sizeof(wchar_t), '\0');
  return block;
}

const CLSID kHandlerClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};

namespace {
template <class F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

ExtensionDll::ExtensionDll() : module_(LoadLibraryA(testsupport::DllPath().c_str())) {
  if (FAILED(GetClassObject(kHandlerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory_))))
    factory_ = nullptr;
}

ExtensionDll::~ExtensionDll() {
  ReleaseFactory();
  if (module_) FreeLibrary(module_);
}

HRESULT ExtensionDll::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const {
  auto get = module_ ? Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(module_, "DllGetClassObject") : nullptr;
  return get ? get(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT ExtensionDll::CanUnloadNow() const {
  auto can = module_ ? Export<HRESULT(WINAPI*)()>(module_, "DllCanUnloadNow") : nullptr;
  return can ? can() : E_UNEXPECTED;
}

void ExtensionDll::ReleaseFactory() {
  if (factory_) factory_->Release();
  factory_ = nullptr;
}

}  // namespace robust
