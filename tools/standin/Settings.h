#pragma once
// How the stand-in behaves, from environment variables or, when a variable
// is not set, from standin.ini beside the executable (section [Standin]):
//   OMBRELO_STANDIN_JOURNAL   / Journal    file that receives one line per event
//   OMBRELO_STANDIN_NOPREVIEW / NoPreview  1: answer preview requests without a bitmap
//   OMBRELO_STANDIN_DELAY     / Delay      milliseconds to spend on every message
//   OMBRELO_STANDIN_HANG      / Hang       milliseconds to stop handling messages
//                                          right after the window exists
//   OMBRELO_STANDIN_CRASH     / Crash      1: end the process abruptly while handling
//                                          the first WM_COPYDATA, without answering
#include <windows.h>

#include <string>

namespace standin {

struct Settings {
  std::string journal;
  bool noPreview = false;
  DWORD delayMs = 0;
  DWORD hangMs = 0;
  bool crash = false;
};

Settings ReadSettings();
// Folder of the running executable, with its trailing backslash.
std::string ExeDirectory();

}  // namespace standin
