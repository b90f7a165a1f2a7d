#pragma once
// What a long-running host would run out of: committed memory, address
// space, TLS indexes, kernel handles, GDI and USER objects of this process. Wine's GetGuiResources
// answers 0, so GDI and USER objects are counted by probing every handle
// index (see support/GdiCount.h).
#include <windows.h>

#include <string>

#include "support/GdiCount.h"

namespace bench {

struct Resources {
  long long privateBytes = 0;
  long long addressSpace = 0;  // reserved and committed
  long tlsInUse = 0;           // TLS indexes taken (of the system's fixed number)
  long kernelHandles = 0;
  testsupport::GuiResources gui;
};

Resources CountResources();

struct Growth {
  long long privateBytes = 0, addressSpace = 0;
  long tlsIndexes = 0, kernelHandles = 0, gdi = 0, user = 0, menus = 0, icons = 0, bitmaps = 0, dcs = 0;
};
Growth GrowthBetween(const Resources& before, const Resources& after);
std::string Describe(const Growth& g);

}  // namespace bench
