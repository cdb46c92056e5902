#include "platform/capabilities.hpp"

#include <algorithm>

#include "ddc/errors.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

support::Error CapabilitiesTooLong() {
  return support::Errorf("%w: capabilities string exceeds 64 KiB", ddc::kErrProtocol);
}

}  // namespace

support::Result<std::string> ReadCapabilitiesFragments(const support::Context& ctx,
                                                       const FragmentReader& reader) {
  std::string assembled;
  assembled.reserve(256);
  while (assembled.size() < kMaximumCapabilitiesLength) {
    if (support::Error ended = ctx.Err()) return {{}, ended};
    auto fragment = reader(static_cast<std::uint16_t>(assembled.size()));
    if (fragment.Err) return {{}, fragment.Err};
    const ddcci::Bytes& bytes = fragment.Value;

    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const std::size_t usable = static_cast<std::size_t>(zero - bytes.begin());
    if (assembled.size() + usable > kMaximumCapabilitiesLength) return {{}, CapabilitiesTooLong()};
    assembled.append(bytes.begin(), zero);
    if (zero != bytes.end() || bytes.empty()) return {std::move(assembled), {}};
  }
  return {{}, CapabilitiesTooLong()};
}

}  // namespace lumra::platform
