// GetCommandString: not built yet; no help texts.
#include "menu/FolContMenu.h"

namespace ombrelo {

HRESULT TFolContMenu::HelpText(UINT_PTR, UINT, CHAR*, UINT) { return E_INVALIDARG; }

}  // namespace ombrelo
