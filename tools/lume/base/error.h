// The one error type of the building tool: a message that names the file
// and the problem. Thrown anywhere, caught once in main.
#pragma once

#include <stdexcept>
#include <string>

namespace lume {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace lume
