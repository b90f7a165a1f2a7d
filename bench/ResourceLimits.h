#pragma once
// What counts as noise in the resources of a process after thousands of
// right-clicks, for the benchmark's verdict and for the leak test: a handle
// or object lost per right-click shows as thousands, a few bytes per
// right-click as many kilobytes.
#include "Resources.h"

namespace bench {

inline constexpr long kHandleNoise = 3;           // kernel handles, GDI objects, USER objects
inline constexpr long long kMemoryNoise = 512 * 1024;  // bytes of committed memory
// Reserved address space grows in the heap's and the system's large steps.
inline constexpr long long kAddressNoise = 4 * 1024 * 1024;

// TLS indexes are few (1,088) and never noise: none may be lost.
inline bool CountsWithinNoise(const Growth& g) {
  return g.tlsIndexes <= 0 && g.kernelHandles <= kHandleNoise && g.gdi <= kHandleNoise && g.user <= kHandleNoise;
}

inline bool WithinNoise(const Growth& g) {
  return CountsWithinNoise(g) && g.privateBytes <= kMemoryNoise && g.addressSpace <= kAddressNoise;
}

// Thousands of loads and unloads: committed memory is counted in pages, so
// 128 KiB over 3,000 cycles is under 44 bytes a cycle: a block lost per
// load, of any size, shows (both builds measure 0 to 12 KiB in all).
// Address space within the same large steps as above.
inline constexpr long long kLoadCycleMemoryNoise = 128 * 1024;

inline bool LoadCycleWithinNoise(const Growth& g) {
  return CountsWithinNoise(g) && g.privateBytes <= kLoadCycleMemoryNoise && g.addressSpace <= kAddressNoise;
}

}  // namespace bench
