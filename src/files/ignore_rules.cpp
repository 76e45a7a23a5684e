#include "files/ignore_rules.h"

#include "base/text.h"

IgnoreRules::IgnoreRules(const std::vector<std::string>& values) {
  for (const std::string& raw : values) {
    // Values and paths are names: they end at a zero byte.
    const std::string_view value(raw.c_str());
    if (value.empty()) continue;
    Rule rule;
    rule.value = AsciiLowered(value);
    rule.leadingStar = rule.value.front() == '*';
    rule.trailingStar = rule.value.back() == '*';
    if (rule.value.back() == '/') rule.value.pop_back();
    if (rule.trailingStar) {
      // "*" and "**" leave the empty text, which every path contains.
      const size_t begin = rule.leadingStar ? 1 : 0;
      const size_t end = rule.value.size() - 1;
      if (end > begin) rule.starred = rule.value.substr(begin, end - begin);
    }
    rules_.push_back(std::move(rule));
  }
}

std::optional<std::string> IgnoreRules::Check(std::string_view path) const {
  if (rules_.empty()) return std::nullopt;
  path = path.substr(0, path.find('\0'));
  const size_t slash = path.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string lowered = AsciiLowered(path.substr(slash));
  for (const Rule& rule : rules_) {
    if (rule.trailingStar && lowered.find(rule.starred) != std::string::npos)
      return "ignore1: " + lowered + "\n";
    if (rule.leadingStar) {
      if (lowered.find(std::string_view(rule.value).substr(1)) != std::string::npos)
        return "ignore2: " + lowered + "\n";
    } else if (rule.value == lowered) {
      return "ignore3: " + lowered + "\n";
    }
  }
  return std::nullopt;
}
