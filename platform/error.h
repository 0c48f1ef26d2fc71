// The error a step raises when it cannot go on; it carries the message shown to the user.
#pragma once
#include <stdexcept>
#include <string>

namespace tf {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tf
