#include <iostream>
#include <string>
#include <vector>

#include "cli/entry.hpp"
#include "platform/darwin_transport.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto transport = lumra::platform::Open();
  return lumra::cli::RunAndClose(arguments, std::cout, std::cerr, *transport);
}
