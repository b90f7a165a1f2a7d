#include "Journal.h"

#include <windows.h>

namespace standin {

std::string Escape(const char* text, size_t bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 32 || c == 127 || c == '%') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void Journal::Write(const char* event, long long code, const char* text, size_t bytes,
                    const std::string& detail) const {
  if (path_.empty()) return;
  std::string line = std::string(event) + '\t' + std::to_string(code) + '\t' + std::to_string(bytes) + '\t' +
                     Escape(text, bytes) + '\t' + Escape(detail.data(), detail.size()) + '\n';
  // Opened for each line: other instances append to the same file, and each
  // line is on disk before the handler returns.
  HANDLE file = CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  FlushFileBuffers(file);
  CloseHandle(file);
}

}  // namespace standin
