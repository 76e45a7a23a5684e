// The file scan through the built agent: the wiring that only the agent
// shows (its terminal, its descriptor limit, AllFiles), in the real scan file.
#include <gtest/gtest.h>

#include <algorithm>

#include "agent_runner.h"

namespace e2e {
namespace {

const std::string kElf("\x7f\x45LF\x02\x01\x01\x00payload!", 16);

// Runs the agent within 24 descriptors with Files on and every other
// scanner off (the first occurrence of a key counts, so this is not built on
// QuietSettings), on a terminal (script gives it one) when asked; also
// returns the rows.
std::pair<AgentResult, std::string> ScanWithAgent(const std::string& root, const std::string& extra,
                                                  bool terminal = false) {
  TempDir out;
  const std::string ini = out.Write("s.ini", "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\n" + extra +
                                                 "\nOutputFolder=" + out.path().string() + "\n");
  const std::string command = "/usr/bin/prlimit --nofile=24: " + AgentPath().string() + " " + ini +
                              " " + root;
  const AgentResult run = terminal ? Run("/usr/bin/script", {"-qec", command, "/dev/null"})
                                   : Run("/bin/sh", {"-c", command});
  const fs::path scan = FindScanFile(out.path());
  const std::string doc = scan.empty() ? "" : ReadFile(scan);
  const size_t begin = doc.find("<rs:data>\r\n") + 11, end = doc.find("\t</rs:data>");
  return {run, end == std::string::npos ? "<no rowset>" : doc.substr(begin, end - begin)};
}

// A chain of 40 levels, an ELF file at each: within 24 descriptors (a
// quarter for directories) and off a terminal, the agent lists them all and
// draws no progress line. On a terminal, with AllFiles and CRC, it draws the
// progress line and lists other files too. (Paths past 4096 bytes: the file
// scan's tests.)
TEST(FilesE2E, DeepChainWithinFewDescriptorsAndOnATerminal) {
  TempDir tree;
  tree.Write("digits", "123456789");
  std::string chain;
  for (int level = 0; level < 40; ++level) tree.Write((chain += "d/") + "f", kElf);
  const std::string root = tree.path().string();
  const auto [run, rows] = ScanWithAgent(root, "Log=0");
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 40);
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << run.out;
  const auto [shown, all] = ScanWithAgent(root, "AllFiles=1\nCRC=1", true);
  EXPECT_NE(all.find("\"digits\" c5=\"9\""), std::string::npos);
  std::string first = "\r00000001 00000000 " + root;
  EXPECT_NE(shown.out.find(first.append(80, ' ').substr(0, 80)), std::string::npos);
}

}  // namespace
}  // namespace e2e
