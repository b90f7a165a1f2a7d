#pragma once
// Helpers of the bridge tests: the stand-in main program and its journal,
// answering the dialogs of a modal call, and pictures made with WIC.
#include <windows.h>
#include <wincodec.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace bridgetest {

using namespace std::chrono_literals;

// The text in double quotes.
std::string Quoted(const std::string& text);

// The stand-in as built: bin\standin\Ombrelo.exe.
std::string StandinPath();
std::string StandinFolder();  // with its trailing backslash

struct JournalEntry {
  std::string event, code, bytes, text, detail;
};

// A journal file for the stand-ins started while this object lives; the
// stand-in's settings are passed through this process's environment.
class Journal {
 public:
  Journal();
  ~Journal();
  const std::string& path() const { return path_; }
  std::vector<JournalEntry> Read() const;
  std::vector<JournalEntry> Events(const std::string& event) const;
  // Waits until at least count entries of the event are there.
  bool WaitForEvents(const std::string& event, size_t count, std::chrono::milliseconds timeout = 20s) const;

 private:
  testsupport::TempDir dir_;
  std::string path_;
};

// Sets one of the stand-in's settings (OMBRELO_STANDIN_*) for programs
// started from now on; empty removes it.
void SetStandinSetting(const char* name, const std::string& value);

// Starts the stand-in as a test would, with the given arguments, and waits
// for its window. The process handle is owned by the caller.
HANDLE StartStandin(const std::string& arguments = "");
// Runs the stand-in with control switches and waits until it has ended.
void RunStandinSwitches(const std::string& switches);
// Ends every running stand-in (asked to close, terminated when it does not).
void StopStandins();
HWND WaitForMainWindow(std::chrono::milliseconds timeout = 20s);

// One expected window of a modal call: which window it is and how to answer it.
struct DialogStep {
  std::function<bool(HWND)> matches;
  std::function<void(HWND)> answer;
};

// Answers the windows that a modal call on the test thread shows, one step
// after the other; a window that no step expects is recorded and closed.
// Every wait is bounded: a step that does not come is given up, and any
// window of this process is closed so the modal call returns.
class DialogScript {
 public:
  explicit DialogScript(std::vector<DialogStep> steps, std::chrono::milliseconds stepTimeout = 20s);
  ~DialogScript();
  // Stops watching; returns how many steps were answered.
  size_t Finish();
  // Title and control texts of the window answered in step i ("" if none).
  std::string Seen(size_t i) const;
  // Texts of windows that no step expected.
  std::string Unexpected() const;

 private:
  void Run();
  std::vector<DialogStep> steps_;
  std::chrono::milliseconds stepTimeout_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> answered_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
  std::string unexpected_;
  std::thread thread_;
};

// The title and the texts of all controls of a window, "|"-separated.
std::string WindowTexts(HWND window);
// Matchers and answers for the dialogs of the bridge.
std::function<bool(HWND)> MessageBoxWithText(const std::string& text);
std::function<bool(HWND)> HasControlText(const std::string& text);
std::function<void(HWND)> ClickControl(const std::string& text, const std::string& tickFirst = "");
std::function<void(HWND)> PressButton(int id);
// Selects the folder in the shell's folder browser and confirms it.
std::function<void(HWND)> ChooseFolder(const std::string& folder);

// Writes a picture of the given size with the WIC encoder of the container format.
void WritePicture(const std::string& path, const GUID& container, UINT width, UINT height);

// Runs body on another thread and waits for it at most timeout; when it does
// not return in time, onTimeout is called (to release it) before joining.
bool ReturnsWithin(const std::function<void()>& body, std::chrono::milliseconds timeout,
                   const std::function<void()>& onTimeout);

// Each test starts and ends with no stand-in running, no program key, no
// stand-in copy beside the test program, and the module started in German.
class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  static void SetLanguage(unsigned char language);
  // The path beside the extension (here: beside the test program).
  static std::string BesideExtension();
};

}  // namespace bridgetest
