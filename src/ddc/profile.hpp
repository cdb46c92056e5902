#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/feature.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// The features a profile holds, in the order restore writes them: picture mode and colour
// preset first (selecting one resets the gains on many monitors), then the gains and black
// levels, then brightness, contrast, sharpness, volume, mute, and the input last (a monitor
// switched away stops answering this computer). Input and picture mode are Unsafe (they are
// saved and restored only with --unsafe).
std::span<const Feature> ProfileFeatures();
// Whether `feature` (by code) is one of them.
bool InProfile(const Feature& feature);

inline constexpr std::string_view kProfileFormat = "lumra-profile";
inline constexpr std::uint64_t kProfileVersion = 1;

struct ProfileSetting {
  ddc::Feature Feature;  // the table's row
  std::uint16_t Value = 0;
};
struct ProfileMonitor {
  std::string ID;
  std::string Name;
  std::vector<ProfileSetting> Settings;  // in ProfileFeatures() order
};
struct Profile {
  std::vector<ProfileMonitor> Monitors;
};

// The document text, ending in a line feed: two-space indentation, one value object a line.
// Settings are written in the order given.
std::string EncodeProfile(const Profile& profile);

// Reads and checks a whole document; nothing of it is used unless all of it is valid. The
// error's message is the first problem, led by where it is (`monitors[0].values[2].value: 70000
// is out of range for brightness (0 to 65535)`), or `not JSON: ` and the reader's position and
// problem. Settings come back sorted in ProfileFeatures() order.
support::Result<Profile> ParseProfile(std::string_view text);

}  // namespace lumra::ddc
