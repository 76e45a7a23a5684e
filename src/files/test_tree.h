// Temporary trees on disk for the file inventory's tests.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace files_test {

namespace fs = std::filesystem;

// A fresh directory under /tmp, removed with everything in it.
class TempTree {
 public:
  TempTree() {
    std::string tmpl = (fs::temp_directory_path() / "filescan.XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
    root_ = tmpl;
  }
  ~TempTree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const fs::path& root() const { return root_; }
  // `rel` is relative: an absolute one would escape the tree.
  fs::path operator/(const std::string& rel) const { return root_ / Relative(rel); }

  fs::path Write(const std::string& rel, const std::string& content) const {
    const fs::path p = root_ / Relative(rel);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  fs::path Dir(const std::string& rel) const {
    fs::create_directories(root_ / Relative(rel));
    return root_ / rel;
  }

 private:
  static const std::string& Relative(const std::string& rel) {
    if (!rel.empty() && rel[0] == '/') throw std::invalid_argument("absolute path in a test tree");
    return rel;
  }
  fs::path root_;
};

// The first bytes of an ELF file, padded with `extra` further bytes.
inline std::string ElfHeader(unsigned char cls = 2, unsigned char data = 1,
                             unsigned char version = 1, unsigned char abi = 0, size_t extra = 8) {
  std::string h{'\x7f', 'E', 'L', 'F', static_cast<char>(cls), static_cast<char>(data),
                static_cast<char>(version), static_cast<char>(abi)};
  for (size_t i = 0; i < extra; ++i) h.push_back(static_cast<char>('a' + i % 26));
  return h;
}

// Builds root/dd/dd/... `depth` levels deep, with an empty file "f" in
// every level for which `withFile(level)` holds (level 0 is root itself).
template <typename WithFile>
void MakeChain(const fs::path& root, int depth, WithFile withFile) {
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < depth && fd >= 0; ++level) {
    if (mkdirat(fd, "dd", 0755) != 0) throw std::runtime_error("mkdirat");
    if (withFile(level)) {
      const int f = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (f >= 0) close(f);
    }
    const int next = openat(fd, "dd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  if (fd >= 0) close(fd);
}

// Removes a chain made by MakeChain from the top, one level at a time,
// so neither paths nor descriptors grow with its depth.
inline void RemoveChain(const fs::path& root, int depth) {
  const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < depth && fd >= 0; ++level) {
    unlinkat(fd, "f", 0);
    if (renameat(fd, "dd/dd", fd, "next") != 0) {
      unlinkat(fd, "dd/f", 0);
      unlinkat(fd, "dd", AT_REMOVEDIR);
      break;
    }
    unlinkat(fd, "dd/f", 0);
    unlinkat(fd, "dd", AT_REMOVEDIR);
    renameat(fd, "next", fd, "dd");
  }
  if (fd >= 0) close(fd);
}

}  // namespace files_test
