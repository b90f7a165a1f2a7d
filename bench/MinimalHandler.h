#pragma once
// The smallest handler a shell extension can be: it takes the selection,
// inserts one item and answers its help text, reading nothing. The floor of
// what the shell's calls cost, built like the extension (same runtime).
#include <windows.h>
#include <objbase.h>

namespace bench {

// {B3D8E7A1-5C2F-4E61-9A0B-7D4C1E2F3A58}
inline constexpr CLSID kMinimalClsid = {0xB3D8E7A1, 0x5C2F, 0x4E61, {0x9A, 0x0B, 0x7D, 0x4C, 0x1E, 0x2F, 0x3A, 0x58}};

// A class factory for the minimal handler; the caller owns one reference.
IClassFactory* MakeMinimalFactory();
// Objects and factory references alive (for unloading).
LONG MinimalLiveCount();

}  // namespace bench
