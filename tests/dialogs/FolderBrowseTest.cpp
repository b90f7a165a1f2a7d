// The folder browser, driven through the shell's real browse window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "dialogs/UFBrowse.h"
#include "support/TestSupport.h"
#include "support/Windows.h"

using namespace ombrelo;
using testsupport::FindChild;
using testsupport::WindowWatcher;

namespace {

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[MAX_PATH] = {};
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof(text);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

// The selected item once the browser has selected the item named `name`
// (it does so after it has opened), or null when it does not in time.
HTREEITEM SelectedOnce(HWND tree, const std::string& name) {
  HTREEITEM item = nullptr;
  testsupport::WaitUntil(
      [&] {
        item = TreeView_GetSelection(tree);
        return item && ItemText(tree, item) == name;
      },
      std::chrono::seconds(10));
  return item && ItemText(tree, item) == name ? item : nullptr;
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::string& name) {
  TreeView_Expand(tree, parent, TVE_EXPAND);
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item; item = TreeView_GetNextSibling(tree, item))
    if (ItemText(tree, item) == name) return item;
  return nullptr;
}

std::string LongPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
  return n && n < MAX_PATH ? std::string(buffer, n) : path;
}

void Press(HWND dialog, int id) { testsupport::Click(GetDlgItem(dialog, id)); }

// Wine's browser builds its view of the drives on its first use in a process
// and may then miss the folder it is asked to select: a first browser,
// cancelled, comes before any that is checked.
void SettleBrowser() {
  static bool settled = false;
  if (settled) return;
  settled = true;
  TFolderBrowse browse(nullptr);
  browse.Directory = "C:\\windows";
  WindowWatcher watcher("#32770", nullptr, [](HWND dialog) { Press(dialog, IDCANCEL); });
  browse.Execute(nullptr);
  watcher.Join();
}

// Runs Execute while the watcher answers the browser with `act`(dialog, tree).
bool Browse(TFolderBrowse& browse, const std::function<void(HWND, HWND)>& act, std::string* seen = nullptr) {
  SettleBrowser();
  WindowWatcher watcher("#32770", nullptr, [&](HWND dialog) {
    HWND tree = FindChild(dialog, "SysTreeView32", nullptr);
    act(dialog, tree);
  });
  bool result = browse.Execute(nullptr);
  EXPECT_TRUE(watcher.Join()) << "the browser did not appear";
  if (seen) *seen = watcher.Seen();
  return result;
}

// A folder with a subfolder, at the top of drive C: (Wine's browser does not
// always find a new folder below the profile's temporary folder on its first use).
struct Folders {
  std::string base = "C:\\ombrelo_browse_" + std::to_string(GetCurrentProcessId());
  std::string pick = base + "\\pick";
  std::string child = pick + "\\child";
  Folders() {
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA(pick.c_str(), nullptr);
    CreateDirectoryA(child.c_str(), nullptr);
  }
  ~Folders() {
    RemoveDirectoryA(child.c_str());
    RemoveDirectoryA(pick.c_str());
    RemoveDirectoryA(base.c_str());
  }
};

}  // namespace

TEST(FolderBrowse, PreselectsDirectoryAndShowsTheTitle) {
  Folders f;
  TFolderBrowse browse(nullptr);
  browse.Directory = f.pick;
  browse.Title = "Where is Ombrelo installed?";
  std::string selected, seen;
  bool ok = Browse(
      browse,
      [&](HWND dialog, HWND tree) {
        if (tree && SelectedOnce(tree, "pick")) selected = "pick";
        Press(dialog, IDOK);
      },
      &seen);
  EXPECT_EQ("pick", selected);
  EXPECT_NE(std::string::npos, seen.find("Where is Ombrelo installed?")) << seen;
  EXPECT_TRUE(ok);
  EXPECT_EQ(LongPath(f.pick), browse.Directory);
}

TEST(FolderBrowse, ReturnsTheChosenFolderWithoutATrailingBackslash) {
  Folders f;
  TFolderBrowse browse(nullptr);
  browse.Directory = f.pick;
  bool ok = Browse(browse, [&](HWND dialog, HWND tree) {
    if (tree)
      if (HTREEITEM pick = SelectedOnce(tree, "pick"))
        if (HTREEITEM child = ChildNamed(tree, pick, "child")) TreeView_SelectItem(tree, child);
    Press(dialog, IDOK);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(LongPath(f.child), browse.Directory);
}

TEST(FolderBrowse, ReturnsADriveRootWithItsBackslash) {
  TFolderBrowse browse(nullptr);
  browse.Directory = "C:\\windows";
  bool ok = Browse(browse, [&](HWND dialog, HWND tree) {
    if (tree)
      if (HTREEITEM windows = SelectedOnce(tree, "windows"))
        if (HTREEITEM drive = TreeView_GetParent(tree, windows)) TreeView_SelectItem(tree, drive);
    Press(dialog, IDOK);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ("C:\\", browse.Directory);
}

TEST(FolderBrowse, CancelKeepsDirectory) {
  Folders f;
  TFolderBrowse browse(nullptr);
  browse.Directory = f.pick;
  bool ok = Browse(browse, [&](HWND dialog, HWND) { Press(dialog, IDCANCEL); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(f.pick, browse.Directory);

  browse.Directory.clear();  // no preselection: the browser still opens
  ok = Browse(browse, [&](HWND dialog, HWND) { Press(dialog, IDCANCEL); });
  EXPECT_FALSE(ok);
  EXPECT_EQ("", browse.Directory);
}
