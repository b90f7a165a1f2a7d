// Menu messages: not built yet; every message is ignored.
#include "menu/FolContMenu.h"

namespace ombrelo {

HRESULT TFolContMenu::HandleMenuMessage(UINT, WPARAM, LPARAM, LRESULT*) { return S_OK; }
HRESULT TFolContMenu::MeasurePreviewItem(MEASUREITEMSTRUCT*) { return S_OK; }
HRESULT TFolContMenu::DrawPreviewItem(const DRAWITEMSTRUCT*) { return S_OK; }

}  // namespace ombrelo
