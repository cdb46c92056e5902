#include "cli/options.hpp"

#include <string_view>

#include "cli/duration.hpp"

namespace lumra::cli {

namespace {

std::optional<optionError> applyTimeout(options& parsed, std::string_view value) {
  const auto timeout = parseDuration(value);
  if (!timeout || timeout->count() <= 0) return optionError{"invalid_timeout", std::string(value)};
  parsed.timeout = *timeout;
  return std::nullopt;
}

parsedCommandLine failed(const options& parsed, optionError error) {
  return {parsed, {}, std::move(error)};
}

// "adjust 0 brightness -10": in the place of adjust's delta, a word of "-" and a digit is the
// delta, not an option; no option begins with a digit.
bool isNegativeDelta(const std::vector<std::string>& commandWords, std::string_view word) {
  return commandWords.size() == 3 && commandWords.front() == "adjust" && word.size() > 1 &&
         word[0] == '-' && word[1] >= '0' && word[1] <= '9';
}

}  // namespace

parsedCommandLine parseOptions(std::span<const std::string> arguments) {
  parsedCommandLine result;
  options& parsed = result.parsed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--") {
      result.commandArguments.insert(result.commandArguments.end(), arguments.begin() + i + 1,
                                     arguments.end());
      return result;
    }
    if (!word.starts_with("-") || word == "-" || isNegativeDelta(result.commandArguments, word)) {
      result.commandArguments.push_back(word);
    } else if (word == "--json") {
      parsed.json = true;
    } else if (word == "--unsafe") {
      parsed.unsafe = true;
    } else if (word == "--version") {
      parsed.version = true;
    } else if (word == "--lang" || word == "--timeout") {
      if (i + 1 >= arguments.size()) return failed(parsed, {"missing_option", word});
      const std::string& value = arguments[++i];
      if (word == "--lang") {
        parsed.locale = value;
      } else if (auto error = applyTimeout(parsed, value)) {
        return failed(parsed, std::move(*error));
      }
    } else if (word.starts_with("--lang=")) {
      parsed.locale = word.substr(std::string_view("--lang=").size());
    } else if (word.starts_with("--timeout=")) {
      if (auto error = applyTimeout(parsed, word.substr(std::string_view("--timeout=").size()))) {
        return failed(parsed, std::move(*error));
      }
    } else if (word == "--help" || word == "-h") {
      result.commandArguments = {"help"};
      return result;
    } else {
      return failed(parsed, {"invalid_option", word});
    }
  }
  return result;
}

}  // namespace lumra::cli
