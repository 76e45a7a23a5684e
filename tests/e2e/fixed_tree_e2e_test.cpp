// A scan of a fixed tree gives a known document: everything but the values
// that belong to the host (names, addresses, times of change, hardware) is
// compared byte for byte with tests/data/fixed_tree.scn.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <set>

#include "agent_runner.h"

namespace e2e {
namespace {

const std::string kElf("\x7f\x45LF\x02\x01\x01\x00 fixed payload", 22);
const std::string kGnuElf("\x7f\x45LF\x02\x01\x01\x03 gnu payload", 20);

// Host values become "*"; the tree's path becomes ROOT; the disk line goes.
std::string Normalized(std::string doc, const std::string& root) {
  const std::regex hostValue(" (ComputerName|ScanDate|ScanDuration|UserName|DomainName|System|"
                             "CSDVersion|CompileInfo|MACAddress|IPAddress|PhysicalCpuCount|"
                             "LogicalCpuCount|Virtual|TotalMemory|ProcessorFrequency|"
                             "ProcessorType|c6)=\"[^\"]*\"");
  doc = std::regex_replace(doc, hostValue, " $1=\"*\"");
  doc = std::regex_replace(doc, std::regex("\t<Harddisks>[\\s\\S]*?</Harddisks>\r\n"), "");
  for (size_t at; (at = doc.find(root)) != std::string::npos;) doc.replace(at, root.size(), "ROOT");
  // Rows come in the file system's directory order: sort them.
  const size_t begin = doc.find("\t<rs:data>\r\n") + 12, end = doc.find("\t</rs:data>");
  std::multiset<std::string> rows;
  for (size_t at = begin, next; at < end; at = next + 2) {
    next = doc.find("\r\n", at);
    rows.insert(doc.substr(at, next + 2 - at));
  }
  std::string sorted;
  for (const std::string& row : rows) sorted += row;
  return doc.replace(begin, end - begin, sorted);
}

TEST(FixedTreeE2E, DocumentIsTheKnownOne) {
  TempDir tree, out;
  const std::pair<std::string, std::string> files[] = {
      {"app", kElf}, {"lib/libx.so.1", kElf + "x"}, {"lib/gnu.so", kGnuElf},
      {"notes.txt", "plain text, not a program\n"}, {"a&b<c>\"d", kElf}, {"line\nfeed\ttab", kElf},
      {"Jos\xc3\xa9 \xe2\x82\xac", kElf}, {"bad\xff\xfe", kElf}, {"empty", ""},
      {"sub/deeper/prog", kElf + "deep"}, {"skipme/hidden", kElf}};
  for (const auto& [rel, content] : files) {
    const timespec times[2] = {{1700000000, 0}, {1600000000, 0}};  // access, modification
    ASSERT_EQ(utimensat(AT_FDCWD, tree.Write(rel, content).c_str(), times, 0), 0) << rel;
  }
  fs::create_symlink(tree / "app", tree / "link");
  ASSERT_EQ(mkfifo((tree / "fifo").c_str(), 0600), 0);
  out.Write("extra.xml", "<Extra>ok</Extra>\r\n");
  out.Write("s.ini", "[Settings]\nFiles=1\nCRC=1\nMsi=0\nShortcuts=0\nLog=0\nOutputFolder=" +
                         out.path().string() + "\nComputerData=" + (out / "extra.xml").string() +
                         "\n[IgnoreFolders]\n*skipme\n");

  const AgentResult r = RunAgent({(out / "s.ini").string(), tree.path().string()},
                                 {{"LANG", "de_DE.UTF-8"}});
  const fs::path scan = FindScanFile(out.path());
  ASSERT_FALSE(scan.empty()) << r.out << r.err;
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out.find('\r'), std::string::npos) << r.out;  // no progress line off a terminal
  std::string message;
  EXPECT_TRUE(XmlWellFormed(scan, &message)) << message;
  const std::string doc = Normalized(ReadFile(scan), tree.path().string());
  if (std::getenv("SCANUNIX_WRITE_GOLDEN")) WriteFile(SCANUNIX_TEST_DATA "/fixed_tree.scn", doc);
  EXPECT_EQ(doc, ReadFile(SCANUNIX_TEST_DATA "/fixed_tree.scn"));
}

}  // namespace
}  // namespace e2e
