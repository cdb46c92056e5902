#include "platform/remembered_framing.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/native/ioav_framing.hpp"
#include "support/format.hpp"
#include "support/posix/replace_file.hpp"
#include "support/posix/retry.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::platform {

namespace {

// Longer than anything this program writes, so that a longer file reads as garbage.
constexpr std::size_t kFramingFileLimit = 16;

// The file holds the framing's name as LUMRA_IOAV_FRAMING spells it; only PS190 ports have
// two framings, so their own is "ps190".
std::optional<PortFraming> ParseRemembered(std::string_view text) {
  if (!text.ends_with('\n')) return std::nullopt;
  const auto framing = native::ParseIoavFraming(text.substr(0, text.size() - 1));
  if (!framing) return std::nullopt;
  return *framing == native::IoavFraming::Ps190 ? PortFraming::Own : PortFraming::Other;
}

std::string_view RememberedText(PortFraming framing) {
  return framing == PortFraming::Own ? "ps190\n" : "standard\n";
}

}  // namespace

RememberedFraming RememberedFraming::Load(const std::string& directory, std::uint64_t endpointID) {
  RememberedFraming remembered;
  remembered.path_ = support::Format("%s/ddc-%016x.framing", directory, endpointID);
  const auto opened = support::OpenFile(remembered.path_, O_RDONLY);
  if (opened.Err) return remembered;
  char text[kFramingFileLimit];
  const ssize_t got =
      support::RetryOnEintr([&] { return ::read(opened.Value.Get(), text, sizeof text); });
  if (got > 0) {
    remembered.framing_ = ParseRemembered(std::string_view(text, static_cast<std::size_t>(got)));
  }
  return remembered;
}

void RememberedFraming::Remember(PortFraming framing) {
  if (framing_ == framing) return;
  framing_ = framing;
  if (path_.empty()) return;
  // A file that cannot be written costs the next command one settling read, nothing more.
  static_cast<void>(support::ReplaceFile(path_, RememberedText(framing), 0600));
}

void RememberedFraming::Forget() {
  if (!framing_) return;
  framing_.reset();
  if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace lumra::platform
