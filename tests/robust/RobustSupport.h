#pragma once
// Shared by the robustness tests: the run's seed and scale, random inputs
// drawn from them, and the bytes of CF_HDROP blocks.
//
// Every case draws its inputs from a generator seeded with the run's seed and
// the case's name, so a failing case repeats alone:
//   OMBRELO_SEED=<seed printed by the run> <program> --gtest_filter=<case>
// OMBRELO_STRESS multiplies the number of rounds (1 in CI; scripts/stress.sh
// runs larger values).
#include <windows.h>
#include <objidl.h>
#include <unknwn.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace robust {

using Rng = std::mt19937;

uint32_t RunSeed();
int Scale();
// base rounds times the scale.
int Rounds(int base);
// A generator for the running test case: the run's seed mixed with its name.
Rng CaseRng();

// Uniform integer in [low, high].
int Between(Rng& rng, int low, int high);
bool Chance(Rng& rng, int percent);
std::string RandomBytes(Rng& rng, size_t count);
template <class T>
const T& Pick(Rng& rng, const std::vector<T>& items) {
  return items[static_cast<size_t>(Between(rng, 0, static_cast<int>(items.size()) - 1))];
}

// An ANSI (code page of the process) text as UTF-16.
std::wstring FromAnsi(const std::string& ansi);

// The bytes of a CF_HDROP block: a DROPFILES header with pFiles = its size,
// then the names, each ended by a NUL, and the closing empty name. ANSI
// names go into a wide list converted from the ANSI code page.
std::string DropBlock(const std::vector<std::string>& names, bool wide);
std::string WideDropBlock(const std::vector<std::wstring>& names);

// The extension DLL loaded as the shell loads it, with its class factory
// from DllGetClassObject (one reference, given back by ReleaseFactory or at
// destruction) and its unload export.
class ExtensionDll {
 public:
  ExtensionDll();
  ~ExtensionDll();
  ExtensionDll(const ExtensionDll&) = delete;
  ExtensionDll& operator=(const ExtensionDll&) = delete;
  IClassFactory* factory() const { return factory_; }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
  HRESULT CanUnloadNow() const;
  void ReleaseFactory();

 private:
  HMODULE module_ = nullptr;
  IClassFactory* factory_ = nullptr;
};

extern const CLSID kHandlerClsid;

}  // namespace robust
