// Another program on the desktop sends the start prompt ("start the main
// program?") messages with pointers it made up, among them one to memory of
// this process that the prompt was never given: the prompt neither crashes
// nor reads or writes through them, and closes as the close box closes it.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "bridge/BridgeSupport.h"
#include "bridge/MainProgram.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"
#include "robust/RobustSupport.h"

using namespace bridgetest;

namespace {

class ForgedMessages : public BridgeTest {};

// Runs the forger against the window and returns its exit code (-1 when it
// did not start or end within the bound).
long RunForger(HWND window, const void* untouchable, uint32_t seed, int rounds) {
  std::string command = "\"" + testsupport::ExeDir() + "forger.exe\" " +
                        std::to_string(reinterpret_cast<UINT_PTR>(window)) + " " +
                        std::to_string(reinterpret_cast<UINT_PTR>(untouchable)) + " " + std::to_string(seed) + " " +
                        std::to_string(rounds);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  ombrelo::UniqueKernelHandle thread(process.hThread), owner(process.hProcess);
  DWORD code = 0;
  if (WaitForSingleObject(owner.get(), 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(owner.get(), &code)) {
    TerminateProcess(owner.get(), 99);
    return -1;
  }
  return static_cast<long>(code);
}

}  // namespace

TEST_F(ForgedMessages, TheStartPromptSurvivesForeignMessagesAndTouchesNoForeignPointer) {
  SetLanguage(1);
  testsupport::SetProgramString(nullptr, "cmd", StandinPath());
  // Memory of this process whose address the prompt never gets, except in
  // the forged messages.
  static unsigned char untouchable[4096];
  std::memset(untouchable, 0x5A, sizeof(untouchable));
  robust::Rng rng = robust::CaseRng();
  const auto seed = static_cast<uint32_t>(robust::Between(rng, 1, INT_MAX));
  const int rounds = robust::Rounds(300);
  long forger = -2;
  DialogScript answers({{HasControlText(ombrelo::LookupText("@idAlwaysAutostart")),
                         [&](HWND prompt) { forger = RunForger(prompt, untouchable, seed, rounds); }}},
                       std::chrono::seconds(60));
  EXPECT_EQ(1, ombrelo::EnsureMainProgramRunning());
  ASSERT_EQ(1u, answers.Finish());

  EXPECT_EQ(0, forger) << "the prompt took every message and was there at the end (forger seed " << seed << ")";
  size_t changed = 0;
  for (unsigned char byte : untouchable) changed += byte != 0x5A;
  EXPECT_EQ(0u, changed) << "bytes written through a forged pointer";
  // The forger's WM_CLOSE answered the prompt as the close box does.
  EXPECT_FALSE(testsupport::HkcuValueExists("Software\\Kestrani\\Ombrelo", "AutoStart"));
  EXPECT_TRUE(testsupport::ProcessesNamed("Ombrelo.exe").empty());
}
