#include "files/file_scan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/unique_fd.h"
#include "files/ignore_rules.h"
#include "scan_text.h"
#include "temp_dir.h"

namespace {

using scanunix_test::AttributeValue;
using scanunix_test::TempDir;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// The first bytes of an ELF file, padded with `extra` further bytes.
std::string ElfHeader(char cls = 2, char data = 1, char version = 1, char abi = 0,
                      size_t extra = 8) {
  return std::string{'\x7f', 'E', 'L', 'F', cls, data, version, abi}.append(extra, 'x');
}

FileScanOptions Options(bool allFiles, bool crc) {
  FileScanOptions o;
  o.allFiles = allFiles, o.crc = crc;
  return o;
}

struct ScanResult {
  std::string rows, console;  // the console: standard output
  FileScanCounters counters;
};

// Scans `root`, quiet unless `logLevel` asks otherwise.
ScanResult Scan(const std::string& root, const FileScanOptions& o = {},
                int logLevel = Log::kSilent) {
  ScanResult r;
  std::ostringstream out, console, errors;
  DocumentWriter document(out);
  Log log(logLevel, console, errors);
  r.counters = ScanFiles(root, o, document, log);
  r.rows = out.str();
  r.console = console.str();
  return r;
}

// The lines of `text`, or the values of one attribute over its rows; sorted.
Strings Sorted(const std::string& text, const std::string& attr = "") {
  Strings out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    out.push_back(attr.empty() ? line : AttributeValue(line, attr));
  std::sort(out.begin(), out.end());
  return out;
}

// A character device (/dev/zero's), or a FIFO where devices cannot be made.
bool MakeDevice(const fs::path& at) {
  return mknod(at.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0 || mkfifo(at.c_str(), 0644) == 0;
}

// The value of `attr` in the row of the file named `name`.
std::string ValueIn(const std::string& rows, const std::string& name, const std::string& attr) {
  const size_t row = rows.find(" c4=\"" + name + "\"");
  return row == std::string::npos ? "<no row>" : AttributeValue(rows.substr(row), attr);
}

// One hostile tree: ELF variants (ABI 0 and GNU's 3 selected, 9 not), empty
// files, links, a FIFO, a device, hidden entries (never visited), markup and
// control bytes in names, a sparse ELF file, an ignored directory (left out
// with everything below, but counted). It is scanned once in each of the four
// modes (all files or ELF only, with CRC or not), trusting the entry types.
class HostileTree : public testing::Test {
 protected:
  struct Mode {
    bool allFiles, crc;
    const char* name;
  };
  static constexpr Mode kModes[] = {{false, false, "ELF only"}, {false, true, "ELF only, CRC"},
                                    {true, false, "all files"}, {true, true, "all files, CRC"}};

  static void SetUpTestSuite() {
    const TempDir& tree = *(tree_ = new TempDir);
    const std::pair<std::string, std::string> files[] = {
        {"c32", ElfHeader(1, 1)}, {"c64be", ElfHeader(2, 2)}, {"nine", ElfHeader(2, 1, 1, 0, 1)},
        {"eight", ElfHeader(2, 1, 1, 0, 0)}, {"abi3", ElfHeader(2, 1, 1, 3)},
        {"abi9", ElfHeader(2, 1, 1, 9)}, {"class3", ElfHeader(3, 1)}, {"enc0", ElfHeader(2, 0)},
        {"ver2", ElfHeader(2, 1, 2)}, {"empty", ""}, {"digits", "123456789"},
        {"elf", ElfHeader(2, 1, 1, 0, 4097 - 8)}, {"sparse", ElfHeader()}, {".hidden", ElfHeader()},
        {".hid/inner", ElfHeader()}, {"a&\"<\x01>", ElfHeader()}, {"d&\"/f", ElfHeader()},
        {"Cache/x/elf", ElfHeader()}};
    for (const auto& [name, content] : files) tree.Write(name, content);
    const UniqueFd sparse(open((tree / "sparse").c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_EQ(pwrite(sparse.Get(), "tail", 4, (1 << 20) - 4), 4);  // the last 4 of 1 MiB
    const struct timespec old[2] = {{1000000, 0}, {2000000, 0}};  // access, modification
    ASSERT_EQ(utimensat(AT_FDCWD, (tree / "elf").c_str(), old, 0), 0);
    fs::create_symlink(tree / "c32", tree / "link");
    fs::create_directory_symlink(tree / "d&\"", tree / "dirlink");
    ASSERT_EQ(mkfifo((tree / "pipe").c_str(), 0644), 0);
    ASSERT_TRUE(MakeDevice(tree / "zero"));
    for (size_t m = 0; m < std::size(kModes); ++m) scans_[m] = Scan(kModes[m], true);
  }
  static void TearDownTestSuite() { delete tree_; }

  static std::string Root() { return tree_->path().string(); }
  static ScanResult Scan(Mode mode, bool useEntryTypes, const std::string& rootEnd = "") {
    FileScanOptions o = Options(mode.allFiles, mode.crc);
    o.useEntryTypes = useEntryTypes, o.ignoreValues = {"", "*CACHE"};
    return ::Scan(Root() + rootEnd, o);
  }

  inline static TempDir* tree_ = nullptr;
  inline static ScanResult scans_[std::size(kModes)];
};

// The same rows where the directories report no entry types and every
// entry is stat'ed, with the root ending in "/".
TEST_F(HostileTree, SelectsElfFilesOrEveryNonEmptyRegularFile) {
  const Strings elf{"a&amp;&quot;&lt;?&gt;", "abi3", "c32", "c64be", "elf", "f", "nine", "sparse"};
  const Strings all{"a&amp;&quot;&lt;?&gt;", "abi3", "abi9", "c32", "c64be", "class3", "digits",
                    "eight", "elf", "enc0", "f", "nine", "sparse", "ver2"};
  for (size_t m = 0; m < std::size(kModes); ++m) {
    SCOPED_TRACE(kModes[m].name);
    EXPECT_EQ(Sorted(scans_[m].rows, "c4"), kModes[m].allFiles ? all : elf);
    EXPECT_EQ(Scan(kModes[m], false, "/").rows, scans_[m].rows);
  }
}

// Every entry but the hidden ones counted, the ignored directory named;
// ignoring everything leaves out the root itself.
TEST_F(HostileTree, CountsEntriesAndSaysWhichDirectoryIsIgnored) {
  for (size_t m = 0; m < std::size(kModes); ++m) {
    SCOPED_TRACE(kModes[m].name);
    EXPECT_EQ(scans_[m].counters.entries, 21u);
    EXPECT_EQ(scans_[m].console, "ignore2: " + AsciiLowered(Root()) + "/cache\n");
  }
  FileScanOptions everything;
  everything.ignoreValues = {"*"};
  const ScanResult none = ::Scan(Root(), everything);
  EXPECT_EQ(none.rows, "");
  EXPECT_EQ(none.console, "ignore1: " + AsciiLowered(Root()) + "\n");
}

// Checksums only with CRC, the ELF test's header read counted in.
TEST_F(HostileTree, ChecksumsComeOnlyWithCrc) {
  for (size_t m = 0; m < std::size(kModes); ++m)
    for (const auto& [file, crc] : {std::pair("elf", "8641FAF2"), {"sparse", "9DCA0E78"}}) {
      SCOPED_TRACE(std::string(kModes[m].name) + ", c17 of " + file);
      EXPECT_EQ(ValueIn(scans_[m].rows, file, "c17"), kModes[m].crc ? crc : "");
    }
}

// The change time is now (access and modification times: the fixed-tree
// document's); the scan leaves the access time as it was.
TEST_F(HostileTree, WritesTheFileTimesAndLeavesTheAccessTime) {
  for (size_t m = 0; m < std::size(kModes); ++m)
    EXPECT_GT(ValueIn(scans_[m].rows, "elf", "c6"), "2020") << kModes[m].name;
  struct stat st {};
  ASSERT_EQ(stat((*tree_ / "elf").c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, 1000000);
}

// At the pause before the 12th entry, the first of the third directory's
// four files, every entry not yet visited is swapped for a link to a
// directory or an ELF file, a FIFO with data waiting, one without a writer,
// or a device. None is followed, read or waited for, whether the scan trusts
// the entry types or stats each entry: the eight files before the pause
// alone get rows.
TEST(FileScan, EntriesSwappedAfterTheDirectoryReadAreNeitherFollowedNorRead) {
  for (int mode = 0; mode < 8; ++mode) {
    TempDir top;
    const fs::path root = top.Dir("root"), away = top.Dir("away");
    top.Write("planted/elf", ElfHeader());
    for (const char* fifo : {"fifo", "lonely"}) ASSERT_EQ(mkfifo((top / fifo).c_str(), 0600), 0);
    const UniqueFd writer(open((top / "fifo").c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_EQ(write(writer.Get(), "waiting", 7), 7);
    const auto plant = [&](const fs::path& at, int kind) {  // in place of what is there
      const char* targets[] = {"planted", "planted/elf", "fifo", "lonely"};
      fs::remove(at);
      if (kind % 5 == 4) MakeDevice(at);
      else if (kind % 5 < 2) fs::create_symlink(top / targets[kind % 5], at);
      else fs::create_hard_link(top / targets[kind % 5], at);
    };
    for (int i = 0; i < 48; ++i)
      top.Write("root/d" + std::to_string(i / 4) + "/f" + std::to_string(i % 4), ElfHeader());
    FileScanOptions o = Options(mode & 1, mode & 2);
    o.useEntryTypes = mode & 4, o.pauseMs = 1;
    o.sleep = [&, swapped = false](int) mutable {
      for (int d = 0; d < 12 && !swapped; ++d) {
        const fs::path dir = root / ("d" + std::to_string(d));
        for (int f = 0; f < 4; ++f) plant(dir / ("f" + std::to_string(f)), f + 1);
        fs::rename(dir, away / dir.filename());
        plant(dir, d);
      }
      swapped = true;
    };
    EXPECT_EQ(Sorted(Scan(root.string(), o).rows, "c4").size(), 8u) << mode;
    char waiting[8] = {};
    EXPECT_EQ(read(writer.Get(), waiting, sizeof waiting), 7) << mode;
  }
}

// Directories from level 1 on, every entry at level 2 (in the directory's
// order, so compared sorted); at every level but -1 one line at the end
// counts the entries left out for their path's length (after ending the
// progress line at level 0). The root lies so deep that d/f fits, and
// d/nnn... does not. The progress line, cut to 80 bytes, counts the row of
// the ELF file f or g from the next entry on, in either order.
TEST(FileScan, LogLevelsProgressLineAndEntriesLeftOutForTheirPath) {
  TempDir tree;
  std::string root = tree.path().string();
  while (root.size() < 3880)
    root += "/" + std::string(std::min<size_t>(250, 3880 - root.size()), 'a');
  const std::string d = root + "/d", count = "Entries left out, paths longer than 4096 bytes: 1\n";
  fs::create_directories(d);
  for (const char* name : {"/f", "/g"}) scanunix_test::WriteFile(d + name, ElfHeader());
  const UniqueFd dir(open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  UniqueFd(openat(dir.Get(), std::string(250, 'n').c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
  const auto progress = [&](char entry, char rows) {
    return "\r0000000" + std::string(1, entry) + " 0000000" + rows + " " + root.substr(0, 61);
  };
  const std::pair<int, std::string> cases[] = {
      {0, progress('1', '0') + progress('2', '0') + progress('3', '1') + "\n" + count},
      {1, d + "\n" + count}, {2, d + "\n" + d + "\n" + d + "/f\n" + d + "/g\n" + count},
      {3, d + "\n" + count}, {-1, ""}};
  for (const auto& [logLevel, logged] : cases)
    EXPECT_EQ(Sorted(Scan(root, {}, logLevel).console), Sorted(logged)) << logLevel;
}

// Pages of `path` in the page cache, of how many.
std::pair<size_t, size_t> ResidentPages(const fs::path& path) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  const size_t size = fs::file_size(path), page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> pages((size + page - 1) / page);
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.Get(), 0);
  if (map == MAP_FAILED || mincore(map, size, pages.data()) != 0) return {~size_t{0}, 0};
  munmap(map, size);
  size_t cached = 0;
  for (const unsigned char p : pages) cached += p & 1;
  return {cached, pages.size()};
}

// The scan gives back the pages it brought into the page cache, the
// checksum's of a file of several windows, with a hole or not, included;
// a file cached in full before stays so. The tree is on a disk, in /var/tmp
// (the temporary folder is often a tmpfs).
TEST(FileScan, LeavesThePageCacheAsItFoundIt) {
  struct statfs disk {};
  ASSERT_EQ(statfs("/var/tmp", &disk), 0);
  if (disk.f_type == TMPFS_MAGIC || disk.f_type == RAMFS_MAGIC) GTEST_SKIP() << "/var/tmp: tmpfs";
  TempDir tree("/var/tmp");
  const std::string big = ElfHeader(2, 1, 1, 0, 5 << 20), text(64 << 10, 't');
  for (const char* name : {"big", "sparse", "warm"}) tree.Write(name, big);
  tree.Write("text", text);
  const UniqueFd sparse(open((tree / "sparse").c_str(), O_WRONLY | O_CLOEXEC));
  ASSERT_EQ(pwrite(sparse.Get(), "tail", 4, (9 << 20) - 4), 4);
  for (const auto& [allFiles, crc] : {std::pair(false, false), {false, true}, {true, true}}) {
    SCOPED_TRACE(testing::Message() << "allFiles " << allFiles << " crc " << crc);
    for (const char* name : {"big", "sparse", "text"}) {
      const UniqueFd fd(open((tree / name).c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_TRUE(fdatasync(fd.Get()) == 0 &&
                  posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED) == 0);
      if (ResidentPages(tree / name).first != 0)
        GTEST_SKIP() << "the kernel keeps " << name << " cached past POSIX_FADV_DONTNEED here";
    }
    EXPECT_EQ(scanunix_test::ReadFile(tree / "warm"), big);
    const ScanResult r = Scan(tree.path().string(), Options(allFiles, crc));
    EXPECT_EQ(Sorted(r.rows, "c4").size(), allFiles ? 4u : 3u);
    for (const char* name : {"big", "sparse", "text"})
      EXPECT_EQ(ResidentPages(tree / name).first, 0u) << name;
    const auto [cached, pages] = ResidentPages(tree / "warm");
    EXPECT_EQ(cached, pages);
  }
}

}  // namespace
