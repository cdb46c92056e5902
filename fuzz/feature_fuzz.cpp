// ParseFeature on arbitrary feature words: errors are the invalid-feature error with the word
// as typed, results are table rows or canonical raw codes, and the result does not change with
// surrounding white space, letter case or a second parse of its own name.
#include "ddc/errors.hpp"
#include "ddc/feature.hpp"
#include "fuzz_check.hpp"
#include "support/format.hpp"

namespace {

using lumra::ddc::Feature;

bool Same(const Feature& a, const Feature& b) {
  return a.Name == b.Name && a.Code == b.Code && a.Writable == b.Writable && a.Unsafe == b.Unsafe &&
         a.Kind == b.Kind && a.ValueNames.data() == b.ValueNames.data();
}

bool SameOutcome(const lumra::support::Result<Feature>& a,
                 const lumra::support::Result<Feature>& b) {
  if (a.Ok() != b.Ok()) return false;
  return !a.Ok() || Same(a.Value, b.Value);
}

const Feature* TableRow(const std::string& name) {
  static const std::vector<Feature> table = lumra::ddc::Features();
  for (const Feature& row : table) {
    if (row.Name == name) return &row;
  }
  return nullptr;
}

std::string UpperASCII(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string word(lumra::fuzz::AsText(data, size));
  const auto parsed = lumra::ddc::ParseFeature(word);
  FUZZ_CHECK(SameOutcome(parsed, lumra::ddc::ParseFeature(word)), "not deterministic");
  if (!parsed.Ok()) {
    FUZZ_CHECK(lumra::support::Is(parsed.Err, lumra::ddc::kErrInvalidFeature),
               parsed.Err.Message());
    FUZZ_CHECK(parsed.Err.Message() == "invalid feature: " + word, parsed.Err.Message());
  } else if (const Feature* row = TableRow(parsed.Value.Name)) {
    FUZZ_CHECK(Same(*row, parsed.Value), "a table row came back changed: " + row->Name);
  } else {
    const Feature& raw = parsed.Value;
    FUZZ_CHECK(raw.Name == lumra::support::Format("vcp:0x%02X", raw.Code), raw.Name);
    FUZZ_CHECK(raw.Writable && raw.Unsafe, "a raw code must be writable and unsafe: " + raw.Name);
  }
  if (parsed.Ok()) {
    const auto again = lumra::ddc::ParseFeature(parsed.Value.Name);
    FUZZ_CHECK(again.Ok() && Same(again.Value, parsed.Value), "its own name parses differently");
  }
  FUZZ_CHECK(SameOutcome(parsed, lumra::ddc::ParseFeature(" \t" + word + "\xE3\x80\x80")),
             "surrounding white space changed the result");
  FUZZ_CHECK(SameOutcome(parsed, lumra::ddc::ParseFeature(UpperASCII(word))),
             "letter case changed the result");
  return 0;
}
