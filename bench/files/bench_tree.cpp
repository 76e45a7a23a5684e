#include "bench_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

void WriteFile(int dirFd, const std::string& name, const std::string& content) {
  const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (!content.empty() && write(fd, content.data(), content.size()) < 0) {
  }
  close(fd);
}

void Link(int dirFd, const std::string& name) {
  if (symlinkat("file_3.so", dirFd, name.c_str()) != 0) std::perror(name.c_str());
}

std::string ElfContent(unsigned long i) {
  std::string s("\x7f" "ELF\x02\x01\x01\x00", 8);
  s.resize(512 + (i % 7) * 512, static_cast<char>('a' + i % 26));
  return s;
}

// One leaf directory: `files` entries, every tenth an ELF file.
void FillLeaf(const fs::path& dir, unsigned long files, unsigned long& made) {
  fs::create_directories(dir);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (unsigned long i = 0; i < files; ++i, ++made) {
    const std::string name = "file_" + std::to_string(i);
    if (i % 10 == 3) WriteFile(fd, name + ".so", ElfContent(i));
    else if (i % 97 == 5) WriteFile(fd, name + ".empty", "");
    else if (i % 89 == 7) Link(fd, name + ".link");
    else WriteFile(fd, name + ".txt", std::string(120 + i % 200, 't'));
  }
  close(fd);
}

}  // namespace

BenchTree MakeBenchTree(unsigned long entries) {
  const char* tmp = std::getenv("TMPDIR");
  BenchTree tree;
  tree.root = std::string(tmp && *tmp ? tmp : "/tmp") + "/scanunix_bench_tree_" +
              std::to_string(entries);
  const fs::path marker = fs::path(tree.root) / ".complete";
  tree.entries = entries;
  if (std::ifstream done(marker); done && done >> tree.entries) return tree;

  std::error_code ec;
  fs::remove_all(tree.root, ec);
  // 10 top directories, 20 below each, 10 leaves below those; leaves share
  // what is left after the directories and some files at the middle level.
  constexpr unsigned long kTop = 10, kMid = 20, kLeaf = 10;
  const unsigned long dirs = kTop + kTop * kMid + kTop * kMid * kLeaf;
  const unsigned long midFiles = 25;
  const unsigned long leafFiles =
      (entries - dirs - kTop * kMid * midFiles) / (kTop * kMid * kLeaf);
  unsigned long made = dirs;
  for (unsigned long t = 0; t < kTop; ++t)
    for (unsigned long m = 0; m < kMid; ++m) {
      const fs::path mid = fs::path(tree.root) / ("top" + std::to_string(t)) /
                           ("mid" + std::to_string(m));
      FillLeaf(mid, midFiles, made);
      for (unsigned long l = 0; l < kLeaf; ++l)
        FillLeaf(mid / ("leaf" + std::to_string(l)), leafFiles, made);
    }
  tree.entries = made;
  std::ofstream(marker) << made << "\n";
  return tree;
}
