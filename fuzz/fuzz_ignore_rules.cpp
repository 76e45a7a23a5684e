// Ignore rules: a match never depends on what follows a zero byte, on the
// path's part before its first "/", or on the case of ASCII letters.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/ignore_rules.h"

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

// The input: ignore values, one per line, then the path after a blank line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find("\n\n");
  const std::string path = split == std::string::npos ? input : input.substr(split + 2);
  std::vector<std::string> values;
  for (size_t at = 0; split != std::string::npos && at < split;) {
    const size_t end = std::min(input.find('\n', at), split);
    values.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  const IgnoreRules rules(values);
  const std::optional<std::string> verdict = rules.Check(path);

  std::vector<std::string> cut;
  for (const std::string& value : values) cut.push_back(value.c_str());
  if (IgnoreRules(cut).Check(path.c_str()) != verdict) std::abort();
  if (rules.Check(path + std::string("\0/x", 3)) != verdict) std::abort();
  if (rules.Check(Upper(path)) != verdict) std::abort();
  const std::string named = path.c_str();
  const size_t slash = named.find('/');
  if (slash != std::string::npos && slash > 0 && rules.Check(named.substr(slash)) != verdict) std::abort();
  return 0;
}
