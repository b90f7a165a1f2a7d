#pragma once
// The journal: one line per event, appended and flushed before the event's
// handler returns, so a reader sees exactly what arrived and in which order.
//
// A line holds five fields separated by tabs:
//   event  code  bytes  text  detail
// event   "start" (the program's command line), "copydata" (a WM_COPYDATA
//         message), "preview" (the outcome of a preview request), "exit"
// code    a signed decimal number: the message's dwData as a 32-bit value
// bytes   the number of bytes of text that arrived (cbData for a message)
// text    those bytes; a byte below 32, 127 and "%" are written as %XX in
//         upper-case hex, so the terminating zero of a message shows as %00
// detail  "wparam=N" for a message, "cwd=FOLDER" for a start, the outcome
//         of a preview request
#include <cstddef>
#include <string>

namespace standin {

class Journal {
 public:
  explicit Journal(std::string path) : path_(std::move(path)) {}
  void Write(const char* event, long long code, const char* text, size_t bytes, const std::string& detail) const;
  void Write(const char* event, long long code, const std::string& text, const std::string& detail) const {
    Write(event, code, text.data(), text.size(), detail);
  }

 private:
  std::string path_;
};

std::string Escape(const char* text, size_t bytes);

}  // namespace standin
