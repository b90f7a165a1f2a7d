#pragma once
// Witnesses for the command tests: a recorder program copied under any
// name, a window standing in for the main program's command window, and
// clipboard access.
#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/Registry.h"
#include "support/TestSupport.h"

namespace commandtest {

struct Record {
  std::string commandLine;
  std::string folder;  // the recorder's current folder
};

// A folder with copies of the recorder program; every copy appends to the
// folder's record file (set through OMBRELO_RECORD_FILE for this process and
// the programs it starts).
class Recorder {
 public:
  Recorder();
  ~Recorder();
  // Copies the recorder into the folder under this name; returns its path.
  std::string Install(const std::string& fileName);
  const std::string& Folder() const { return dir_.path(); }
  std::vector<Record> Records() const;
  // The same records with the command line and folder in UTF-8, as the
  // programs received them in UTF-16.
  std::vector<Record> Utf8Records() const;
  // Waits (bounded) until at least count records are there.
  std::vector<Record> WaitForRecords(size_t count) const;

 private:
  static std::vector<Record> RecordsIn(const std::string& log);
  testsupport::TempDir dir_;
  std::string log_;
};

struct CopyDataMessage {
  ULONG_PTR code;
  LONG verb;  // the code's 32 bits: a verb code such as -12336
  std::string text;  // lpData up to its NUL
  DWORD size;        // cbData
  WPARAM wParam;
};

// A window of the main program's command-window class on its own thread,
// recording every WM_COPYDATA it receives.
class FakeMainWindow {
 public:
  FakeMainWindow();
  ~FakeMainWindow();
  HWND Handle() const { return window_; }
  std::vector<CopyDataMessage> Messages() const;
  // The verb commands only, without the preview requests of menu building.
  std::vector<CopyDataMessage> Verbs() const;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  std::thread thread_;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  mutable std::mutex lock_;
  std::vector<CopyDataMessage> messages_;
};

// Answers a dialog of this process as its button would, without waiting
// for the dialog (a click sent across threads is slow under Wine).
std::function<void(HWND)> Answer(int buttonId);

std::optional<std::string> ReadClipboardText();
void SetClipboardText(const std::string& text);
// Whether this thread or another has left the clipboard open.
bool ClipboardIsFree();

// Module start-up for tests that call the extension's code directly, and
// the active language (0 German, 1 English).
void StartModule();
void SetLanguage(unsigned char language);
// The selection as Initialize would leave it.
void SelectFiles(const std::vector<std::string>& files, bool isTextFile);

// Registers a program for a shell verb of ".txt" ("print" by default) and
// another as the application path of "wordpad" (by default the same one),
// and removes what it added.
class ShellRegistrations {
 public:
  explicit ShellRegistrations(const std::string& program, const std::string& verb = "print",
                              std::optional<std::string> wordpad = std::nullopt) {
    ombrelo::RegKey txt;
    txt.Create(HKEY_CLASSES_ROOT, ".txt");
    textClass_ = txt.ReadString("").value_or("");
    if (textClass_.empty()) {
      textClass_ = "ombrelotest.txtfile";
      txt.WriteString("", textClass_);
      createdClass_ = true;
    }
    verbKey_ = textClass_ + "\\shell\\" + verb + "\\command";
    ombrelo::RegKey command;
    command.Create(HKEY_CLASSES_ROOT, verbKey_.c_str());
    oldCommand_ = command.ReadString("");
    command.WriteString("", "\"" + program + "\"" + (verb == "print" ? " /p" : "") + " \"%1\"");
    // Windows looks up "wordpad.exe"; Wine the name as given.
    for (const char* name : {"wordpad.exe", "wordpad"}) {
      ombrelo::RegKey app;
      app.Create(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + name).c_str());
      app.WriteString("", wordpad.value_or(program));
    }
  }
  ~ShellRegistrations() {
    for (const char* name : {"wordpad.exe", "wordpad"}) ombrelo::DeleteRegTree(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + name).c_str());
    if (createdClass_) {
      ombrelo::DeleteRegTree(HKEY_CLASSES_ROOT, textClass_.c_str());
      ombrelo::RegKey txt;
      if (txt.Open(HKEY_CLASSES_ROOT, ".txt")) txt.DeleteValue("");
    } else {
      ombrelo::RegKey command;
      command.Create(HKEY_CLASSES_ROOT, verbKey_.c_str());
      if (oldCommand_) command.WriteString("", *oldCommand_);
      else command.DeleteValue("");
    }
  }

 private:
  static constexpr char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  std::string textClass_, verbKey_;
  std::optional<std::string> oldCommand_;
  bool createdClass_ = false;
};

// A small valid 24-bit Windows bitmap file.
std::string SmallBitmapBytes();

}  // namespace commandtest
