#pragma once
// A link at a path as Windows shows one, for systems that keep no file
// links of their own (Wine shows a link to a file as that file): the file
// calls of one module are intercepted, so that the module sees a link at
// linkPath that leads to targetPath. Opened as itself
// (FILE_FLAG_OPEN_REPARSE_POINT) the path is the link, a file with the
// reparse-point attribute; opened in any other way it is the target. Both
// paths name existing files. One emulation at a time.
#include <windows.h>

#include <string>

namespace testsupport {

class EmulatedLink {
 public:
  EmulatedLink(HMODULE module, const std::string& linkPath, const std::string& targetPath);
  ~EmulatedLink();
  EmulatedLink(const EmulatedLink&) = delete;
  EmulatedLink& operator=(const EmulatedLink&) = delete;
  // Whether the module opened the path in a way that followed the link.
  bool Followed() const;

 private:
  HMODULE module_;
};

}  // namespace testsupport
