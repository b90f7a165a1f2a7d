// Placeholder until the folder browser is built: behaves as a cancel.
#include "dialogs/UFBrowse.h"

namespace ombrelo {

TFolderBrowse::TFolderBrowse(ui::TComponent* owner) : ui::TComponent(owner) {}

bool TFolderBrowse::Execute(HWND) { return false; }

int CALLBACK TFolderBrowse::BrowseCallback(HWND, UINT, LPARAM, LPARAM) { return 0; }

}  // namespace ombrelo
