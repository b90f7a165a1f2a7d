#include "BridgeSupport.h"

#include <commctrl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <sstream>

#include "bridge/Channel.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "support/Windows.h"

using Microsoft::WRL::ComPtr;

namespace bridgetest {

std::string Quoted(const std::string& text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  return quoted.append(1, '"').append(text).append(1, '"');
}

std::string StandinFolder() { return testsupport::ExeDir() + "standin\\"; }
std::string StandinPath() { return StandinFolder() + "Ombrelo.exe"; }

namespace {

const char* const kSettingNames[] = {"OMBRELO_STANDIN_JOURNAL", "OMBRELO_STANDIN_NOPREVIEW",
                                     "OMBRELO_STANDIN_DELAY", "OMBRELO_STANDIN_HANG",
                                     "OMBRELO_STANDIN_CRASH"};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

void SetStandinSetting(const char* name, const std::string& value) {
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

Journal::Journal() : path_(dir_.path() + "journal.txt") {
  for (const char* name : kSettingNames) SetStandinSetting(name, "");
  SetStandinSetting("OMBRELO_STANDIN_JOURNAL", path_);
}

Journal::~Journal() {
  for (const char* name : kSettingNames) SetStandinSetting(name, "");
}

std::vector<JournalEntry> Journal::Read() const {
  std::vector<JournalEntry> entries;
  std::istringstream in(testsupport::ReadFileBytes(path_));
  std::string line;
  while (std::getline(in, line)) {
    auto f = SplitTabs(line);
    f.resize(5);
    entries.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
  return entries;
}

std::vector<JournalEntry> Journal::Events(const std::string& event) const {
  std::vector<JournalEntry> found;
  for (auto& e : Read())
    if (e.event == event) found.push_back(e);
  return found;
}

bool Journal::WaitForEvents(const std::string& event, size_t count, std::chrono::milliseconds timeout) const {
  return testsupport::WaitUntil([&] { return Events(event).size() >= count; }, timeout);
}

HWND WaitForMainWindow(std::chrono::milliseconds timeout) {
  HWND window = nullptr;
  testsupport::WaitUntil([&] { return (window = ombrelo::FindMainProgramWindow()) != nullptr; }, timeout);
  return window;
}

HANDLE StartStandin(const std::string& arguments) {
  std::string line = Quoted(StandinPath()).append(" ").append(arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, StandinFolder().c_str(), &startup,
                      &started))
    return nullptr;
  CloseHandle(started.hThread);
  WaitForMainWindow();
  return started.hProcess;
}

void RunStandinSwitches(const std::string& switches) {
  std::string line = Quoted(StandinPath()).append(" ").append(switches);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return;
  WaitForSingleObject(started.hProcess, 30000);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

namespace {

// Ends stand-ins that have no window yet (one started a moment ago would
// otherwise outlive its test and write into the next test's journal).
void TerminateWindowlessStandins() {
  for (DWORD id : testsupport::ProcessesNamed("Ombrelo.exe")) {
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id)) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
  }
}

}  // namespace

void StopStandins() {
  for (int round = 0; round < 10; ++round) {
    HWND window = ombrelo::FindMainProgramWindow();
    if (!window) break;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
      if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);  // a stand-in told to hang
        WaitForSingleObject(process, 10000);
      }
      CloseHandle(process);
    } else {
      testsupport::WaitUntil([window] { return !IsWindow(window); }, std::chrono::seconds(10));
    }
  }
  TerminateWindowlessStandins();
}

// ---- dialogs -------------------------------------------------------------

namespace {

BOOL CALLBACK CollectTexts(HWND window, LPARAM param) {
  reinterpret_cast<std::string*>(param)->append("|").append(testsupport::WindowText(window));
  return TRUE;
}

BOOL CALLBACK CollectOwnWindows(HWND window, LPARAM param) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == GetCurrentProcessId() && IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> OwnWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void CloseOwnWindow(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  for (int i = 0; i < 25 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(20);
  if (IsWindow(window) && IsWindowVisible(window)) PostMessageA(window, WM_COMMAND, IDOK, 0);
}

}  // namespace

std::string WindowTexts(HWND window) {
  std::string texts = testsupport::WindowText(window);
  EnumChildWindows(window, CollectTexts, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

DialogScript::DialogScript(std::vector<DialogStep> steps, std::chrono::milliseconds stepTimeout)
    : steps_(std::move(steps)), stepTimeout_(stepTimeout), seen_(steps_.size()) {
  thread_ = std::thread([this] { Run(); });
}

DialogScript::~DialogScript() { Finish(); }

size_t DialogScript::Finish() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return answered_;
}

std::string DialogScript::Seen(size_t i) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return i < seen_.size() ? seen_[i] : std::string();
}

std::string DialogScript::Unexpected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unexpected_;
}

void DialogScript::Run() {
  using clock = std::chrono::steady_clock;
  std::vector<HWND> handled;
  size_t step = 0;
  auto deadline = clock::now() + stepTimeout_;
  while (!stop_) {
    for (HWND window : OwnWindows()) {
      if (std::find(handled.begin(), handled.end(), window) != handled.end()) continue;
      // A window is judged once it has finished its initialisation.
      testsupport::WaitUntilAnswering(window, stepTimeout_);
      handled.push_back(window);
      if (step < steps_.size() && steps_[step].matches(window)) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          seen_[step] = WindowTexts(window);
        }
        steps_[step].answer(window);
        answered_ = ++step;
        deadline = clock::now() + stepTimeout_;
        break;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        unexpected_.append("[").append(WindowTexts(window)).append("]");
      }
      CloseOwnWindow(window);
    }
    if (step < steps_.size() && clock::now() > deadline) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        unexpected_ += "[step " + std::to_string(step) + " did not come]";
      }
      for (HWND window : OwnWindows()) CloseOwnWindow(window);
      step = steps_.size();
    }
    Sleep(30);  // the next look for a new window
  }
}

std::function<bool(HWND)> HasControlText(const std::string& text) {
  return [text](HWND window) { return testsupport::FindChild(window, nullptr, text.c_str()) != nullptr; };
}

std::function<bool(HWND)> MessageBoxWithText(const std::string& text) {
  return [text](HWND window) {
    return testsupport::WindowClass(window) == "#32770" && testsupport::WindowText(window) == "Ombrelo" &&
           testsupport::FindChild(window, "Static", text.c_str()) != nullptr;
  };
}

std::function<void(HWND)> ClickControl(const std::string& text, const std::string& tickFirst) {
  return [text, tickFirst](HWND window) {
    if (!tickFirst.empty()) {
      if (HWND box = testsupport::FindChild(window, nullptr, tickFirst.c_str())) testsupport::Click(box);
    }
    if (HWND control = testsupport::FindChild(window, nullptr, text.c_str())) testsupport::Click(control);
  };
}

std::function<void(HWND)> PressButton(int id) { return testsupport::PressDialogButton(id); }

namespace {

// Text of the folder selected in the browser's tree (the window lives in this process).
std::string SelectedFolderName(HWND browser) {
  HWND tree = testsupport::FindChild(browser, "SysTreeView32", nullptr);
  if (!tree) return {};
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return {};
  char text[MAX_PATH] = {};
  TVITEMA info{};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = text;
  info.cchTextMax = sizeof(text);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
  return text;
}

}  // namespace

std::function<void(HWND)> ChooseFolder(const std::string& folder) {
  return [folder](HWND window) {
    // The folder's name as the tree shows it: its last part, or the drive for a root.
    std::string name = folder.size() <= 3 ? folder.substr(0, 2) : folder.substr(folder.find_last_of('\\') + 1);
    // Wine's browser may not find a folder made a moment ago on its first
    // look: select until the tree shows it (each selection is made
    // synchronously by the browser's thread).
    testsupport::WaitUntil(
        [&] {
          SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
          const std::string selected = SelectedFolderName(window);
          return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, selected.c_str(), -1, name.c_str(), -1) ==
                     CSTR_EQUAL ||
                 (folder.size() <= 3 && selected.find(name) != std::string::npos);
        },
        std::chrono::seconds(30));
    testsupport::PressDialogButton(IDOK)(window);
  };
}

// ---- pictures --------------------------------------------------------------

void WritePicture(const std::string& path, const GUID& container, UINT width, UINT height) {
  ComPtr<IWICImagingFactory> factory;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  if (!factory) return;
  // A colour gradient, so every format has something to encode.
  UINT stride = width * 3;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x) {
      BYTE* p = &pixels[static_cast<size_t>(y) * stride + x * 3];
      p[0] = static_cast<BYTE>(x * 255 / width);
      p[1] = static_cast<BYTE>(y * 255 / height);
      p[2] = 128;
    }
  ComPtr<IWICBitmap> bitmap;
  factory->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat24bppBGR, stride,
                                  static_cast<UINT>(pixels.size()), pixels.data(), &bitmap);

  std::wstring widePath(path.begin(), path.end());
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  if (!bitmap || FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(widePath.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get())) ||
      FAILED(frame->SetSize(width, height)))
    return;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  frame->SetPixelFormat(&format);
  ComPtr<IWICBitmapSource> source = bitmap;
  if (format != GUID_WICPixelFormat24bppBGR) {  // GIF takes indexed colours only
    ComPtr<IWICPalette> palette;
    ComPtr<IWICFormatConverter> converter;
    factory->CreatePalette(&palette);
    palette->InitializePredefined(WICBitmapPaletteTypeFixedWebPalette, FALSE);
    factory->CreateFormatConverter(&converter);
    converter->Initialize(bitmap.Get(), format, WICBitmapDitherTypeNone, palette.Get(), 0.0,
                          WICBitmapPaletteTypeFixedWebPalette);
    frame->SetPalette(palette.Get());
    source = converter;
  }
  frame->WriteSource(source.Get(), nullptr);
  frame->Commit();
  encoder->Commit();
}

}  // namespace bridgetest

namespace bridgetest {

namespace {
DWORD WINAPI RunBody(void* body) {
  (*static_cast<const std::function<void()>*>(body))();
  return 0;
}
}  // namespace

bool ReturnsWithin(const std::function<void()>& body, std::chrono::milliseconds timeout,
                   const std::function<void()>& onTimeout) {
  // A thread of the system, not of the C++ runtime: the runtime's threads
  // make a synchronisation object of their own the first time two of them
  // meet, which the handle counts of the callers would see as a leak.
  HANDLE worker = CreateThread(nullptr, 0, RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr);
  if (!worker) return false;
  bool returned = WaitForSingleObject(worker, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  if (!returned) {
    onTimeout();
    WaitForSingleObject(worker, INFINITE);
  }
  CloseHandle(worker);
  return returned;
}

std::string BridgeTest::BesideExtension() { return testsupport::ExeDir() + "Ombrelo.exe"; }

void BridgeTest::SetLanguage(unsigned char language) {
  if (ombrelo::DataModule2 && ombrelo::DataModule2->ML1) ombrelo::DataModule2->ML1->SetActiveLanguage(language);
}

void BridgeTest::SetUp() {
  ombrelo::EnsureModuleStarted();
  SetLanguage(0);
  StopStandins();
  DeleteFileA(BesideExtension().c_str());
  testsupport::ResetProgramKey();
  ombrelo::WithState([](ombrelo::SharedState& s) { s.IsMultiSelection = false; });
}

void BridgeTest::TearDown() {
  StopStandins();
  DeleteFileA(BesideExtension().c_str());
  testsupport::ResetProgramKey();
  ombrelo::WithState([](ombrelo::SharedState& s) { s.IsMultiSelection = false; });
  SetLanguage(0);
}

}  // namespace bridgetest
