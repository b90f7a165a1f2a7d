#include "Resources.h"

#include <sstream>

#include "support/TestSupport.h"

namespace bench {

Resources CountResources() {
  Resources r;
  r.gui = testsupport::CountGuiResources();
  r.kernelHandles = static_cast<long>(testsupport::CountKernelHandles());
  r.privateBytes = static_cast<long long>(testsupport::PrivateBytes());
  return r;
}

Growth GrowthBetween(const Resources& before, const Resources& after) {
  Growth g;
  g.privateBytes = after.privateBytes - before.privateBytes;
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
  s << "memory " << g.privateBytes << " bytes, kernel handles " << g.kernelHandles << ", GDI objects " << g.gdi
    << " (bitmaps " << g.bitmaps << ", DCs " << g.dcs << "), USER objects " << g.user << " (menus " << g.menus
    << ", icons " << g.icons << ")";
  return s.str();
}

}  // namespace bench
