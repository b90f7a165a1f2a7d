#pragma once
// What a command did that the host can see from outside the handler: the
// clipboard, processes that were started, registry values that changed, and
// dialogs that the command showed (which the host closes after a while, so a
// command waiting for a person never hangs it).
#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace host {

struct Snapshot {
  DWORD clipboardSequence = 0;
  std::string clipboardText;          // UTF-8; empty when there is no text
  bool clipboardHasText = false;
  std::vector<std::string> clipboardFormats;
  std::map<DWORD, std::string> processes;    // process id -> executable
  std::map<std::string, std::string> registry;  // "KEY: name" -> shown value
};

Snapshot TakeSnapshot(const std::vector<std::string>& watchKeys);
// One line per observation, in the order clipboard, processes, registry.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after);

// Watches for new top-level windows of this process while a command runs.
class DialogWatcher {
 public:
  // Windows that exist already (the host's own) are not reported.
  explicit DialogWatcher(DWORD closeAfterMs);
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;
  // Stops watching; one line per window seen.
  std::vector<std::string> Stop();

 private:
  void Run();

  DWORD closeAfterMs_;
  std::atomic<bool> stop_{false};
  std::vector<HWND> known_;
  std::vector<std::string> seen_;
  std::thread thread_;
};

}  // namespace host
