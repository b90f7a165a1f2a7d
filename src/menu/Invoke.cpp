// InvokeCommand: not built yet; no command is carried out.
#include "menu/FolContMenu.h"

namespace ombrelo {

HRESULT TFolContMenu::RunCommand(const CMINVOKECOMMANDINFO*) { return E_FAIL; }

}  // namespace ombrelo
