#include "Resources.h"

#include <sstream>
#include <vector>

#include "support/TestSupport.h"

namespace bench {

namespace {

// The TLS indexes in use: all the system has, less those still free (taken
// here one by one until none is left, then given back).
long TlsIndexesInUse() {
  std::vector<DWORD> taken;
  for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
  for (DWORD index : taken) TlsFree(index);
  return static_cast<long>(TLS_MINIMUM_AVAILABLE + 1024) - static_cast<long>(taken.size());
}

long long AddressSpaceInUse() {
  long long bytes = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (const char* at = nullptr; VirtualQuery(at, &info, sizeof(info)) == sizeof(info);) {
    if (info.State != MEM_FREE) bytes += static_cast<long long>(info.RegionSize);
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return bytes;
}

}  // namespace

Resources CountResources() {
  Resources r;
  r.gui = testsupport::CountGuiResources();
  r.kernelHandles = static_cast<long>(testsupport::CountKernelHandles());
  r.privateBytes = static_cast<long long>(testsupport::PrivateBytes());
  r.addressSpace = AddressSpaceInUse();
  r.tlsInUse = TlsIndexesInUse();
  return r;
}

Growth GrowthBetween(const Resources& before, const Resources& after) {
  Growth g;
  g.privateBytes = after.privateBytes - before.privateBytes;
  g.addressSpace = after.addressSpace - before.addressSpace;
  g.tlsIndexes = after.tlsInUse - before.tlsInUse;
  g.kernelHandles = after.kernelHandles - before.kernelHandles;
  g.gdi = after.gui.gdi - before.gui.gdi;
  g.user = after.gui.user - before.gui.user;
  g.menus = after.gui.menus - before.gui.menus;
  g.icons = after.gui.icons - before.gui.icons;
  g.bitmaps = after.gui.bitmaps - before.gui.bitmaps;
  g.dcs = after.gui.dcs - before.gui.dcs;
  return g;
}

std::string Describe(const Growth& g) {
  std::ostringstream s;
  s << "memory " << g.privateBytes << " bytes, address space " << g.addressSpace << " bytes, TLS indexes "
    << g.tlsIndexes << ", kernel handles " << g.kernelHandles << ", GDI objects " << g.gdi
    << " (bitmaps " << g.bitmaps << ", DCs " << g.dcs << "), USER objects " << g.user << " (menus " << g.menus
    << ", icons " << g.icons << ")";
  return s.str();
}

}  // namespace bench
