// QueryContextMenu: not built yet; the handler adds nothing.
#include "menu/FolContMenu.h"

namespace ombrelo {

HRESULT TFolContMenu::BuildMenu(HMENU, UINT, UINT, UINT, UINT) { return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0); }

}  // namespace ombrelo
