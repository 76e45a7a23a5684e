#include "files/file_scan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "files/file_row.h"
#include "files/ignore_rules.h"
#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// The first bytes of an ELF file, padded with `extra` further bytes.
std::string ElfHeader(char cls = 2, char data = 1, char version = 1, char abi = 0,
                      size_t extra = 8) {
  return std::string{'\x7f', 'E', 'L', 'F', cls, data, version, abi}.append(extra, 'x');
}

struct ScanResult {
  std::string rows, console;  // the console: standard output
  FileScanCounters counters;
  int sleeps = 0;
};

// Scans `root` with these settings; quiet unless `logLevel` asks otherwise.
ScanResult Scan(const std::string& root, bool allFiles = false, bool crc = false,
                std::vector<std::string> ignore = {}, int logLevel = Log::kSilent,
                int pauseMs = 0, FileScanCounters start = {}) {
  ScanResult r;
  FileScanOptions o;
  o.allFiles = allFiles;
  o.crc = crc;
  o.pauseMs = pauseMs;
  o.ignoreValues = std::move(ignore);
  o.sleep = [&r](int) { ++r.sleeps; };
  std::ostringstream out, console, errors;
  DocumentWriter document(out);
  Log log(logLevel, console, errors);
  r.counters = ScanFiles(root, o, document, log, start);
  r.rows = out.str();
  r.console = console.str();
  return r;
}

// The values of one attribute over all rows, sorted.
Strings Values(const std::string& rows, const std::string& attr) {
  Strings out;
  const std::string key = " " + attr + "=\"";
  for (size_t at = rows.find(key); at != std::string::npos; at = rows.find(key, at + 1)) {
    const size_t begin = at + key.size();
    out.push_back(rows.substr(begin, rows.find('"', begin) - begin));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// One hostile tree: ELF variants (ABI 0 and GNU's 3 selected, 9 not), empty
// files, a link, hidden entries, markup and control bytes in names, and a
// FIFO that must not block even with checksums on.
TEST(FileScan, SelectsElfFilesOrEveryNonEmptyRegularFile) {
  TempDir tree;
  const std::pair<std::string, std::string> files[] = {
      {"c32", ElfHeader(1, 1)}, {"c64be", ElfHeader(2, 2)}, {"nine", ElfHeader(2, 1, 1, 0, 1)},
      {"eight", ElfHeader(2, 1, 1, 0, 0)}, {"abi3", ElfHeader(2, 1, 1, 3)},
      {"abi9", ElfHeader(2, 1, 1, 9)}, {"class3", ElfHeader(3, 1)}, {"enc0", ElfHeader(2, 0)},
      {"ver2", ElfHeader(2, 1, 2)}, {"empty", ""}, {"text", "plain text, no ELF"},
      {".hidden", ElfHeader()}, {".hid/inner", ElfHeader()}, {"a&\"<\x01>", ElfHeader()},
      {"d&\"/f", ElfHeader()}};
  for (const auto& [name, content] : files) tree.Write(name, content);
  fs::create_symlink(tree / "c32", tree / "link");
  ASSERT_EQ(mkfifo((tree / "pipe").c_str(), 0644), 0);
  const std::string root = tree.path().string();
  const ScanResult elf = Scan(root, false, true);
  EXPECT_EQ(Values(elf.rows, "c4"),
            (Strings{"a&amp;&quot;&lt;?&gt;", "abi3", "c32", "c64be", "f", "nine"}));
  EXPECT_EQ(Values(elf.rows, "c11"),
            (Strings{root, root, root, root, root, root + "/d&amp;&quot;"}));
  // Hidden entries are never visited.
  EXPECT_EQ(std::pair(elf.counters.entries, elf.counters.rows), std::pair(16u, 6u));
  const ScanResult all = Scan(root, true, true);
  EXPECT_EQ(Values(all.rows, "c4"),
            (Strings{"a&amp;&quot;&lt;?&gt;", "abi3", "abi9", "c32", "c64be", "class3", "eight",
                     "enc0", "f", "nine", "text", "ver2"}));
}

TEST(FileScan, ChecksumsOnlyWithCrcAndAccessTimesKept) {
  TempDir tree;
  tree.Write("digits", "123456789");
  const fs::path elf = tree.Write("elf", ElfHeader(2, 1, 1, 0, 4097 - 8));
  struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, elf.c_str(), old, 0), 0);
  // A sparse ELF file: header, a hole, "tail" as its last 4 of 1 MiB.
  const fs::path sparse = tree.Write("sparse", ElfHeader());
  const UniqueFd fd(open(sparse.c_str(), O_WRONLY | O_CLOEXEC));
  ASSERT_EQ(pwrite(fd.Get(), "tail", 4, (1 << 20) - 4), 4);
  const std::string root = tree.path().string();
  EXPECT_EQ(Values(Scan(root, true, false).rows, "c17"), (Strings{"", "", ""}));
  EXPECT_EQ(Values(Scan(root, true, true).rows, "c17"),
            (Strings{"8641FAF2", "9DCA0E78", "CBF43926"}));
  // The ELF test's header read is part of the checksum.
  const ScanResult r = Scan(root, false, true);
  EXPECT_EQ(Values(r.rows, "c17"), (Strings{"8641FAF2", "9DCA0E78"}));
  EXPECT_EQ(Values(r.rows, "c15")[0], FormatUtc(1000000));
  struct stat st {};
  ASSERT_EQ(stat(elf.c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, 1000000);
}

// Ignored directories are left out with everything below, but still count
// as entries; a root may end in "/" or be relative, whose subdirectories
// are tested from their first "/".
TEST(FileScan, IgnoreValuesAndRootForms) {
  TempDir tree;
  for (const char* file : {"data/elf", "data/sub/elf", "data/Cache/x/elf", "data/keep/elf"})
    tree.Write(file, ElfHeader());
  const std::string data = (tree / "data").string();
  std::string lowered = data;
  ToLower(lowered);
  const ScanResult r = Scan(data + "/", false, false, {"", "*CACHE", data + "/SUB/"});
  EXPECT_EQ(Values(r.rows, "c11"), (Strings{data, data + "/keep"}));
  EXPECT_NE(r.console.find("ignore2: " + lowered + "/cache\n"), std::string::npos) << r.console;
  EXPECT_NE(r.console.find("ignore3: " + lowered + "/sub\n"), std::string::npos) << r.console;
  EXPECT_EQ(r.counters.entries, 5u);
  const ScanResult all = Scan(data, false, false, {"*"});
  EXPECT_EQ(all.rows + all.console, "ignore1: " + lowered + "\n");

  const fs::path old = fs::current_path();
  fs::current_path(tree.path());
  const ScanResult relative = Scan("data", false, false, {"/SUB"});
  fs::current_path(old);
  EXPECT_EQ(Values(relative.rows, "c11"), (Strings{"data", "data/Cache/x", "data/keep"}));
  EXPECT_EQ(relative.console, "ignore3: /sub\n");
}

// With every entry an ELF file the counters do not depend on the order the
// directory delivers; an entry's row counts from the next line on.
TEST(FileScan, ProgressLineAtLevelZero) {
  TempDir tree;
  const std::string root = tree.path().string();
  std::string want;
  for (uint32_t i = 1; i <= 6; ++i) {
    tree.Write("f" + std::to_string(i), ElfHeader());
    char head[32];
    snprintf(head, sizeof head, "\r%08u %08u ", i, i - 1);
    want += (head + root + std::string(80, ' ')).substr(0, 80);
  }
  EXPECT_EQ(Scan(root, false, false, {}, Log::kDisplay).console, want);

  ProgressLine cut;  // long paths are cut, big counters kept whole
  FormatProgressLine(cut, 123456789, 4294967295u, std::string(200, 'p'));
  EXPECT_EQ(std::string(cut.data(), cut.size()), "\r123456789 4294967295 " + std::string(58, 'p'));
}

TEST(FileScan, LogLevels) {
  TempDir tree;
  const std::string d = tree.Write("d/f", "x").parent_path().string();
  const std::pair<int, std::string> cases[] = {
      {1, d + "\n"}, {2, d + "\n" + d + "\n" + d + "/f\n"}, {3, d + "\n"}, {-1, ""}};
  for (const auto& [level, logged] : cases)
    EXPECT_EQ(Scan(tree.path().string(), false, false, {}, level).console, logged) << level;
}

// One line at the end counts the entries left out for their path's length,
// at every level but -1.
TEST(FileScan, LongPathsCountedInOneLine) {
  TempDir tree;
  UniqueFd level(open(tree.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (char c = 'a'; c < 'a' + 20; ++c) {  // 20 levels of 251 bytes: the last ones too deep
    const std::string name(250, c);
    ASSERT_EQ(mkdirat(level.Get(), name.c_str(), 0755), 0);
    level = UniqueFd(openat(level.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  const std::string line = "\nEntries left out, paths longer than 4096 bytes: 1\n";
  for (int logLevel : {Log::kDisplay, Log::kMessages}) {
    const std::string console = Scan(tree.path().string(), false, false, {}, logLevel).console;
    EXPECT_EQ(console.find(line), console.size() - line.size()) << logLevel;
  }
  EXPECT_EQ(Scan(tree.path().string()).console, "");
}

// Mounts that go away before the tree they sit in is removed.
class Mounts {
 public:
  ~Mounts() {
    for (auto at = targets_.rbegin(); at != targets_.rend(); ++at) umount2(at->c_str(), MNT_DETACH);
  }
  bool Add(const char* source, const fs::path& target, const char* type, unsigned long flags) {
    fs::create_directories(target);
    if (mount(source, target.c_str(), type, flags, nullptr) != 0) return false;
    targets_.push_back(target);
    return true;
  }

 private:
  std::vector<fs::path> targets_;
};

// Kernel file systems are never entered wherever they are mounted, the root
// included: a proc's vast kcore would be listed, and read without end with
// checksums on. A tmpfs is an ordinary file system.
TEST(FileScan, KernelFileSystemsAreNotEntered) {
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "no private mount namespace (needs root): " << std::strerror(errno);
  TempDir tree;
  Mounts mounts;
  ASSERT_TRUE(mounts.Add("proc", tree / "proc", "proc", 0) &&
              mounts.Add("/proc", tree / "bound", nullptr, MS_BIND) &&
              mounts.Add("sysfs", tree / "d/sys", "sysfs", 0) &&
              mounts.Add("tmpfs", tree / "d/tmp", "tmpfs", 0))
      << std::strerror(errno);
  tree.Write("d/tmp/elf", ElfHeader());
  const std::string root = tree.path().string();
  const ScanResult r = Scan(root, true, true, {}, Log::kMessages);
  EXPECT_EQ(Values(r.rows, "c11"), Strings{root + "/d/tmp"});
  for (const std::string skipped : {"/proc: proc", "/bound: proc", "/d/sys: sysfs"})
    EXPECT_NE(r.console.find("skip " + root + skipped + " file system\n"), std::string::npos)
        << r.console;
  const std::string proc = root + "/proc";
  EXPECT_EQ(Scan(proc, false, true, {}, Log::kMessages).console,
            "skip " + proc + ": proc file system\n");
  const ScanResult quiet = Scan(proc, true, true, {}, Log::kDisplay);
  EXPECT_EQ(quiet.rows + quiet.console, "");
}

TEST(FileScan, PauseEveryElevenEntriesAcrossDirectoriesAndCalls) {
  TempDir tree;
  for (int i = 0; i < 19; ++i) tree.Write((i < 10 ? "a/f" : "b/f") + std::to_string(i), "x");
  const std::string root = tree.path().string();
  const ScanResult r = Scan(root, false, false, {}, -1, 1);  // 21 entries: pause at 12th
  const ScanResult again = Scan(root, false, false, {}, -1, 1, r.counters);  // 23rd, 34th
  EXPECT_EQ(std::make_tuple(r.sleeps, r.counters.sinceLastPause, again.sleeps, again.counters.entries),
            std::make_tuple(1, 10, 2, 42u));
  EXPECT_EQ(Scan(root).sleeps, 0);
}

}  // namespace
