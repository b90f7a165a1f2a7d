#include "commands/CommandsSupport.h"

#include <chrono>
#include <cstring>
#include <sstream>

#include "bridge/Channel.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "support/Bitmaps.h"

namespace commandtest {

Recorder::Recorder() : log_(dir_.path() + "records.log") {
  SetEnvironmentVariableA("OMBRELO_RECORD_FILE", log_.c_str());
}

Recorder::~Recorder() { SetEnvironmentVariableA("OMBRELO_RECORD_FILE", nullptr); }

std::string Recorder::Install(const std::string& fileName) {
  std::string target = dir_.path() + fileName;
  CopyFileA((testsupport::ExeDir() + "recorder.exe").c_str(), target.c_str(), FALSE);
  return target;
}

std::vector<Record> Recorder::Records() const { return RecordsIn(log_); }

std::vector<Record> Recorder::Utf8Records() const { return RecordsIn(log_ + ".utf8"); }

std::vector<Record> Recorder::RecordsIn(const std::string& log) {
  std::vector<Record> records;
  std::istringstream in(testsupport::ReadFileBytes(log));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.rfind('\t');
    if (tab == std::string::npos) continue;
    records.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return records;
}

std::vector<Record> Recorder::WaitForRecords(size_t count) const {
  testsupport::WaitUntil([&] { return Records().size() >= count; }, std::chrono::seconds(20));
  return Records();
}

LRESULT CALLBACK FakeMainWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* self = reinterpret_cast<FakeMainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::string text;
    if (data->lpData && data->cbData) {
      const char* bytes = static_cast<const char*>(data->lpData);
      text.assign(bytes, strnlen(bytes, data->cbData));
    }
    std::lock_guard<std::mutex> guard(self->lock_);
    self->messages_.push_back({data->dwData, static_cast<LONG>(data->dwData), text, data->cbData, wParam});
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

FakeMainWindow::FakeMainWindow() {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this, ready] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Proc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = ombrelo::kMainProgramWindowClass;
    RegisterClassA(&cls);
    window_ = CreateWindowA(ombrelo::kMainProgramWindowClass, "Ombrelo", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                            nullptr, cls.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    threadId_ = GetCurrentThreadId();
    SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window_);
    UnregisterClassA(ombrelo::kMainProgramWindowClass, cls.hInstance);
  });
  WaitForSingleObject(ready, 10000);
  CloseHandle(ready);
}

FakeMainWindow::~FakeMainWindow() {
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

std::vector<CopyDataMessage> FakeMainWindow::Messages() const {
  std::lock_guard<std::mutex> guard(lock_);
  return messages_;
}

std::function<void(HWND)> Answer(int buttonId) {
  return [buttonId](HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
  };
}

std::vector<CopyDataMessage> FakeMainWindow::Verbs() const {
  std::vector<CopyDataMessage> verbs;
  for (const CopyDataMessage& m : Messages()) {
    if (m.verb <= -12300 && m.verb >= -12900) verbs.push_back(m);
  }
  return verbs;
}

std::optional<std::string> ReadClipboardText() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = std::string(bytes, strnlen(bytes, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

bool ClipboardIsFree() {
  if (!OpenClipboard(nullptr)) return false;
  CloseClipboard();
  return GetOpenClipboardWindow() == nullptr;
}

void StartModule() { ombrelo::EnsureModuleStarted(); }

void SetLanguage(unsigned char language) {
  StartModule();
  ombrelo::DataModule2->ML1->SetActiveLanguage(language);
}

void SelectFiles(const std::vector<std::string>& files, bool isTextFile) {
  ombrelo::WithState([&](ombrelo::SharedState& s) {
    s.SelectedFiles = files;
    s.IsMultiSelection = files.size() > 1;
    s.IsTextFile = isTextFile;
  });
}

std::string SmallBitmapBytes() {
  return testsupport::MakeBitmapFile(4, 4, [](int, int) { return RGB(0x80, 0x80, 0x80); });
}

}  // namespace commandtest
