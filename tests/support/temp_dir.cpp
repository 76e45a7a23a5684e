#include "temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace scanunix_test {

TempDir::TempDir(const fs::path& base) {
  std::string pattern = (base / "scanunix_test.XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempDir::operator/(const std::string& rel) const {
  if (!rel.empty() && rel[0] == '/') throw std::invalid_argument("absolute path in a temp dir");
  return path_ / rel;
}

fs::path TempDir::Write(const std::string& rel, const std::string& content) const {
  const fs::path p = *this / rel;
  WriteFile(p, content);
  return p;
}

fs::path TempDir::Dir(const std::string& rel) const {
  const fs::path p = *this / rel;
  fs::create_directories(p);
  return p;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace scanunix_test
