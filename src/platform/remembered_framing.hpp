// Which framing a port with two of them last answered in, remembered across processes in a
// small file beside the endpoint's lock file. The file is only a hint: what cannot be read
// back means nothing is remembered, and a write that fails leaves the port to be found again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumra::platform {

// A port with two framings answers in its own (the PS190 converter's) or in the other one
// (the standard framing), which the exchange asks for with LUMRA_EXCHANGE_OTHER_FRAMING.
enum class PortFraming { Own, Other };

// What is remembered for one endpoint, loaded once per command under the endpoint lock; every
// change goes to the file at once, so the next process finds it.
class RememberedFraming {
 public:
  // Remembers nothing and touches no file.
  RememberedFraming() = default;
  // What "<directory>/ddc-<endpoint>.framing" holds: "ps190" or "standard" and a line feed.
  static RememberedFraming Load(const std::string& directory, std::uint64_t endpointID);

  const std::optional<PortFraming>& Framing() const { return framing_; }
  // Remembers `framing`, writing the file only when that changes what it holds.
  void Remember(PortFraming framing);
  // Remembers nothing from now on, here and in the file.
  void Forget();

 private:
  std::string path_;
  std::optional<PortFraming> framing_;
};

}  // namespace lumra::platform
