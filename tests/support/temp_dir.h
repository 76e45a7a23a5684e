// Temporary directories and whole-file reads and writes for every test.
#pragma once

#include <filesystem>
#include <string>

namespace scanunix_test {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder (or `base`),
// removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const fs::path& base = fs::temp_directory_path());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  // `rel` must be relative: an absolute one would leave the directory.
  fs::path operator/(const std::string& rel) const;

  // Writes `content` to `rel`, creating the directories on the way.
  fs::path Write(const std::string& rel, const std::string& content) const;
  // Creates the directory `rel` with its parents.
  fs::path Dir(const std::string& rel) const;

 private:
  fs::path path_;
};

std::string ReadFile(const fs::path& path);
// Writes `content` byte for byte, creating the parent directories.
void WriteFile(const fs::path& path, const std::string& content);

}  // namespace scanunix_test
