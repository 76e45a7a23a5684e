#include "files/scan_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "files/crc32.h"
#include "files/dir_search.h"
#include "files/file_row.h"
#include "files/ignore_rules.h"
#include "files/test_tree.h"

namespace {

using files_test::ElfHeader;
using files_test::TempTree;
namespace fs = std::filesystem;

struct ScanResult {
  std::string rows;
  std::string console;
  std::vector<std::string> logged;
  FileScanCounters counters;
  int sleeps = 0;
};

ScanResult Scan(const std::string& root, FileScanOptions options = {},
                FileScanCounters start = {}) {
  ScanResult r;
  r.counters = start;
  std::ostringstream out, console;
  options.log = [&r](std::string_view text) { r.logged.emplace_back(text); };
  options.sleep = [&r](int) { ++r.sleeps; };
  ScanTree(out, console, options, root, r.counters);
  r.rows = out.str();
  r.console = console.str();
  return r;
}

FileScanOptions Quiet(FileScanOptions o = {}) {
  o.logLevel = -1;
  return o;
}

std::vector<std::string> Lines(const std::string& rows) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < rows.size();) {
    const size_t end = rows.find("\r\n", pos);
    out.push_back(rows.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

std::string Attr(const std::string& row, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t at = row.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t begin = at + key.size();
  return row.substr(begin, row.find('"', begin) - begin);
}

std::vector<std::string> Names(const std::string& rows) {
  std::vector<std::string> names;
  for (const auto& line : Lines(rows)) names.push_back(Attr(line, "c4"));
  std::sort(names.begin(), names.end());
  return names;
}

std::string Utc(time_t t) { return FormatUtc(t); }

TEST(ScanTree, RowOfAnElfFileIsExact) {
  TempTree tree;
  const fs::path file = tree.Write("bin/tool", ElfHeader(2, 1, 1, 0, 100));
  struct stat st {};
  ASSERT_EQ(lstat(file.c_str(), &st), 0);
  const passwd* pw = getpwuid(st.st_uid);
  const std::string owner = pw ? pw->pw_name : "";

  const ScanResult r = Scan(tree.root().string(), Quiet());
  const std::string dir = (tree / "bin").string();
  EXPECT_EQ(r.rows, "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"tool\" c5=\"108\" c6=\"" +
                        Utc(st.st_ctime) + "\" c7=\"\" c8=\"" + owner +
                        "\" c9=\"\" c10=\"\" c11=\"" + dir + "\" c12=\"" + Utc(st.st_mtime) +
                        "\" c13=\"\" c14=\"\" c15=\"" + Utc(st.st_atime) +
                        "\" c16=\"0\" c17=\"\"/>\r\n");
  EXPECT_EQ(r.counters.files, 2u);  // the directory and the file
  EXPECT_EQ(r.counters.exes, 1u);
}

TEST(ScanTree, OnlyElfIdentificationsAreSelected) {
  TempTree tree;
  tree.Write("c32", ElfHeader(1, 1));
  tree.Write("c64be", ElfHeader(2, 2));
  tree.Write("nine", ElfHeader(2, 1, 1, 0, 1));
  tree.Write("eight", ElfHeader(2, 1, 1, 0, 0));
  tree.Write("abi3", ElfHeader(2, 1, 1, 3));
  tree.Write("class3", ElfHeader(3, 1));
  tree.Write("enc0", ElfHeader(2, 0));
  tree.Write("ver2", ElfHeader(2, 1, 2));
  tree.Write("empty", "");
  tree.Write("text", std::string(100, 't'));
  tree.Write(".hidden", ElfHeader());
  tree.Write(".hid/inner", ElfHeader());
  fs::create_symlink(tree / "c32", tree / "link");
  const ScanResult r = Scan(tree.root().string(), Quiet());
  EXPECT_EQ(Names(r.rows), (std::vector<std::string>{"c32", "c64be", "nine"}));
  EXPECT_EQ(r.counters.files, 11u);  // hidden entries are never visited
  EXPECT_EQ(r.counters.exes, 3u);
}

TEST(ScanTree, AllFilesTakesEveryNonEmptyRegularFile) {
  TempTree tree;
  tree.Write("text", std::string(100, 't'));
  tree.Write("abi3", ElfHeader(2, 1, 1, 3));
  tree.Write("eight", ElfHeader(2, 1, 1, 0, 0));
  tree.Write("empty", "");
  fs::create_symlink(tree / "text", tree / "link");
  FileScanOptions o = Quiet();
  o.allFiles = true;
  EXPECT_EQ(Names(Scan(tree.root().string(), o).rows),
            (std::vector<std::string>{"abi3", "eight", "text"}));
}

TEST(ScanTree, ChecksumsOnlyWithCrc) {
  TempTree tree;
  tree.Write("digits", "123456789");
  const std::string elf = ElfHeader(2, 1, 1, 0, 4097 - 8);
  tree.Write("elf", elf);
  uint32_t want = 0xFFFFFFFFu;
  for (unsigned char c : elf) CalcCrc32(c, want);
  char hex[9];
  snprintf(hex, sizeof hex, "%08X", want ^ 0xFFFFFFFFu);

  FileScanOptions o = Quiet();
  o.allFiles = true;
  for (const auto& line : Lines(Scan(tree.root().string(), o).rows))
    EXPECT_EQ(Attr(line, "c17"), "");
  o.crc = true;
  for (const auto& line : Lines(Scan(tree.root().string(), o).rows))
    EXPECT_EQ(Attr(line, "c17"), Attr(line, "c4") == "digits" ? "CBF43926" : hex);
  o.allFiles = false;  // the ELF test's header read is part of the checksum
  const auto lines = Lines(Scan(tree.root().string(), o).rows);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Attr(lines[0], "c17"), hex);
}

TEST(ScanTree, ReadingForTheRowLeavesAccessTimes) {
  TempTree tree;
  const fs::path elf = tree.Write("elf", ElfHeader(2, 1, 1, 0, 5000));
  struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, elf.c_str(), old, 0), 0);
  FileScanOptions o = Quiet();
  o.crc = true;
  const ScanResult r = Scan(tree.root().string(), o);
  EXPECT_EQ(Attr(r.rows, "c15"), Utc(1000000));
  struct stat st {};
  ASSERT_EQ(stat(elf.c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, 1000000);
}

TEST(ScanTree, FifoInTheTreeNeitherBlocksNorGetsARow) {
  TempTree tree;
  ASSERT_EQ(mkfifo((tree / "pipe").c_str(), 0644), 0);
  tree.Write("elf", ElfHeader());
  for (bool all : {false, true}) {
    FileScanOptions o = Quiet();
    o.allFiles = all;
    o.crc = true;
    EXPECT_EQ(Names(Scan(tree.root().string(), o).rows), (std::vector<std::string>{"elf"}));
  }
}

TEST(ScanTree, NamesWithMarkupAndControlBytesAreEscaped) {
  TempTree tree;
  tree.Write("a&b \"q\" <x>", ElfHeader());
  tree.Write(std::string("ctl\x01\x1f"), ElfHeader());
  tree.Write("d&\"/f", ElfHeader());
  const ScanResult r = Scan(tree.root().string(), Quiet());
  std::vector<std::string> names = Names(r.rows);
  EXPECT_EQ(names, (std::vector<std::string>{"a&amp;b &quot;q&quot; &lt;x&gt;", "ctl??", "f"}));
  EXPECT_NE(r.rows.find(" c11=\"" + tree.root().string() + "/d&amp;&quot;\" "),
            std::string::npos);
}

TEST(ScanTree, DirectoryAttributeWithAndWithoutTrailingSlash) {
  TempTree tree;
  tree.Write("sub/elf", ElfHeader());
  const std::string dir = (tree / "sub").string();
  EXPECT_EQ(Attr(Scan(dir, Quiet()).rows, "c11"), dir);
  EXPECT_EQ(Attr(Scan(dir + "/", Quiet()).rows, "c11"), dir);
}

TEST(ScanTree, RelativeRootKeepsItsPathAndTestsSubdirectoriesFromTheFirstSlash) {
  TempTree tree;
  tree.Write("data/elf", ElfHeader());
  tree.Write("data/sub/elf2", ElfHeader());
  tree.Write("data/keep/elf3", ElfHeader());
  const fs::path old = fs::current_path();
  fs::current_path(tree.root());
  FileScanOptions o = Quiet();
  o.ignoreValues = {"*", "/SUB"};
  const ScanResult starred = Scan("data", o);  // "*" ignores every subdirectory
  o.ignoreValues = {"/SUB"};
  const ScanResult r = Scan("data", o);
  fs::current_path(old);
  EXPECT_EQ(Names(starred.rows), (std::vector<std::string>{"elf"}));
  EXPECT_EQ(Names(r.rows), (std::vector<std::string>{"elf", "elf3"}));
  EXPECT_EQ(r.console, "ignore3: /sub\n");
  for (const auto& line : Lines(r.rows)) {
    const std::string dir = Attr(line, "c11");
    EXPECT_TRUE(dir == "data" || dir == "data/keep") << dir;
  }
}

TEST(ScanTree, IgnoredDirectoriesAreLeftOutWithEverythingBelow) {
  TempTree tree;
  tree.Write("Cache/x/elf", ElfHeader());
  tree.Write("cachedir/elf", ElfHeader());
  tree.Write("usr-data/elf", ElfHeader());
  tree.Write("keep/elf", ElfHeader());
  const std::string root = tree.root().string();
  FileScanOptions o = Quiet();
  o.ignoreValues = {"", "*CACHE", "usr*", root + "/KEEP/"};
  const ScanResult r = Scan(root, o);
  EXPECT_EQ(r.rows, "");
  std::string lowered = root;
  ToLower(lowered);
  EXPECT_NE(r.console.find("ignore2: " + lowered + "/cache\n"), std::string::npos) << r.console;
  EXPECT_NE(r.console.find("ignore2: " + lowered + "/cachedir\n"), std::string::npos);
  EXPECT_NE(r.console.find("ignore1: " + lowered + "/usr-data\n"), std::string::npos);
  EXPECT_NE(r.console.find("ignore3: " + lowered + "/keep\n"), std::string::npos);
  EXPECT_EQ(r.counters.files, 4u);  // each ignored directory is still an entry

  o.ignoreValues = {"*"};
  const ScanResult all = Scan(root, o);
  EXPECT_EQ(all.rows, "");
  EXPECT_EQ(all.console, "ignore1: " + lowered + "\n");
  EXPECT_EQ(all.counters.files, 0u);
}

TEST(ScanTree, ProgressLineAtLevelZero) {
  TempTree tree;
  const std::string root = tree.root().string();
  for (int i = 0; i < 6; ++i)
    tree.Write(std::string("f").append(1, static_cast<char>('0' + i)),
               i % 2 ? ElfHeader() : std::string("text"));
  // The order the directory delivers, to know the exes count per entry.
  std::vector<bool> elf;
  CDirSearch search;
  for (bool ok = search.FindFirst(root.c_str(), "*"); ok; ok = search.FindNext())
    elf.push_back((search.GetFileName().back() - '0') % 2 == 1);

  const ScanResult r = Scan(root, FileScanOptions{});
  std::string want;
  uint32_t exes = 0;
  for (size_t i = 0; i < elf.size(); ++i) {
    char head[32];
    snprintf(head, sizeof head, "\r%08zu %08u ", i + 1, exes);
    want += (head + root + std::string(80, ' ')).substr(0, 80);
    exes += elf[i];
  }
  EXPECT_EQ(r.console, want);
  EXPECT_TRUE(r.logged.empty());
}

TEST(ScanTree, ProgressLineCutsLongPathsAndShowsBigCounters) {
  std::ostringstream out;
  WriteProgressLine(out, 123456789, 5, std::string(200, 'p'));
  EXPECT_EQ(out.str(), "\r123456789 00000005 " + std::string(60, 'p'));
  std::ostringstream extremes;
  WriteProgressLine(extremes, 0, 4294967295u, "");
  EXPECT_EQ(extremes.str(), "\r00000000 4294967295 " + std::string(59, ' '));
  std::ostringstream shortLine;
  WriteProgressLine(shortLine, 5, 2, "/etc");
  EXPECT_EQ(shortLine.str(), "\r00000005 00000002 /etc" + std::string(57, ' '));
}

TEST(ScanTree, LogLevelsOneAndTwo) {
  TempTree tree;
  tree.Write("d/f", "x");
  const std::string root = tree.root().string();
  FileScanOptions o;
  o.logLevel = 1;
  ScanResult one = Scan(root, o);
  EXPECT_EQ(one.logged, (std::vector<std::string>{root + "/d"}));
  EXPECT_EQ(one.console, "");
  o.logLevel = 2;
  ScanResult two = Scan(root, o);
  EXPECT_EQ(two.logged, (std::vector<std::string>{root + "/d", root + "/d", root + "/d/f"}));
  o.logLevel = 3;
  EXPECT_EQ(Scan(root, o).logged, (std::vector<std::string>{root + "/d"}));
  o.logLevel = -1;
  ScanResult silent = Scan(root, o);
  EXPECT_TRUE(silent.logged.empty());
  EXPECT_EQ(silent.console, "");
}

TEST(ScanTree, PauseEveryElevenEntriesAcrossDirectoriesAndCalls) {
  TempTree tree;
  for (int i = 0; i < 10; ++i) tree.Write("a/f" + std::to_string(i), "x");
  for (int i = 0; i < 9; ++i) tree.Write("b/f" + std::to_string(i), "x");
  FileScanOptions o = Quiet();
  o.pauseMs = 1;
  const ScanResult r = Scan(tree.root().string(), o);  // 21 entries: pauses at 12th
  EXPECT_EQ(r.counters.files, 21u);
  EXPECT_EQ(r.sleeps, 1);
  EXPECT_EQ(r.counters.sleepCount, 10);
  const ScanResult again = Scan(tree.root().string(), o, r.counters);  // 23rd, 34th
  EXPECT_EQ(again.sleeps, 2);
  EXPECT_EQ(again.counters.files, 42u);
  o.pauseMs = 0;
  EXPECT_EQ(Scan(tree.root().string(), o).sleeps, 0);
}

}  // namespace
