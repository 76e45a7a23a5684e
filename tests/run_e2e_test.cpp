// The whole run of the built agent: settings lookup, file names, the
// document skeleton, the log, and the final move of the scan file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include "agent_runner.h"

namespace e2e {
namespace {

std::string ComputerName() {
  utsname names{};
  uname(&names);
  std::string node = names.nodename;
  return node.substr(0, node.find('.'));
}

std::string Header() { return ReadFile(SCANUNIX_TEST_DATA "/header.xml"); }

std::string LastLine(const std::string& text) {
  const size_t end = text.find_last_not_of('\n');
  const size_t start = text.rfind('\n', end);
  return text.substr(start + 1, end - start);
}

// A copy of the agent in a directory of its own, to test the lookups that
// start from the executable's directory.
struct AgentCopy {
  AgentCopy() {
    fs::copy_file(AgentPath(), dir / "scanunix");
  }
  AgentResult Run(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {}) {
    return e2e::Run(dir / "scanunix", args, env, dir.path());
  }
  TempDir dir;
};

TEST(RunE2E, SkeletonWithEveryScannerOff) {
  TempDir out;
  WriteFile(out / "s.ini", QuietSettings(out.path()));
  AgentResult r = RunAgent({(out / "s.ini").string()}, {{"LANG", "de_DE.UTF-8"}});
  EXPECT_EQ(r.exitStatus, 0);
  const fs::path scan = FindScanFile(out.path());
  ASSERT_FALSE(scan.empty()) << r.out << r.err;
  EXPECT_EQ(LastLine(r.out), "Finished, saved to: " + scan.string());
  EXPECT_NE(r.out.find("\n\nFinished, saved to: "), std::string::npos);
  EXPECT_EQ(r.out.find("INI: " + (out / "s.ini").string() + "\n"), 0u);

  const std::string doc = ReadFile(scan);
  const std::string header = Header();
  ASSERT_EQ(doc.substr(0, header.size()), header);
  std::string rest = doc.substr(header.size());
  const std::string afterRows =
      "\t</rs:data>\r\n</xml>\r\n</InventoryClass>\r\n<SystemInfo ComputerName=\"" +
      ComputerName() + "\" ComputerUid=\"\" ScanDate=\"";
  ASSERT_EQ(rest.substr(0, afterRows.size()), afterRows);
  EXPECT_NE(rest.find("\" PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" "
                      "BuildNumberHigh=\"0\" BuildNumberLow=\"0\" ProductType=\"UNIX\" "
                      "ProductID=\"\" System=\""),
            std::string::npos);
  EXPECT_NE(rest.find(" LanguageID=\"de_DE\" "), std::string::npos);
  EXPECT_NE(rest.find(" ScanDuration=\"00:00:0"), std::string::npos);
  const std::string tail =
      "\">\r\n\t<LogicalDrives></LogicalDrives>\r\n\t<RegSWFiles></RegSWFiles>\r\n"
      "</SystemInfo>\r\n<HardwareInfo TotalMemory=\"";
  EXPECT_NE(rest.find(tail), std::string::npos);
  EXPECT_TRUE(doc.ends_with("</HardwareInfo>\r\n</InventoryClasses>\r\n"));
  std::string message;
  EXPECT_TRUE(XmlWellFormed(scan, &message)) << message;
  EXPECT_FALSE(fs::exists("/tmp/temp.scn"));
}

TEST(RunE2E, ExtraDataFileGoesBeforeTheClosingTag) {
  TempDir out;
  WriteFile(out / "extra.xml", "<a>");
  WriteFile(out / "s.ini",
            QuietSettings(out.path(), "ComputerData=" + (out / "extra.xml").string()));
  RunAgent({(out / "s.ini").string()});
  const std::string doc = ReadFile(FindScanFile(out.path()));
  EXPECT_TRUE(doc.ends_with("</HardwareInfo>\r\n<a></InventoryClasses>\r\n"));
}

TEST(RunE2E, ScanFileAndLogAreNamedAfterTheComputer) {
  TempDir out;
  WriteFile(out / "s.ini", QuietSettings(out.path(), "Log=1"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  const std::string name = FindScanFile(out.path()).filename().string();
  EXPECT_TRUE(name == ComputerName() + ".scn" ||
              (name.size() == ComputerName().size() + 17 && name[ComputerName().size()] == '_'))
      << name;
  const std::string log = ReadFile(out / (ComputerName() + ".log"));
  // The settings messages come before the log is named; these come after.
  EXPECT_EQ(log.find("INI:"), std::string::npos);
  EXPECT_EQ(log.find("Get Language\n\nGet Username\n\nScanning\nCPU sig\n\nOS info\n\n"), 0u)
      << log;
  EXPECT_NE(log.find("Compress and save\n\n"), std::string::npos);
  // The log is appended to, never truncated.
  RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(ReadFile(out / (ComputerName() + ".log")).size(), 2 * log.size());
}

TEST(RunE2E, SilentLevelWritesOnlyTheFinalLine) {
  TempDir out;
  WriteFile(out / "s.ini", QuietSettings(out.path(), "Log=-1"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  const std::string finished = "\nFinished, saved to: " + FindScanFile(out.path()).string() + "\n";
  // The disk probe speaks at every non-zero level, -1 included.
  EXPECT_TRUE(r.out == finished || r.out == "ERROR: Cannot open device /dev/sda\n" + finished)
      << r.out;
  EXPECT_FALSE(fs::exists(out / (ComputerName() + ".log")));
}

TEST(RunE2E, SettingsBesideTheExecutable) {
  AgentCopy agent;
  TempDir empty;
  // Nothing to load: defaults, and the one argument is the directory to scan.
  AgentResult none = agent.Run({empty.path().string()});
  EXPECT_EQ(none.exitStatus, 0);
  EXPECT_NE(none.out.find("INI not found, using default values.\n"), std::string::npos);
  EXPECT_FALSE(FindScanFile(agent.dir.path()).empty());  // output beside the executable
  fs::remove(FindScanFile(agent.dir.path()));

  TempDir out;
  WriteFile(agent.dir / "scanunix.ini", QuietSettings(out.path()));
  AgentResult fallback = agent.Run({"missing.ini", empty.path().string()});
  EXPECT_EQ(fallback.out.find("INI: " + (agent.dir / "scanunix.ini").string() + "\n"), 0u)
      << fallback.out;
  EXPECT_FALSE(FindScanFile(out.path()).empty());

  // A file named exactly like the computer comes first.
  TempDir out2;
  WriteFile(agent.dir / ComputerName(), QuietSettings(out2.path()));
  AgentResult named = agent.Run({});
  EXPECT_EQ(named.out.find("INI: " + (agent.dir / ComputerName()).string() + "\n"), 0u);
  EXPECT_FALSE(FindScanFile(out2.path()).empty());
}

TEST(RunE2E, AcrossFileSystemsTheScanFileIsAnExactCopy) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  std::string tmpl = "/dev/shm/scanunix_e2e.XXXXXX";
  const fs::path shm = mkdtemp(tmpl.data());
  WriteFile(shm / "extra.xml", std::string(300000, 'x'));
  WriteFile(shm / "s.ini", QuietSettings(shm, "ComputerData=" + (shm / "extra.xml").string()));
  AgentResult r = RunAgent({(shm / "s.ini").string()});
  const fs::path scan = FindScanFile(shm);
  ASSERT_FALSE(scan.empty()) << r.out << r.err;
  const std::string doc = ReadFile(scan);
  EXPECT_TRUE(doc.ends_with(std::string(300000, 'x') + "</InventoryClasses>\r\n"));
  EXPECT_TRUE(doc.starts_with(Header()));
  EXPECT_FALSE(fs::exists("/tmp/temp.scn"));
  fs::remove_all(shm);
}

TEST(RunE2E, APlantedTemporaryPathIsNeverUsed) {
  // A directory that cannot be removed stands in for anything another user
  // might have placed at the fixed temporary path.
  fs::remove_all("/tmp/temp.scn");
  fs::create_directory("/tmp/temp.scn");
  WriteFile("/tmp/temp.scn/planted", "not a scan");
  TempDir out;
  WriteFile(out / "s.ini", QuietSettings(out.path()));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.err.find("/tmp/temp.scn: File exists"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Error rename tmp file to scn file: File exists"), std::string::npos);
  EXPECT_TRUE(FindScanFile(out.path()).empty());
  EXPECT_EQ(ReadFile("/tmp/temp.scn/planted"), "not a scan");
  EXPECT_NE(r.out.find("Finished, saved to: "), std::string::npos);
  fs::remove_all("/tmp/temp.scn");
}

TEST(RunE2E, OutputFolderThatDoesNotExistIsReported) {
  TempDir out;
  WriteFile(out / "s.ini", QuietSettings(out / "missing"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.err.find("Error rename tmp file to scn file: No such file or directory"),
            std::string::npos);
  EXPECT_NE(r.out.find("/tmp/temp.scn\n"), std::string::npos);  // both paths are logged
  EXPECT_TRUE(fs::exists("/tmp/temp.scn"));  // kept for the admin to recover
  fs::remove("/tmp/temp.scn");
}

}  // namespace
}  // namespace e2e
