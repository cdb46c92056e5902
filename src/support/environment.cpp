#include "support/environment.hpp"

#include <cstdlib>

namespace lumra::support {

std::string Getenv(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  return value != nullptr ? value : "";
}

}  // namespace lumra::support
