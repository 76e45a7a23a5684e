// The file scan through the built agent: settings wiring and rows of a real
// tree, byte for byte, in the real scan file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "agent_runner.h"
#include "base/unique_fd.h"

namespace e2e {
namespace {

const std::string kElf("\x7f\x45LF\x02\x01\x01\x00payload!", 16);

// Runs the agent with Files on and every other scanner off (the first
// occurrence of a key counts, so this is not built on QuietSettings); also
// returns the rows of the rowset.
std::pair<AgentResult, std::string> ScanWithAgent(const std::string& root, const std::string& extra,
                                                  const std::string& ignore = "") {
  TempDir out;
  std::string settings = "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nOutputFolder=";
  settings.append(out.path().string()).append("\n").append(extra);
  out.Write("s.ini", settings.append("\n[IgnoreFolders]\n").append(ignore));
  std::pair<AgentResult, std::string> s{RunAgent({(out / "s.ini").string(), root}), ""};
  const fs::path scan = FindScanFile(out.path());
  std::string doc = scan.empty() ? "" : ReadFile(scan), message;
  const size_t begin = doc.find("<rs:data>\r\n") + 11, end = doc.find("\t</rs:data>");
  s.second = end == std::string::npos ? "<no rowset>" : doc.substr(begin, end - begin);
  EXPECT_TRUE(scan.empty() || XmlWellFormed(scan, &message)) << message;
  return s;
}

// The row of `file` as lstat, getpwuid and strftime give its values.
std::string ExpectedRow(const fs::path& file, const std::string& name, const std::string& dir,
                        const std::string& crc = "") {
  struct stat st {};
  if (lstat(file.c_str(), &st) != 0) return "<no file " + file.string() + ">";
  const auto utc = [](time_t t) {
    char text[32];
    struct tm parts {};
    return std::string(text, strftime(text, sizeof text, "%F %T", gmtime_r(&t, &parts)));
  };
  const passwd* pw = getpwuid(st.st_uid);
  return "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"" + name + "\" c5=\"" +
         std::to_string(st.st_size) + "\" c6=\"" + utc(st.st_ctime) + "\" c7=\"\" c8=\"" +
         (pw ? pw->pw_name : "") + "\" c9=\"\" c10=\"\" c11=\"" + dir + "\" c12=\"" +
         utc(st.st_mtime) + "\" c13=\"\" c14=\"\" c15=\"" + utc(st.st_atime) +
         "\" c16=\"0\" c17=\"" + crc + "\"/>\r\n";
}

TEST(FilesE2E, AllFilesChecksumsIgnoredFoldersAndProgressLine) {
  TempDir tree, out;
  tree.Write("digits", "123456789");
  tree.Write("Skip/deeper/elf", kElf);
  const std::string root = tree.path().string() + "/";
  const auto [run, rows] = ScanWithAgent(root, "Log=0\nAllFiles=1\nCRC=1", "*skip\n");
  EXPECT_EQ(rows, ExpectedRow(tree / "digits", "digits", tree.path().string(), "CBF43926"));
  EXPECT_EQ(run.out.find('\r'), std::string::npos);  // no display when not on a terminal
  // On a terminal (script gives the agent one) the progress display is drawn.
  out.Write("s.ini", "[Settings]\nMsi=0\nShortcuts=0\nOutputFolder=" + out.path().string() + "\n");
  const AgentResult onTerminal = e2e::Run("/usr/bin/script", {"-qec", AgentPath().string() + " " +
                                     (out / "s.ini").string() + " " + root, "/dev/null"});
  std::string first = "\r00000001 00000000 " + root;
  EXPECT_NE(onTerminal.out.find(first.append(80, ' ').substr(0, 80)), std::string::npos)
      << onTerminal.out;
}

// A chain of 3,000 levels, short names first, then long ones (that once
// made a scan file of gigabytes), with ELF files named with markup and a
// control byte. Within 24 descriptors the agent lists exactly the files
// whose path is at most 4096 bytes, and one line counts what it left out.
TEST(FilesE2E, DeepChainGivesBoundedOutputWithinFewDescriptors) {
  TempDir tree;
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
  const auto [run, rows] = ScanWithAgent(root, "Log=1");
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(rows.find(ExpectedRow(tree / file, "q&amp;&quot;&lt;?&gt;", root)), std::string::npos);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), static_cast<long>(listed.size()));
  for (const std::string& d : listed)
    EXPECT_NE(rows.find(" c11=\"" + d + "\" "), std::string::npos) << d.size();
  EXPECT_LT(rows.size(), listed.size() * 4500);
  const std::string count = "Entries left out, paths longer than 4096 bytes: ";
  EXPECT_NE(run.out.find(count + std::to_string(leftOut) + "\n"), std::string::npos);
  EXPECT_EQ(run.out.find(count), run.out.rfind(count));
  // rm copes with any depth.
  EXPECT_EQ(e2e::Run("/bin/rm", {"-rf", (tree / "d").string()}).exitStatus, 0);
}

}  // namespace
}  // namespace e2e
