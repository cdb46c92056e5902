#pragma once

#include <string>
#include <string_view>

#include "support/error.hpp"

namespace lumra::cli {

// The word that means standard input (restore) or standard output (save).
inline constexpr std::string_view kStandardStream = "-";

// The folder of profiles named by a bare word: "<home>/Library/Application Support/lumra/profiles".
std::string ProfileFolder(std::string_view home);

// The file a profile word names: "-" as it is; a word without "/" that names no existing file
// or folder, as "<folder>/<word>.json" (".json" is not added twice); any other word as it is.
// A bare word with no folder (HOME unset) is refused.
support::Result<std::string> ProfilePath(std::string_view word, std::string_view folder);

// The whole text of the profile at `path`, or of standard input for "-". A file larger than any
// profile could be is refused rather than read.
support::Result<std::string> ReadProfileText(const std::string& path);

// Replaces the file at `path` with `text` at once, as the shell's ">" would have written it: a
// reader, or a save that is interrupted, leaves the old file or the new one, never half of one.
// An existing file keeps its permissions; the profile folder is created when `path` is in it.
support::Error WriteProfileText(const std::string& path, std::string_view text,
                                std::string_view folder);

}  // namespace lumra::cli
