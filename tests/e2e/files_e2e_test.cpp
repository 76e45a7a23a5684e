// The file scan through the built agent: the wiring that only the agent
// shows (its terminal, its descriptor limit, AllFiles), in the real scan file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "agent_runner.h"
#include "base/unique_fd.h"

namespace e2e {
namespace {

const std::string kElf("\x7f\x45LF\x02\x01\x01\x00payload!", 16);

// Runs the agent with Files on and every other scanner off (the first
// occurrence of a key counts, so this is not built on QuietSettings), on a
// terminal (script gives it one) when asked; also returns the rows.
std::pair<AgentResult, std::string> ScanWithAgent(const std::string& root, const std::string& extra,
                                                  bool terminal = false) {
  TempDir out;
  const std::string ini = out.Write("s.ini", "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\n" + extra +
                                                 "\nOutputFolder=" + out.path().string() + "\n");
  std::pair<AgentResult, std::string> s{
      terminal ? Run("/usr/bin/script", {"-qec", AgentPath().string() + " " + ini + " " + root,
                                         "/dev/null"})
               : RunAgent({ini, root}),
      ""};
  const fs::path scan = FindScanFile(out.path());
  const std::string doc = scan.empty() ? "" : ReadFile(scan);
  const size_t begin = doc.find("<rs:data>\r\n") + 11, end = doc.find("\t</rs:data>");
  s.second = end == std::string::npos ? "<no rowset>" : doc.substr(begin, end - begin);
  return s;
}

// A chain of 3,000 levels, short names first, then long ones (that once
// made a scan file of gigabytes), with ELF files named with markup and a
// control byte. Within 24 descriptors and off a terminal, the agent lists
// exactly the ELF files whose path is at most 4096 bytes, one line counts
// what it left out, and no progress line is drawn. On a terminal, with
// AllFiles and CRC, it draws the progress line and lists other files too.
TEST(FilesE2E, DeepChainWithinFewDescriptorsAndOnATerminal) {
  TempDir tree;
  tree.Write("digits", "123456789");
  constexpr int kDepth = 3000, kShortNames = 1900;
  const std::string file = "q&\"<\x01>", root = tree.path().string();
  std::vector<std::string> listed;  // directories whose file gets a row
  uint64_t leftOut = 0;
  std::string dir = root;
  UniqueFd fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (int level = 0; level < kDepth; ++level) {
    const std::string name = level < kShortNames ? "d" : std::string(250, 'n');
    if (level % 100 == 0 || level >= kShortNames) {
      const UniqueFd f(openat(fd.Get(), file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
      ASSERT_EQ(write(f.Get(), kElf.data(), kElf.size()), static_cast<ssize_t>(kElf.size()));
      if (dir.size() + 1 + file.size() <= 4096) listed.push_back(dir);
      else leftOut += dir.size() <= 4096;
    }
    leftOut += dir.size() <= 4096 && dir.size() + 1 + name.size() > 4096;
    ASSERT_EQ(mkdirat(fd.Get(), name.c_str(), 0755), 0);
    fd = UniqueFd(openat(fd.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    dir += "/" + name;
  }
  fd.Reset();
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit few = saved;
  few.rlim_cur = 24;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
  const auto [run, rows] = ScanWithAgent(root, "Log=0");
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(AttributeValue(rows, "c4"), "q&amp;&quot;&lt;?&gt;");
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), static_cast<long>(listed.size()));
  for (const std::string& d : listed)
    EXPECT_NE(rows.find(" c11=\"" + d + "\" "), std::string::npos) << d.size();
  const std::string count = "Entries left out, paths longer than 4096 bytes: ";
  EXPECT_NE(run.out.find(count + std::to_string(leftOut) + "\n"), std::string::npos);
  EXPECT_EQ(run.out.find(count), run.out.rfind(count));
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << run.out;
  const auto [shown, all] = ScanWithAgent(root, "AllFiles=1\nCRC=1", true);
  EXPECT_NE(all.find("\"digits\" c5=\"9\""), std::string::npos);
  EXPECT_NE(all.find(" c17=\"CBF43926\"/>"), std::string::npos);
  std::string first = "\r00000001 00000000 " + root;
  EXPECT_NE(shown.out.find(first.append(80, ' ').substr(0, 80)), std::string::npos);
  // rm copes with any depth.
  EXPECT_EQ(e2e::Run("/bin/rm", {"-rf", (tree / "d").string()}).exitStatus, 0);
}

}  // namespace
}  // namespace e2e
