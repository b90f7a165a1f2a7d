#include "Cold.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "Scene.h"

namespace bench {

namespace {

struct Sample {
  double load = 0, start = 0, menu = 0, unload = 0;
  bool unloaded = false;
  std::string held;
};

// Runs one child process for one cycle; false when it failed or did not end in time.
bool RunChild(const std::string& dll, bool minimal, bool fileManager, const std::string& picture, Sample* sample) {
  char temp[MAX_PATH] = {}, out[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  if (!GetTempFileNameA(temp, "omc", 0, out)) return false;
  std::string command = "\"" + ExeDir() + "ombrelo_cold.exe\" --dll \"" + dll + "\" --file \"" + picture +
                        "\" --out \"" + out + "\"";
  if (minimal) command += " --minimal";
  if (fileManager) command += " --file-manager";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  bool ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  if (ok) {
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
      ok = false;
    }
    DWORD code = 1;
    ok = ok && GetExitCodeProcess(process.hProcess, &code) && code == 0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  std::ifstream in(out);
  int unloaded = 0;
  ok = ok && static_cast<bool>(in >> sample->load >> sample->start >> sample->menu >> sample->unload >> unloaded);
  sample->unloaded = unloaded == 1;
  if (ok) std::getline(in, sample->held);
  in.close();
  DeleteFileA(out);
  return ok;
}

ColdSteps Summarize(const std::vector<Sample>& samples, bool ran) {
  std::vector<double> load, start, menu, unload, cycle;
  ColdSteps steps;
  steps.ran = ran && !samples.empty();
  for (const Sample& s : samples) {
    load.push_back(s.load);
    start.push_back(s.start);
    menu.push_back(s.menu);
    unload.push_back(s.unload);
    cycle.push_back(s.load + s.start + s.menu + s.unload);
    steps.unloaded = steps.unloaded && s.unloaded;
    steps.held = s.held;
  }
  steps.load = bench::Summarize(load);
  steps.start = bench::Summarize(start);
  steps.menu = bench::Summarize(menu);
  steps.unload = bench::Summarize(unload);
  steps.cycle = bench::Summarize(cycle);
  return steps;
}

}  // namespace

ColdPair MeasureCold(int repetitions, bool fileManager, const std::string& picture) {
  std::vector<Sample> ours, minimal;
  bool oursRan = true, minimalRan = true;
  // Alternately, so that both see the same state of the machine; the first
  // pair only brings the files into the system's cache.
  for (int i = 0; i <= repetitions; ++i) {
    Sample a, b;
    const bool aRan = RunChild(ExtensionPath(), false, fileManager, picture, &a);
    const bool bRan = RunChild(MinimalHandlerPath(), true, fileManager, picture, &b);
    if (i == 0) continue;
    oursRan = oursRan && aRan;
    minimalRan = minimalRan && bRan;
    if (aRan) ours.push_back(a);
    if (bRan) minimal.push_back(b);
  }
  return {Summarize(ours, oursRan), Summarize(minimal, minimalRan)};
}

}  // namespace bench
