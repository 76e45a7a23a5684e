// The file scan through the built agent: the wiring that only the agent
// shows (its terminal, its descriptor limit, AllFiles), in the real scan file.
#include <gtest/gtest.h>

#include "agent_runner.h"

namespace e2e {
namespace {

// A chain of 40 levels with an ELF file at each, and a file of digits: on a
// terminal (script gives it one), within 24 descriptors (a quarter for
// directories) and with AllFiles, the agent lists them all and draws the
// progress line. (Off a terminal: FixedTreeE2E; paths past 4096 bytes: the
// file scan's tests.)
TEST(FilesE2E, DeepChainWithinFewDescriptorsOnATerminal) {
  TempDir tree, out;
  tree.Write("digits", "123456789");
  std::string chain;
  for (int level = 0; level < 40; ++level)
    tree.Write((chain += "d/") + "f", std::string("\x7f\x45LF\x02\x01\x01\x00payload!", 16));
  // Every other scanner off: the first occurrence of a key counts, so this
  // is not built on QuietSettings.
  const fs::path ini = out.Write("s.ini", "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nAllFiles=1\n"
                                          "OutputFolder=" + out.path().string() + "\n");
  const std::string root = tree.path().string();
  const std::string agent = "/usr/bin/prlimit --nofile=24: " + AgentPath().string();
  const AgentResult run =
      e2e::Run("/usr/bin/script", {"-qec", agent + " " + ini.string() + " " + root, "/dev/null"});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  const std::string doc = ReadFile(FindScanFile(out.path()));
  size_t rows = 0;
  for (size_t at = doc.find("<z:row "); at != std::string::npos; at = doc.find("<z:row ", at + 1))
    ++rows;
  EXPECT_EQ(rows, 41u);
  EXPECT_NE(doc.find("\"digits\" c5=\"9\""), std::string::npos);
  std::string first = "\r00000001 00000000 " + root;
  EXPECT_NE(run.out.find(first.append(80, ' ').substr(0, 80)), std::string::npos);
}

}  // namespace
}  // namespace e2e
