#pragma once
// A failure raised inside the extension: a std::exception that carries its
// message in a small buffer of its own instead of a std::string, so raising
// it needs no further allocation and the runtime's string-based exception
// classes stay out of the DLL.
#include <cstring>
#include <exception>
#include <string_view>

namespace ombrelo {

class Failure : public std::exception {
 public:
  explicit Failure(std::string_view message) noexcept {
    const size_t length = message.size() < sizeof(message_) - 1 ? message.size() : sizeof(message_) - 1;
    std::memcpy(message_, message.data(), length);
    message_[length] = '\0';
  }
  const char* what() const noexcept override { return message_; }

 private:
  char message_[320];
};

}  // namespace ombrelo
