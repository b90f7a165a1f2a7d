// The benchmark of the extension under the shell's calls: cold load and
// first menu in fresh processes, warm right-clicks with and without the
// main program, the preview item's drawing, a large multiple selection, the
// floor (a minimal handler and the bare Win32 calls the menu cannot avoid),
// resources after many right-clicks, and the DLL's size and imports. Prints
// one table and writes the same figures as JSON.
//
// Usage: ombrelo_bench [--json FILE] [--quick] [--cycles N]
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CallProfile.h"
#include "Cold.h"
#include "Cycle.h"
#include "Measure.h"
#include "MinimalHandler.h"
#include "PeFile.h"
#include "Replay.h"
#include "Resources.h"
#include "Report.h"
#include "Scene.h"
#include "support/Bitmaps.h"
#include "support/DataObject.h"
#include "support/GdiCount.h"
#include "support/TestSupport.h"

using namespace bench;

namespace {

struct Options {
  std::string json;
  bool quick = false;
  int cycles = 10000;
};

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--json" && i + 1 < argc) o.json = argv[++i];
    else if (a == "--quick") o.quick = true;
    else if (a == "--cycles" && i + 1 < argc) o.cycles = atoi(argv[++i]);
  }
  if (o.quick && o.cycles == 10000) o.cycles = 1000;
  return o;
}

// The Win32 calls of cycles right-clicks, per right-click; returns the time
// of one right-click under the counting wrappers.
double Profile(const LoadedServer& extension, IDataObject* selection, int cycles, std::vector<CallCount>* counts) {
  CallProfile profile(extension.module());
  Stopwatch watch;
  for (int i = 0; i < cycles; ++i) RightClick(extension.factory(), selection);
  const double micros = watch.Micros() / cycles;
  *counts = profile.Counts(cycles);
  return micros;
}

// The open-with programs of successive menus, five at a time, taken in turn
// from programs of their own: with more of them than the module keeps icons
// for, every menu shows programs whose icons it has not kept.
class ProgramTurns {
 public:
  explicit ProgramTurns(std::vector<std::string> programs) : programs_(std::move(programs)) {}
  std::vector<std::string> Next() {
    std::vector<std::string> five;
    for (int i = 0; i < 5; ++i) five.push_back(programs_[next_++ % programs_.size()]);
    return five;
  }

 private:
  std::vector<std::string> programs_;
  size_t next_ = 0;
};

struct Config {
  int entries;
  bool icons;
};
const Config kConfigs[] = {{0, false}, {5, false}, {30, false}, {0, true}, {5, true}, {30, true}};

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  OleInitialize(nullptr);
  Report report;
  const int reps = options.quick ? 40 : 300;
  const int warmup = options.quick ? 5 : 30;
  const int profileCycles = options.quick ? 5 : 20;

  WorkFolder work;
  SettingsFile settings;
  ResetProgramKey();
  // The main program is installed: with icon items, "&Ombrelo" gets its icon.
  SetMainProgramPath(StandinPath());
  const std::string picture = work.path() + "picture.bmp";
  WriteBitmapFile(picture, 64, 48);
  IDataObject* selection = testsupport::MakeDropDataObject({picture});
  std::vector<std::string> many;
  static const char* const kExtensions[] = {".jpg", ".png", ".txt", ".doc", ".gif", ".tif", ".zip", ".bmp"};
  for (int i = 0; i < 1000; ++i)
    many.push_back(work.path() + "file" + std::to_string(i) + kExtensions[i % std::size(kExtensions)]);
  IDataObject* manyFiles = testsupport::MakeDropDataObject(many);

  // 8. Size and imports.
  report.SetSize(ReadPeInfo(ExtensionPath()));

  // 1. Cold: every cycle in a fresh process, bare and with a file manager's DLLs.
  settings.WriteOpenWith(5);
  SetIconItems(false);
  {
    const int coldReps = options.quick ? 5 : 25;
    const ColdPair bare = MeasureCold(coldReps, false, picture);
    report.SetCold(bare, MeasureCold(coldReps, true, picture));
  }

  LoadedServer extension(ExtensionPath(), kExtensionClsid);
  LoadedServer minimal(MinimalHandlerPath(), kMinimalClsid);
  if (!extension.factory() || !minimal.factory()) {
    fprintf(stderr, "cannot load %s or %s\n", ExtensionPath().c_str(), MinimalHandlerPath().c_str());
    return 2;
  }

  // 2 and 6. Warm right-clicks without the main program, each against its replay.
  // Sets up one configuration, warms it up and counts the calls of one right-click.
  auto prepare = [&](const Config& c, std::vector<CallCount>* counts) {
    settings.WriteOpenWith(c.entries);
    SetIconItems(c.icons);
    for (int i = 0; i < warmup; ++i) RightClick(extension.factory(), selection);
    return Profile(extension, selection, profileCycles, counts);
  };
  ReplayInput replayInput{selection, settings.path(), {}, PreviewBitmapPath()};
  for (const Config& c : kConfigs) {
    std::vector<CallCount> counts;
    const double profiled = prepare(c, &counts);
    const ReplayPlan plan = PlanFrom(counts);
    // The programs whose icons the menu asks for: the entries', and with
    // icon items the main program's beside "&Ombrelo".
    replayInput.programs = OpenWithPrograms(c.entries);
    if (c.icons) replayInput.programs.push_back(StandinPath());
    auto [ours, replay] = MeasurePair(
        reps, warmup, [&] { RightClick(extension.factory(), selection); }, [&] { Replay(plan, replayInput); });
    report.AddWarm(c.entries, c.icons, false, ours, &replay, counts, profiled);
  }

  // 2c. Icon items against text items of the same entries, in turn, so
  // that both see the same state of the machine.
  for (int entries : {5, 30}) {
    settings.WriteOpenWith(entries);
    std::vector<double> text, icons;
    for (int i = 0; i < warmup + reps; ++i)
      for (bool on : {false, true}) {
        SetIconItems(on);
        Stopwatch watch;
        RightClick(extension.factory(), selection);
        if (i >= warmup) (on ? icons : text).push_back(watch.Micros());
      }
    report.AddIconsAgainstText(entries, Summarize(icons), Summarize(text));
  }

  // 2d. The first right-click of programs: five that no menu has shown yet
  // each time, against the replay of such a right-click's calls with five
  // other new programs. Each program comes back after 100 others have been
  // shown, long after its icon left the module's cache.
  ProgramTurns turns(CopiesOfPrograms(work.path(), 200));
  {
    SetIconItems(true);
    auto firstClick = [&] {
      settings.WriteOpenWith(turns.Next());
      Stopwatch watch;
      RightClick(extension.factory(), selection);
      return watch.Micros();
    };
    for (int i = 0; i < warmup; ++i) firstClick();
    std::vector<CallCount> counts;
    double profiled = 0;
    {
      CallProfile profile(extension.module());
      for (int i = 0; i < profileCycles; ++i) profiled += firstClick() / profileCycles;
      counts = profile.Counts(profileCycles);
    }
    const ReplayPlan plan = PlanFrom(counts);
    std::vector<double> ours, replayed;
    for (int i = 0; i < reps; ++i) {
      ours.push_back(firstClick());
      ReplayInput input = replayInput;
      input.programs = turns.Next();
      input.programs.push_back(StandinPath());
      Stopwatch watch;
      Replay(plan, input);
      replayed.push_back(watch.Micros());
    }
    report.SetFirstOfPrograms(Summarize(ours), Summarize(replayed), counts, profiled);
  }

  // 2b. Icon items of programs on a share of a server that does not exist:
  // the path rule gives them their type's icon without asking the network.
  // Measured right after the same number of local programs, in this run.
  {
    std::vector<std::string> onShare;
    for (int i = 0; i < 5; ++i)
      onShare.push_back("\\\\ombrelo-no-server\\share\\program" + std::to_string(i) + ".exe");
    SetIconItems(true);
    settings.WriteOpenWith(5);
    for (int i = 0; i < warmup; ++i) RightClick(extension.factory(), selection);
    const Figure local = Measure(reps, warmup, [&] { RightClick(extension.factory(), selection); });
    settings.WriteOpenWith(onShare);
    for (int i = 0; i < warmup; ++i) RightClick(extension.factory(), selection);
    std::vector<CallCount> counts;
    const double profiled = Profile(extension, selection, profileCycles, &counts);
    const Figure share = Measure(reps, warmup, [&] { RightClick(extension.factory(), selection); });
    report.SetShare(share, local, counts, profiled);
  }

  // 6. The minimal handler's cycle.
  report.SetMinimal(Measure(reps, warmup, [&] { RightClick(minimal.factory(), selection); }));

  // 5. Initialize with a multiple selection of 1,000 files.
  auto initializeMany = [&] {
    IShellExtInit* init = nullptr;
    extension.factory()->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    if (init) {
      init->Initialize(nullptr, manyFiles, nullptr);
      init->Release();
    }
  };
  report.SetMultiSelection(Measure(options.quick ? 20 : 100, 3, initializeMany));
  {
    CallProfile profile(extension.module());
    Stopwatch watch;
    initializeMany();
    report.SetMultiSelectionCalls(profile.Counts(), watch.Micros());
  }

  // 3, 4 and 7: the main program runs and answers the preview requests.
  {
    MainProgram mainProgram;
    report.SetMainProgramRunning(mainProgram.running());
    for (const Config& c : kConfigs) {
      std::vector<CallCount> counts;
      const double profiled = prepare(c, &counts);
      report.AddWarm(c.entries, c.icons, true,
                     Measure(reps, warmup, [&] { RightClick(extension.factory(), selection); }), nullptr, counts,
                     profiled);
    }

    // 4. The preview item measured and drawn, on one open menu; and the
    // main program's own time for the two preview requests of that menu.
    settings.WriteOpenWith(5);
    SetIconItems(false);
    testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
    {
      IShellExtInit* init = nullptr;
      IContextMenu2* menu = nullptr;
      extension.factory()->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
      HMENU shell = CreatePopupMenu();
      if (init && SUCCEEDED(init->Initialize(nullptr, selection, nullptr)) &&
          SUCCEEDED(init->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&menu)))) {
        menu->QueryContextMenu(shell, 0, kFirstId, kLastId, CMF_NORMAL);
        report.SetDraw(Measure(reps, warmup, [&] { MeasureAndDrawPreview(menu, canvas.dc()); }));
        const HWND window = FindWindowA("TF_97F624E067B811D292EE000021474C15", nullptr);
        if (window)
          report.SetPreviewRequests(Measure(reps, warmup, [&] {
            ReplayPreviewRequests(window, shell, GetSubMenu(shell, 1), picture);
          }));
        menu->Release();
      }
      if (init) init->Release();
      DestroyMenu(shell);
    }

    // 7. Resources after many right-clicks with icon items and the preview.
    SetIconItems(true);
    CycleOptions draw;
    draw.drawOn = canvas.dc();
    for (int i = 0; i < 100; ++i) RightClick(extension.factory(), selection, draw);
    Resources before = CountResources();
    Stopwatch watch;
    for (int i = 0; i < options.cycles; ++i) RightClick(extension.factory(), selection, draw);
    const double seconds = watch.Micros() / 1e6;
    Resources after = CountResources();
    report.SetResources(options.cycles, before, after, seconds);

    // 7b. The same with the open-with programs changing every 100 right-clicks.
    for (int i = 0; i < 100; ++i) {
      if (i % 10 == 0) settings.WriteOpenWith(turns.Next());
      RightClick(extension.factory(), selection, draw);
    }
    before = CountResources();
    Stopwatch changing;
    for (int i = 0; i < options.cycles; ++i) {
      if (i % 100 == 0) settings.WriteOpenWith(turns.Next());
      RightClick(extension.factory(), selection, draw);
    }
    const double changingSeconds = changing.Micros() / 1e6;
    report.SetChangingResources(before, CountResources(), changingSeconds);
  }

  // 3b. A main program that is slow, not hung: 9.5 s for every message. The
  // menu comes once the requests' shared deadline has passed, without the
  // preview. Between right-clicks the stand-in finishes the message it is
  // still handling, so that it never counts as hung (which is given up at once).
  {
    constexpr DWORD kSlowMs = 9500;
    settings.WriteOpenWith(5);
    SetIconItems(false);
    MainProgram slow(kSlowMs);
    std::vector<double> samples;
    for (int i = 0; slow.running() && i < (options.quick ? 2 : 3); ++i) {
      Stopwatch watch;
      RightClick(extension.factory(), selection);
      samples.push_back(watch.Micros());
      slow.WaitUntilIdle(3 * kSlowMs);
    }
    report.SetSlowMainProgram(Summarize(std::move(samples)), kSlowMs, slow.running());
  }

  report.Print(stdout);
  if (!options.json.empty()) report.WriteJson(options.json);
  selection->Release();
  manyFiles->Release();
  ResetProgramKey();
  OleUninitialize();
  return 0;
}
