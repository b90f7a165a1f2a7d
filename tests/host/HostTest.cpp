// The host program end to end: it is started as a person would start it,
// against a small handler DLL of the tests, and what it prints and does is
// checked.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using testsupport::ExeDir;
using testsupport::TempDir;

const char kSampleClsid[] = "{5B1E2C71-9A3D-4F0B-8C2E-7D41A9E3B605}";

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

struct HostRun {
  DWORD exitCode = 0;
  std::string out, err;
};

std::wstring Widen(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// Runs shellmenu-host.exe with UTF-8 arguments; its output goes to files,
// read after it ended. A host that does not end in time is ended and fails.
HostRun RunHost(const std::vector<std::string>& args) {
  TempDir dir;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  std::string outPath = dir.path() + "out.txt", errPath = dir.path() + "err.txt";
  HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  std::wstring line = L"\"" + Widen(ExeDir()) + L"shellmenu-host.exe\"";
  for (const std::string& a : args) line += L" \"" + Widen(a) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  HostRun run;
  BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) {
    ADD_FAILURE() << "shellmenu-host.exe could not be started";
    return run;
  }
  if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
    ADD_FAILURE() << "shellmenu-host.exe did not end";
  }
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  run.out = testsupport::ReadFileBytes(outPath);
  run.err = testsupport::ReadFileBytes(errPath);
  return run;
}

std::vector<std::string> WithSample(std::vector<std::string> args) {
  args.insert(args.begin(), {"--dll", ExeDir() + "host_sample_handler.dll", "--clsid", kSampleClsid});
  return args;
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (auto* chars = static_cast<const char*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Ends a process that the host reported as started ("(id 123").
void EndReportedProcess(const std::string& output) {
  size_t at = output.find("host_idle.exe (id ");
  if (at == std::string::npos) return;
  DWORD pid = std::stoul(output.substr(at + 18));
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
    TerminateProcess(process, 0);
    CloseHandle(process);
  }
}

// The pixels of a PNG file as 32-bit BGRA, empty when it cannot be read.
std::vector<BYTE> ReadPngPixels(const std::string& path) {
  using Microsoft::WRL::ComPtr;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateDecoderFromFilename(Widen(path).c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)))
    return {};
  std::vector<BYTE> pixels(size_t(width) * height * 4);
  if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()))) return {};
  return pixels;
}

}  // namespace

TEST(Host, PrintsTheMenuTreeWithOffsetsStatesAndHelpTexts) {
  TempDir dir;
  HostRun run = RunHost(WithSample({dir.File("photo.jpg", "x")}));
  ASSERT_EQ(0u, run.exitCode) << run.out << run.err;
  const std::string& out = run.out;
  // The handler's items sit between the host's, at the offsets it gave them.
  EXPECT_NE(std::string::npos, out.find("  host  \"&Edit\"\n  host  ----------\n    +0  \"&Sample\" >\n")) << out;
  EXPECT_NE(std::string::npos, out.find("   +10  ----------\n  host  \"Cu&t\"")) << out;
  EXPECT_NE(std::string::npos, out.find("  host  \"&Open\"  [default]\n")) << out;
  // Submenus indented; tabs escaped; code page 1252 text as UTF-8.
  EXPECT_NE(std::string::npos,
            out.find("    +1      \"Copy &path\\t(clipboard)\"  help: \"Copies the path of the file\"\n"))
      << out;
  EXPECT_NE(std::string::npos,
            out.find(U8(u8"    +2      \"Größe && Farben\"  [greyed]  help: \"Zeigt Größe und Farben\"\n")))
      << out;
  EXPECT_NE(std::string::npos, out.find("    +3      (owner-drawn)  [owner-drawn 48x24]  help: \"A red box\"\n")) << out;
  EXPECT_NE(std::string::npos, out.find("    +6          \"Set &value\"  help: \"Writes a registry value\"\n")) << out;
  EXPECT_NE(std::string::npos, out.find("\"&Default thing\"  [default]")) << out;
  EXPECT_NE(std::string::npos, out.find("    +9      (bitmap)  [bitmap 16x16]  help: (none: E_INVALIDARG")) << out;
  EXPECT_NE(std::string::npos, out.find("QueryContextMenu(indexMenu 3, idCmdFirst 0x00007000")) << out;
}

TEST(Host, InvokesACommandByCaptionPathAndReportsTheClipboard) {
  TempDir dir;
  std::string file = dir.File("photo.jpg", "x");
  HostRun run = RunHost(WithSample({file, "--invoke", "Sample/Copy path"}));
  ASSERT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("InvokeCommand(offset 1 \"Copy &path\\t(clipboard)\"): S_OK")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("clipboard text: \"" + file + "\"")) << run.out;
  EXPECT_EQ(file, ClipboardText());
}

TEST(Host, ReportsStartedProcessesChangedValuesAndDialogs) {
  TempDir dir;
  std::string file = dir.File("photo.jpg", "x");

  HostRun started = RunHost(WithSample({file, "--invoke-offset", "5"}));
  EndReportedProcess(started.out);
  EXPECT_EQ(0u, started.exitCode) << started.out << started.err;
  EXPECT_NE(std::string::npos, started.out.find("new process: host_idle.exe (id ")) << started.out;
  EXPECT_NE(std::string::npos, started.out.find("clipboard unchanged")) << started.out;

  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ShellMenuHostTest");
  HostRun written = RunHost(
      WithSample({file, "--invoke", "&Sample/&More/Set &value", "--watch-key", "HKCU\\Software\\ShellMenuHostTest"}));
  EXPECT_EQ(0u, written.exitCode) << written.out << written.err;
  EXPECT_NE(std::string::npos, written.out.find("registry: HKCU\\Software\\ShellMenuHostTest: \"Picked\" = \"yes\" (new)"))
      << written.out;
  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ShellMenuHostTest");

  // A command that waits for a person does not hang the host.
  HostRun asked = RunHost(WithSample({file, "--invoke", "Sample/More/Ask", "--dialog-timeout", "200"}));
  EXPECT_EQ(0u, asked.exitCode) << asked.out << asked.err;
  EXPECT_NE(std::string::npos, asked.out.find("dialog \"Sample\"")) << asked.out;
  EXPECT_NE(std::string::npos, asked.out.find("\"Really?\"")) << asked.out;
  EXPECT_NE(std::string::npos, asked.out.find("closed by the host")) << asked.out;
}

TEST(Host, CreatesARegisteredClassAsTheShellDoes) {
  HMODULE dll = LoadLibraryA((ExeDir() + "host_sample_handler.dll").c_str());
  ASSERT_NE(nullptr, dll);
  auto call = [&](const char* name) {
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return fn ? fn() : E_FAIL;
  };
  ASSERT_EQ(S_OK, call("DllRegisterServer"));
  TempDir dir;
  HostRun run = RunHost({"--clsid", kSampleClsid, dir.File("photo.jpg", "x")});
  EXPECT_EQ(S_OK, call("DllUnregisterServer"));
  FreeLibrary(dll);
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("host_sample_handler.dll (registered)")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("\"&Sample\" >")) << run.out;
}

TEST(Host, HoldsCtrlWhenAsked) {
  TempDir dir;
  std::string text = dir.File("notes.txt", "x");
  HostRun plain = RunHost(WithSample({text}));
  EXPECT_EQ(0u, plain.exitCode) << plain.err;
  EXPECT_NE(std::string::npos, plain.out.find("Initialize: E_FAIL")) << plain.out;
  EXPECT_EQ(std::string::npos, plain.out.find("&Sample")) << plain.out;

  HostRun ctrl = RunHost(WithSample({text, "--ctrl"}));
  EXPECT_EQ(0u, ctrl.exitCode) << ctrl.err;
  EXPECT_NE(std::string::npos, ctrl.out.find("Initialize: S_OK")) << ctrl.out;
  EXPECT_NE(std::string::npos, ctrl.out.find("\"&Sample\" >")) << ctrl.out;
}

TEST(Host, BadInputGetsAClearError) {
  TempDir dir;
  std::string file = dir.File("photo.jpg", "x");

  HostRun missing = RunHost(WithSample({dir.path() + "nothere.jpg"}));
  EXPECT_EQ(1u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.err.find("file not found: " + dir.path() + "nothere.jpg")) << missing.err;

  HostRun unregistered = RunHost({"--clsid", "{00000000-1111-2222-3333-444444444444}", file});
  EXPECT_EQ(2u, unregistered.exitCode);
  EXPECT_NE(std::string::npos, unregistered.err.find("{00000000-1111-2222-3333-444444444444} is not registered"))
      << unregistered.err;

  HostRun offset = RunHost(WithSample({file, "--invoke-offset", "4"}));  // the "&More" popup
  EXPECT_EQ(1u, offset.exitCode);
  EXPECT_NE(std::string::npos, offset.err.find("offset 4 is not a command in the menu; its command offsets are: 1 2 3 5 6 7 8 9"))
      << offset.err;

  HostRun path = RunHost(WithSample({file, "--invoke", "Sample/More/Nothing"}));
  EXPECT_EQ(1u, path.exitCode);
  EXPECT_NE(std::string::npos,
            path.err.find("no item \"Nothing\" in \"&More\"; it holds: \"Start &helper\", \"Set &value\", \"&Ask\""))
      << path.err;

  HostRun popup = RunHost(WithSample({file, "--invoke", "Sample/More"}));
  EXPECT_EQ(1u, popup.exitCode);
  EXPECT_NE(std::string::npos, popup.err.find("\"&More\" is a submenu")) << popup.err;
}

TEST(Host, ScreenshotShowsTheOpenSubmenuWithItsOwnerDrawnItem) {
  TempDir dir;
  std::string png = dir.path() + "menu.png";
  HostRun run = RunHost(WithSample({dir.File("photo.jpg", "x"), "--screenshot", png}));
  ASSERT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("(opened \"&Sample\")")) << run.out;

  std::vector<BYTE> pixels = ReadPngPixels(png);
  ASSERT_FALSE(pixels.empty());
  // The red box is drawn only when the submenu is open and the host forwarded WM_DRAWITEM.
  int red = 0, transparent = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    if (pixels[i] == 0 && pixels[i + 1] == 0 && pixels[i + 2] == 255 && pixels[i + 3] == 255) ++red;
    if (pixels[i + 3] == 0) ++transparent;
  }
  EXPECT_GE(red, 40 * 20) << "the owner-drawn item is not in the picture";
  // Beside the top menu, above and below the submenu, lies screen outside every menu.
  EXPECT_GT(transparent, 0);
}

namespace {
// The stand-in main program, started for one test and ended by its process id.
class RunningStandin {
 public:
  RunningStandin() {
    std::string line = "\"" + ExeDir() + "standin\\Ombrelo.exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_))
      CloseHandle(process_.hThread);
  }
  ~RunningStandin() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
  }
  bool WindowAppeared() const {
    return process_.hProcess && testsupport::WaitUntil(
                                    [] { return FindWindowA("TF_97F624E067B811D292EE000021474C15", nullptr) != nullptr; },
                                    std::chrono::seconds(10));
  }

 private:
  PROCESS_INFORMATION process_{};
};
}  // namespace

TEST(HostWithTheExtension, ScreenshotShowsThePreviewTheMainProgramDrew) {
  testsupport::ResetProgramKey();
  testsupport::SetProgramDword(nullptr, "Language", 1);
  RunningStandin standin;
  ASSERT_TRUE(standin.WindowAppeared());
  TempDir dir;
  std::string png = dir.path() + "menu.png";
  HostRun run = RunHost({"--dll", testsupport::DllPath(), ExeDir() + "host_samples\\beach.jpg", "--screenshot", png});
  testsupport::ResetProgramKey();
  ASSERT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("    +3  (owner-drawn)  [owner-drawn 160x120]")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("(opened \"&Ombrelo\"); forwarded to the handler: 2 WM_INITMENUPOPUP, 1 "
                                            "WM_MEASUREITEM, 1 WM_DRAWITEM"))
      << run.out;
  // The sun of the sample picture (#FFD23F) is in the screenshot: the preview was drawn.
  std::vector<BYTE> pixels = ReadPngPixels(png);
  int sun = 0;
  for (size_t i = 0; i + 3 < pixels.size(); i += 4)
    if (std::abs(pixels[i + 2] - 255) < 24 && std::abs(pixels[i + 1] - 210) < 24 && std::abs(pixels[i] - 63) < 32) ++sun;
  EXPECT_GT(sun, 100) << "the preview picture is not in the screenshot";
}

TEST(HostWithTheExtension, DrivesTheWindows11CommandAndInvokesItByTitle) {
  testsupport::ResetProgramKey();
  testsupport::SetProgramDword(nullptr, "Language", 1);
  const std::string picture = ExeDir() + "host_samples\\beach.jpg";
  HostRun run = RunHost({"--modern", "--dll", testsupport::DllPath(), picture, "--invoke", "Ombrelo/Copy name"});
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("\n  \"Ombrelo\" >\n")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("\n      \"JPG (JPEG Format)\"  tip: \"Converts selected image to JPEG\"\n"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("\n      ----------\n")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("Invoke(\"Copy name\"): S_OK")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("clipboard text: \"" + picture + "\"")) << run.out;
  EXPECT_EQ(picture, ClipboardText());

  // Listed by the classic menu ("Show more options"), it stays hidden: the classic handler is there.
  HostRun classic = RunHost({"--modern", "--classic-site", "--dll", testsupport::DllPath(), picture});
  testsupport::ResetProgramKey();
  EXPECT_EQ(0u, classic.exitCode) << classic.out << classic.err;
  EXPECT_NE(std::string::npos, classic.out.find("\"Ombrelo\" >  [hidden]")) << classic.out;
  EXPECT_EQ(std::string::npos, classic.out.find("JPG")) << classic.out;
}

// A name outside the ANSI code page reaches the clipboard whole from both
// fronts: the host prints the Unicode clipboard text.
TEST(HostWithTheExtension, CopyNameOfAJapaneseNameGivesTheRealName) {
  testsupport::ResetProgramKey();
  testsupport::SetProgramDword(nullptr, "Language", 1);
  TempDir dir;
  const std::string picture = dir.path() + U8(u8"日本の海.jpg");
  ASSERT_TRUE(CopyFileW(Widen(ExeDir() + "host_samples\\beach.jpg").c_str(), Widen(picture).c_str(), FALSE));
  const std::vector<std::string> fronts[] = {
      {"--dll", testsupport::DllPath(), picture, "--invoke", "&Ombrelo/&Miscellaneous features/Copy &name"},
      {"--modern", "--dll", testsupport::DllPath(), picture, "--invoke", "Ombrelo/Copy name"},
  };
  for (const std::vector<std::string>& args : fronts) {
    HostRun run = RunHost(args);
    EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("clipboard text: \"" + picture + "\"")) << run.out;
  }
  DeleteFileW(Widen(picture).c_str());
  testsupport::ResetProgramKey();
}
