#pragma once
// What counts as noise in the resources of a process after thousands of
// right-clicks, for the benchmark's verdict and for the leak test: a handle
// or object lost per right-click shows as thousands, a few bytes per
// right-click as many kilobytes.
#include "Resources.h"

namespace bench {

inline constexpr long kHandleNoise = 3;           // kernel handles, GDI objects, USER objects
inline constexpr long long kMemoryNoise = 512 * 1024;  // bytes of committed memory

inline bool WithinNoise(const Growth& g) {
  return g.kernelHandles <= kHandleNoise && g.gdi <= kHandleNoise && g.user <= kHandleNoise &&
         g.privateBytes <= kMemoryNoise;
}

}  // namespace bench
