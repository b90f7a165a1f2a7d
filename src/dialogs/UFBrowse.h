#pragma once
// TFolderBrowse: picks a file-system folder with the shell's folder browser.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "ui/Component.h"

namespace ombrelo {

class TFolderBrowse : public ui::TComponent {
 public:
  explicit TFolderBrowse(ui::TComponent* owner);
  std::string ClassName() const override { return "TFolderBrowse"; }

  // Before Execute: the folder to preselect (empty: none). After a
  // successful Execute: the chosen folder (a drive root keeps its backslash).
  std::string Directory;
  // The text shown above the folder tree.
  std::string Title;

  // Shows the browser modally; true when a folder with a path was confirmed.
  bool Execute(HWND owner);
  static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);

 private:
  BROWSEINFOA info_{};
  char displayName_[MAX_PATH + 2] = {};
};

}  // namespace ombrelo
