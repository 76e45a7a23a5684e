// Ignore rules: a match never depends on what follows a zero byte, on the
// path's part before its first "/", or on the case of ASCII letters.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "check.h"
#include "files/ignore_rules.h"

// The input: ignore values, one per line, then the path after a blank line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find("\n\n");
  const std::string path = split == std::string::npos ? input : input.substr(split + 2);
  std::vector<std::string> values, cut;  // cut: each value up to its first zero byte
  if (split != std::string::npos)
    ForEachLine(input.substr(0, split), [&](std::string_view v) { values.emplace_back(v); });
  for (const std::string& value : values) cut.push_back(value.c_str());
  const IgnoreRules rules(values);
  const std::optional<std::string> verdict = rules.Check(path);
  Check(IgnoreRules(cut).Check(path.c_str()) == verdict);
  Check(rules.Check(path + std::string("\0/x", 3)) == verdict);
  Check(rules.Check(AsciiLowered(path)) == verdict);
  const std::string named = path.c_str();
  const size_t slash = named.find('/');
  if (slash != std::string::npos && slash > 0) Check(rules.Check(named.substr(slash)) == verdict);
  return 0;
}
