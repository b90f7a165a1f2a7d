#pragma once
// The figures of one benchmark run, printed as a table and written as JSON,
// with the targets they are held against.
#include <cstdio>
#include <string>
#include <vector>

#include "CallProfile.h"
#include "Cold.h"
#include "Measure.h"
#include "PeFile.h"
#include "Resources.h"

namespace bench {

class Report {
 public:
  void SetSize(const PeInfo& info) { size_ = info; }
  void SetCold(const ColdPair& bare, const ColdPair& fileManager) {
    coldBare_ = bare;
    coldFileManager_ = fileManager;
  }
  void AddWarm(int entries, bool icons, bool preview, const Figure& ours, const Figure* replay,
               const std::vector<CallCount>& calls, double profiledMicros);
  // Icon items of 5 programs on a share of a server that does not exist,
  // and of 5 local programs measured just before.
  void SetShare(const Figure& share, const Figure& local, const std::vector<CallCount>& calls, double profiled) {
    share_ = share;
    shareLocal_ = local;
    shareCalls_ = calls;
    shareProfiledMicros_ = profiled;
  }
  // Icon items against text items of the same entries, measured in turn.
  void AddIconsAgainstText(int entries, const Figure& icons, const Figure& text) {
    iconsAgainstText_.push_back({entries, icons, text});
  }
  // Icon items of 5 programs no menu has shown yet, against the replay of
  // their calls.
  void SetFirstOfPrograms(const Figure& ours, const Figure& replay, const std::vector<CallCount>& calls,
                          double profiled) {
    firstOurs_ = ours;
    firstReplay_ = replay;
    firstCalls_ = calls;
    firstProfiledMicros_ = profiled;
  }
  void SetMinimal(const Figure& f) { minimal_ = f; }
  void SetMultiSelection(const Figure& f) { multi_ = f; }
  void SetMultiSelectionCalls(const std::vector<CallCount>& calls, double micros) {
    multiCalls_ = calls;
    multiProfiledMicros_ = micros;
  }
  void SetMainProgramRunning(bool running) { mainProgram_ = running; }
  void SetDraw(const Figure& f) { draw_ = f; }
  void SetPreviewRequests(const Figure& f) { previewRequests_ = f; }
  // Right-clicks while the main program takes slowMs for every message.
  void SetSlowMainProgram(const Figure& f, double slowMs, bool ran) {
    slow_ = f;
    slowMs_ = slowMs;
    slowRan_ = ran;
  }
  void SetResources(int cycles, const Resources& before, const Resources& after, double seconds);
  // The same with the open-with programs changing every 100 right-clicks.
  void SetChangingResources(const Resources& before, const Resources& after, double seconds) {
    changingBefore_ = before;
    changingAfter_ = after;
    changingSeconds_ = seconds;
  }

  void Print(FILE* out) const;
  bool WriteJson(const std::string& path) const;

 private:
  struct Warm {
    int entries;
    bool icons, preview;
    Figure ours;
    bool hasReplay;
    Figure replay;
    std::vector<CallCount> calls;
    double profiledMicros;
  };
  struct IconsAgainstText {
    int entries;
    Figure icons, text;
  };
  struct Target {
    std::string what;
    std::string figure;
    bool met;
  };
  const Warm* FindWarm(int entries, bool icons, bool preview) const;
  std::vector<Target> Targets() const;

  PeInfo size_;
  ColdPair coldBare_, coldFileManager_;
  std::vector<Warm> warm_;
  Figure minimal_, multi_, draw_, previewRequests_, share_, shareLocal_, slow_;
  double slowMs_ = 0;
  bool slowRan_ = false;
  std::vector<IconsAgainstText> iconsAgainstText_;
  Figure firstOurs_, firstReplay_;
  std::vector<CallCount> firstCalls_;
  double firstProfiledMicros_ = 0;
  std::vector<CallCount> shareCalls_;
  double shareProfiledMicros_ = 0;
  std::vector<CallCount> multiCalls_;
  double multiProfiledMicros_ = 0;
  bool mainProgram_ = false;
  int cycles_ = 0;
  Resources before_, after_;
  double resourceSeconds_ = 0;
  Resources changingBefore_, changingAfter_;
  double changingSeconds_ = 0;
};

}  // namespace bench
