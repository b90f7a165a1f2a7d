#pragma once
// Driving the real DLL as the shell does: handler objects made through its
// class factory, selections as CF_HDROP data objects, real menus read back
// with GetMenuItemInfoA, the user's settings file, and a main-program window.
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace menutest {

// Loads the DLL once per test program, in English (the "Language" value is
// set before its start-up), and keeps it loaded.
IClassFactory* Factory();

// One handler object with a selection taken by Initialize.
class Handler {
 public:
  explicit Handler(const std::vector<std::string>& paths);
  ~Handler();
  Handler(const Handler&) = delete;
  Handler& operator=(const Handler&) = delete;
  HRESULT InitResult() const { return init_; }
  IContextMenu3* operator->() const { return menu_; }
  IContextMenu3* get() const { return menu_; }
  // QueryContextMenu; the count of the result, or -1 for a failure code.
  int Query(HMENU menu, UINT index, UINT first, UINT last = 0x7FFF, UINT flags = CMF_NORMAL);

 private:
  IContextMenu3* menu_ = nullptr;
  HRESULT init_ = E_FAIL;
};

struct Item {
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  std::string text;
  HMENU sub = nullptr;
  ULONG_PTR data = 0;
  HBITMAP bitmap = nullptr;
  bool separator() const { return (type & MFT_SEPARATOR) != 0; }
  bool ownerDraw() const { return (type & MFT_OWNERDRAW) != 0; }
};
std::vector<Item> Items(HMENU menu);
// Every item of a menu tree, depth first.
std::vector<Item> AllItems(HMENU menu);

// A popup menu standing in for the shell's, with `existing` items of its own (ids 1..n).
HMENU ShellMenu(int existing = 5);

// The user's settings file; the previous file is put back at destruction.
class UserSettings {
 public:
  UserSettings();
  ~UserSettings();
  UserSettings(const UserSettings&) = delete;
  UserSettings& operator=(const UserSettings&) = delete;
  void Write(const std::string& text);
  void Remove();
  const std::string& path() const { return path_; }
  // An "OpenWith" section of count entries "Program i" with program paths from command(i).
  static std::string OpenWith(int count, const std::function<std::string(int)>& command);

 private:
  std::string path_, saved_;
  bool existed_ = false;
};

// A window of the main program's class on its own thread: the main program
// "runs" while it lives. It records every WM_COPYDATA and can answer preview
// requests by writing a bitmap file. By default it answers each preview
// request as the main program does, with the bitmap at the preview path
// written anew (RenewFile); renewsPreview false leaves the file as it is,
// as after a picture the main program could not decode.
class MainProgramWindow {
 public:
  struct Message {
    LONG_PTR code;
    std::string text;
  };
  explicit MainProgramWindow(std::function<void(const Message&)> onRequest = nullptr, bool renewsPreview = true);
  ~MainProgramWindow();
  MainProgramWindow(const MainProgramWindow&) = delete;
  MainProgramWindow& operator=(const MainProgramWindow&) = delete;
  std::vector<Message> Messages();
  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  std::function<void(const Message&)> onRequest_;
  bool renewsPreview_;
  std::mutex lock_;
  std::vector<Message> messages_;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  std::thread thread_;
};

// The preview bitmap path as selection capture forms it (the doubled separator kept).
std::string PreviewBitmapPath();
// A file of the given name in a fresh folder that lives for the test program.
std::string SampleFile(const std::string& name, const std::string& contents = "x");

}  // namespace menutest
