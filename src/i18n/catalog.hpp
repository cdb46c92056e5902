#pragma once

#include <span>
#include <string>
#include <string_view>

#include "support/format.hpp"

namespace lumra::i18n {

// The chosen message language; a small value copied freely.
struct Catalog {
  std::string Language;  // "en" or "zh" when made by New

  // The key's format in the catalog's language (English when the language or key is
  // unknown), filled with the arguments in order. A key that no language holds is returned
  // as it is, unformatted, so a slip shows up as the key instead of an empty line.
  template <typename... Args>
  std::string Text(std::string_view key, const Args&... args) const {
    const support::FormatArg list[] = {support::FormatArg(args)..., support::FormatArg("")};
    return TextArgs(key, std::span<const support::FormatArg>(list, sizeof...(Args)));
  }
  std::string TextArgs(std::string_view key, std::span<const support::FormatArg> args) const;
};

// "zh" when the lower-case locale begins with "zh", otherwise "en".
Catalog New(std::string_view locale);

}  // namespace lumra::i18n
