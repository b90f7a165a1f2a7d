// The selection's file list read in one pass gives exactly what
// DragQueryFileA gives name by name: checked against the real function over
// generated lists, ANSI and wide.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <random>

#include "menu/DropList.h"
#include "menu/Selection.h"

using namespace ombrelo;

namespace {

// A DROPFILES block with the names (UTF-16 when wide), the list's closing
// empty name, then tail bytes that are not part of the list.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names, bool wide, const std::string& tail = "") {
  std::string bytes;
  for (const std::wstring& name : names) {
    if (wide) {
      bytes.append(reinterpret_cast<const char*>(name.c_str()), (name.size() + 1) * sizeof(wchar_t));
    } else {
      std::string ansi(name.size() * 2 + 1, '\0');
      ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()),
                                                          ansi.data(), static_cast<int>(ansi.size()), nullptr,
                                                          nullptr)));
      bytes += ansi;
      bytes.push_back('\0');
    }
  }
  bytes.append(wide ? 2 : 1, '\0');
  bytes += tail;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes.size());
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = wide;
  memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

std::vector<std::string> ByDragQueryFile(HGLOBAL block) {
  HDROP drop = static_cast<HDROP>(block);
  std::vector<std::string> files;
  const UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::string path(length + 1, '\0');
    path.resize(DragQueryFileA(drop, i, path.data(), length + 1));
    files.push_back(path);
  }
  return files;
}

std::wstring RandomName(std::mt19937& random) {
  static const wchar_t kLetters[] = L"abcXYZ019 .-_\\:äöüÄÖÜßéñ€™";  // names outside the code page are the robustness tests' business
  std::uniform_int_distribution<int> length(1, random() % 10 == 0 ? 400 : 40);
  std::uniform_int_distribution<int> letter(0, static_cast<int>(std::size(kLetters)) - 2);
  std::wstring name = L"C:\\";
  for (int i = length(random); i > 0; --i) name.push_back(kLetters[letter(random)]);
  return name;
}

// The names the selection reads from a block; none when the block is unreadable.
std::vector<std::string> ListedFiles(HGLOBAL block) {
  std::optional<ombrelo::DropList> list = ombrelo::ReadDropList(block);
  return list ? list->Files : std::vector<std::string>{};
}

}  // namespace

TEST(DropList, GivesWhatDragQueryFileGivesForGeneratedLists) {
  std::mt19937 random(1207);
  for (int list = 0; list < 600; ++list) {
    // An empty list is compared below: Wine's DragQueryFileA counts its end
    // as a name and goes on reading past it.
    std::vector<std::wstring> names(static_cast<size_t>(1 + random() % 12));
    for (std::wstring& name : names) name = RandomName(random);
    const bool wide = list % 2 == 1;
    HGLOBAL block = MakeDrop(names, wide, list % 3 == 0 ? std::string("tail\0more\0", 10) : std::string());
    EXPECT_EQ(ByDragQueryFile(block), ListedFiles(block)) << "list " << list << (wide ? " (wide)" : "");
    GlobalFree(block);
  }
}

TEST(DropList, AnEmptyListEndsAtItsFirstEmptyName) {
  for (bool wide : {false, true}) {
    HGLOBAL block = MakeDrop({}, wide, std::string("C:\\after.jpg\0\0", 15));
    EXPECT_TRUE(ListedFiles(block).empty()) << (wide ? "wide" : "ANSI");
    GlobalFree(block);
  }
}

TEST(DropList, ReadsNothingBeyondTheBlock) {
  // Lists whose last name or whose closing empty name is cut off by the end of the block.
  for (bool wide : {false, true}) {
    HGLOBAL whole = MakeDrop({L"C:\\a.jpg", L"C:\\b.jpg"}, wide);
    const SIZE_T size = GlobalSize(whole);
    const void* bytes = GlobalLock(whole);
    const size_t unit = wide ? 2 : 1;
    for (SIZE_T cut = sizeof(DROPFILES); cut < size; ++cut) {
      HGLOBAL block = GlobalAlloc(GMEM_FIXED, cut);
      memcpy(block, bytes, cut);
      ASSERT_EQ(cut, GlobalSize(block));
      const std::vector<std::string> files = ListedFiles(block);
      const SIZE_T listBytes = cut - sizeof(DROPFILES);
      const size_t expected = listBytes >= 18 * unit ? 2 : listBytes >= 9 * unit ? 1 : 0;
      EXPECT_EQ(expected, files.size()) << "cut at " << cut << (wide ? " (wide)" : "");
      GlobalFree(block);
    }
    GlobalUnlock(whole);
    GlobalFree(whole);
  }
  HGLOBAL tiny = GlobalAlloc(GMEM_FIXED, 4);  // smaller than its header
  EXPECT_TRUE(ListedFiles(tiny).empty());
  GlobalFree(tiny);
}
