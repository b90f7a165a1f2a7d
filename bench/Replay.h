#pragma once
// The floor of a right-click: the Win32 calls that the extension's menu
// cannot do without (the selection, the registry reads, the settings-file
// reads, the window lookups, the menu insertions and the program icons),
// as many of each as the extension made, replayed bare in a loop.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "CallProfile.h"

namespace bench {

struct ReplayPlan {
  long dragQueries = 0, tempPaths = 0, wideTempPaths = 0;
  long foregrounds = 0, classNames = 0, findWindows = 0;
  long registryOpens = 0, registryQueries = 0;
  long profileSections = 0, profileStrings = 0, wideProfileSections = 0, wideProfileStrings = 0;
  long menusCreated = 0, menuInserts = 0, menuAppends = 0, menuModifies = 0, menuItemInfos = 0;
  long iconLookups = 0, fileChecks = 0, wideFileChecks = 0, programChecks = 0, fileOpens = 0;
  long fullPaths = 0, driveTypes = 0;  // the path rule (common/PathRule.h)
};

// The calls one cycle of the extension made, from a call profile of it.
ReplayPlan PlanFrom(const std::vector<CallCount>& counts);

struct ReplayInput {
  IDataObject* selection = nullptr;
  std::string settingsFile;
  std::vector<std::string> programs;  // open-with programs, for the icon lookups
  std::string previewPath;
};

// One right-click's unavoidable calls, as the plan counts them.
void Replay(const ReplayPlan& plan, const ReplayInput& input);

// The two preview requests of a picture menu (preview in the shell's menu)
// sent bare to the main program: its own time to answer them.
void ReplayPreviewRequests(HWND mainProgram, HMENU shellMenu, HMENU submenu, const std::string& picture);

}  // namespace bench
