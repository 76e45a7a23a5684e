// The [IgnoreFolders] test: which directories the file scan leaves out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IgnoreRules {
 public:
  // `values` in file order; empty ones are skipped.
  explicit IgnoreRules(const std::vector<std::string>& values);

  // For a directory path, the message to print when it is ignored
  // ("ignore1: /usr/lib\n" and so on), else nothing. Paths without "/"
  // are never ignored; otherwise the part from the first "/" on is
  // compared, without regard to ASCII case.
  std::optional<std::string> Check(std::string_view path) const;
  bool Empty() const { return rules_.empty(); }

 private:
  struct Rule {
    std::string value;      // lowered, one trailing "/" removed
    std::string starred;    // for a trailing star: the text between the stars
    bool leadingStar = false;
    bool trailingStar = false;
  };
  std::vector<Rule> rules_;
};
