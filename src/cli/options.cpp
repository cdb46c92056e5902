#include "cli/options.hpp"

#include <string_view>

#include "cli/duration.hpp"

namespace lumra::cli {

namespace {

std::optional<OptionError> ApplyTimeout(Options& parsed, std::string_view value) {
  const auto timeout = ParseDuration(value);
  if (!timeout || timeout->count() <= 0) return OptionError{"invalid_timeout", std::string(value)};
  parsed.Timeout = *timeout;
  return std::nullopt;
}

ParsedCommandLine Failed(const Options& parsed, OptionError error) {
  return {parsed, {}, std::move(error)};
}

// "adjust 0 brightness -10": in the place of adjust's delta, a word of "-" and a digit is the
// delta, not an option; no option begins with a digit.
bool IsNegativeDelta(const std::vector<std::string>& commandWords, std::string_view word) {
  return commandWords.size() == 3 && commandWords.front() == "adjust" && word.size() > 1 &&
         word[0] == '-' && word[1] >= '0' && word[1] <= '9';
}

}  // namespace

ParsedCommandLine ParseOptions(std::span<const std::string> arguments) {
  ParsedCommandLine result;
  Options& parsed = result.Parsed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--") {
      result.CommandArguments.insert(result.CommandArguments.end(), arguments.begin() + i + 1,
                                     arguments.end());
      return result;
    }
    if (!word.starts_with("-") || word == "-" || IsNegativeDelta(result.CommandArguments, word)) {
      result.CommandArguments.push_back(word);
    } else if (word == "--json") {
      parsed.Json = true;
    } else if (word == "--unsafe") {
      parsed.Unsafe = true;
    } else if (word == "--verify") {
      parsed.Verify = true;
    } else if (word == "--save-settings") {
      parsed.SaveSettings = true;
    } else if (word == "--wait") {
      parsed.Wait = true;
    } else if (word == "--version") {
      parsed.Version = true;
    } else if (word == "--lang" || word == "--timeout") {
      if (i + 1 >= arguments.size()) return Failed(parsed, {"missing_option", word});
      const std::string& value = arguments[++i];
      if (word == "--lang") {
        parsed.Locale = value;
      } else if (auto error = ApplyTimeout(parsed, value)) {
        return Failed(parsed, std::move(*error));
      }
    } else if (word.starts_with("--lang=")) {
      parsed.Locale = word.substr(std::string_view("--lang=").size());
    } else if (word.starts_with("--timeout=")) {
      if (auto error = ApplyTimeout(parsed, word.substr(std::string_view("--timeout=").size()))) {
        return Failed(parsed, std::move(*error));
      }
    } else if (word == "--help" || word == "-h") {
      result.CommandArguments = {"help"};
      return result;
    } else {
      return Failed(parsed, {"invalid_option", word});
    }
  }
  return result;
}

}  // namespace lumra::cli
