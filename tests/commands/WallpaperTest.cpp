// Wallpaper: bitmaps become the wallpaper at once; other pictures get their
// style recorded and go to the main program.
#include <gtest/gtest.h>

#include "bridge/Wallpaper.h"
#include "commands/CommandsSupport.h"

using namespace commandtest;
using testsupport::TempDir;

namespace {

constexpr char kDesktop[] = "Control Panel\\desktop";
constexpr char kBackup[] = "Software\\OmbreloTestBackup";
constexpr LONG kWallpaperCode = -12800;

std::string DesktopValue(const char* name) {
  bool found = false;
  std::string value = testsupport::ReadHkcuString(kDesktop, name, &found);
  return found ? value : "<absent>";
}

std::string SystemWallpaper() {
  char path[MAX_PATH] = {};
  SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0);
  return path;
}

struct SavedValue {
  explicit SavedValue(const char* valueName) : name(valueName) {}
  const char* name;
  bool present = false;
  DWORD type = 0;
  std::string data;
};

// The wallpaper values of the prefix, put back after each test. The key
// itself stays: the system keeps it open for its own settings.
class Wallpaper : public ::testing::Test {
 protected:
  void SetUp() override {
    StartModule();
    testsupport::ResetProgramKey();
    for (SavedValue& v : saved) {
      char data[4096] = {};
      DWORD size = sizeof(data);
      v.present = RegGetValueA(HKEY_CURRENT_USER, kDesktop, v.name, RRF_RT_ANY, &v.type, data, &size) ==
                  ERROR_SUCCESS;
      if (v.present) v.data.assign(data, size);
    }
    originalWallpaper = SystemWallpaper();
    ClearStyle();
  }
  void TearDown() override {
    HKEY desktop = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &desktop, nullptr);
    for (const SavedValue& v : saved) {
      if (v.present)
        RegSetValueExA(desktop, v.name, 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
      else
        RegDeleteValueA(desktop, v.name);
    }
    RegCloseKey(desktop);
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(originalWallpaper.c_str()), 0);
    testsupport::ResetProgramKey();
  }
  static void ClearStyle() {
    HKEY desktop = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktop, 0, KEY_ALL_ACCESS, &desktop) != ERROR_SUCCESS) return;
    RegDeleteValueA(desktop, "TileWallpaper");
    RegDeleteValueA(desktop, "WallpaperStyle");
    RegSetValueExA(desktop, "Wallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>("old.bmp"), 8);
    RegCloseKey(desktop);
  }
  // "cmd" names the main program in a folder of the test; "BkgImg" beside it.
  std::string MainProgramFolderWithCopies() {
    testsupport::SetProgramString(nullptr, "cmd", dir.path() + "Ombrelo.exe");
    CreateDirectoryA((dir.path() + "BkgImg").c_str(), nullptr);
    return dir.path() + "BkgImg\\";
  }

  TempDir dir;
  std::string originalWallpaper;
  SavedValue saved[3] = {SavedValue("Wallpaper"), SavedValue("TileWallpaper"), SavedValue("WallpaperStyle")};
};

}  // namespace

TEST_F(Wallpaper, ABitmapBecomesTheWallpaperAtOnceInEachStyle) {
  FakeMainWindow mainProgram;
  std::string bitmap = dir.File("photo.BMP", SmallBitmapBytes());
  const struct {
    const char* verb;
    const char* style;
  } cases[] = {{ombrelo::kWallpaperScaled, "2"}, {ombrelo::kWallpaperTiled, "1"}, {ombrelo::kWallpaperCentered, "0"}};
  for (const auto& c : cases) {
    ClearStyle();
    ombrelo::SetWallpaper(bitmap, c.verb);
    EXPECT_EQ(bitmap, DesktopValue("Wallpaper")) << c.verb;
    EXPECT_EQ("0", DesktopValue("TileWallpaper")) << c.verb;
    EXPECT_EQ(c.style, DesktopValue("WallpaperStyle")) << c.verb;
    EXPECT_EQ(bitmap, SystemWallpaper()) << c.verb;
  }
  EXPECT_TRUE(mainProgram.Messages().empty());
}

TEST_F(Wallpaper, AConvertedCopyInBkgImgIsUsedDirectly) {
  FakeMainWindow mainProgram;
  std::string copies = MainProgramFolderWithCopies();
  std::string copy = copies + "photo.bmp";
  testsupport::WriteFileBytes(copy, SmallBitmapBytes());
  std::string photo = dir.File("photo.jpg", "jpeg");
  ombrelo::SetWallpaper(photo, ombrelo::kWallpaperTiled);
  EXPECT_EQ(copy, DesktopValue("Wallpaper"));
  EXPECT_EQ("1", DesktopValue("WallpaperStyle"));
  EXPECT_EQ(copy, SystemWallpaper());
  EXPECT_TRUE(mainProgram.Verbs().empty());
}

TEST_F(Wallpaper, WithoutACopyTheStyleIsRecordedAndTheMainProgramAsked) {
  FakeMainWindow mainProgram;
  std::string copies = MainProgramFolderWithCopies();
  testsupport::WriteFileBytes(copies + "photo.jpg.bmp", SmallBitmapBytes());  // not the copy's name
  std::string photo = dir.File("photo.jpg", "jpeg");
  ombrelo::SetWallpaper(photo, ombrelo::kWallpaperTiled);
  EXPECT_EQ("0", DesktopValue("TileWallpaper"));
  EXPECT_EQ("1", DesktopValue("WallpaperStyle"));
  EXPECT_EQ("old.bmp", DesktopValue("Wallpaper"));

  // No "cmd" at all: the same.
  ClearStyle();
  testsupport::ResetProgramKey();
  ombrelo::SetWallpaper(photo, ombrelo::kWallpaperCentered);
  EXPECT_EQ("0", DesktopValue("WallpaperStyle"));
  EXPECT_EQ("old.bmp", DesktopValue("Wallpaper"));

  auto verbs = mainProgram.Verbs();
  ASSERT_EQ(2u, verbs.size());
  for (const CopyDataMessage& m : verbs) {
    EXPECT_EQ(kWallpaperCode, m.verb);
    EXPECT_EQ(photo, m.text);
  }
}

TEST_F(Wallpaper, AnUnknownVerbChangesNoStyleButStillAsksForNonBitmaps) {
  FakeMainWindow mainProgram;
  std::string bitmap = dir.File("photo.bmp", SmallBitmapBytes());
  std::string photo = dir.File("photo.jpg", "jpeg");
  for (const char* verb : {"Center", "vergroessern", ""}) {
    ombrelo::SetWallpaper(bitmap, verb);
    ombrelo::SetWallpaper(photo, verb);
    EXPECT_EQ("<absent>", DesktopValue("WallpaperStyle")) << verb;
    EXPECT_EQ("<absent>", DesktopValue("TileWallpaper")) << verb;
    EXPECT_EQ("old.bmp", DesktopValue("Wallpaper")) << verb;
  }
  auto verbs = mainProgram.Verbs();
  ASSERT_EQ(3u, verbs.size());  // one for the picture with each verb, none for the bitmap
  EXPECT_EQ(photo, verbs[0].text);
}

// Deleting the key leaves the system's own handle to it stale for the rest
// of the process, so this case runs in a process of its own (tests.cmake).
TEST_F(Wallpaper, AMissingDesktopKeyIsCreated) {
  FakeMainWindow mainProgram;
  RegDeleteTreeA(HKEY_CURRENT_USER, kBackup);
  HKEY backup = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr);
  RegCopyTreeA(HKEY_CURRENT_USER, kDesktop, backup);

  RegDeleteTreeA(HKEY_CURRENT_USER, kDesktop);
  std::string photo = dir.File("photo.jpg", "jpeg");
  ombrelo::SetWallpaper(photo, ombrelo::kWallpaperScaled);
  EXPECT_EQ("2", DesktopValue("WallpaperStyle"));
  EXPECT_EQ("0", DesktopValue("TileWallpaper"));

  RegDeleteTreeA(HKEY_CURRENT_USER, kDesktop);
  std::string bitmap = dir.File("photo.bmp", SmallBitmapBytes());
  ombrelo::SetWallpaper(bitmap, ombrelo::kWallpaperCentered);
  EXPECT_EQ(bitmap, DesktopValue("Wallpaper"));

  HKEY desktop = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &desktop, nullptr);
  RegCopyTreeA(backup, nullptr, desktop);
  RegCloseKey(desktop);
  RegCloseKey(backup);
  RegDeleteTreeA(HKEY_CURRENT_USER, kBackup);
}

TEST_F(Wallpaper, ACmdWithoutAFolderLooksForNoCopy) {
  // A bare program name must not make the current folder's BkgImg count.
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  SetCurrentDirectoryA(dir.path().c_str());
  CreateDirectoryA("BkgImg", nullptr);
  testsupport::WriteFileBytes(dir.path() + "BkgImg\\photo.bmp", SmallBitmapBytes());
  testsupport::SetProgramString(nullptr, "cmd", "Ombrelo.exe");
  std::string photo = dir.File("photo.jpg", "jpeg");
  std::string path = photo;
  EXPECT_FALSE(ombrelo::FindConvertedWallpaper(path));
  EXPECT_EQ(photo, path);
  SetCurrentDirectoryA(current);
}
