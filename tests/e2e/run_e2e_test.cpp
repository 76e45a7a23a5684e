// The whole run of the built agent: settings lookup, file names, the
// document skeleton, the log, and the final move of the scan file.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "agent_runner.h"

namespace e2e {
namespace {

std::string ComputerName() {
  utsname names{};
  uname(&names);
  const std::string node = names.nodename;
  return node.substr(0, node.find('.'));
}

TEST(RunE2E, DocumentSkeletonByteForByte) {
  TempDir out;
  out.Write("extra.xml", "<a>");
  out.Write("s.ini", QuietSettings(out.path(), "ComputerData=" + (out / "extra.xml").string()));
  AgentResult r = RunAgent({(out / "s.ini").string()}, {{"LANG", "de_DE.UTF-8"}});
  EXPECT_EQ(r.exitStatus, 0);
  const fs::path scan = FindScanFile(out.path());
  ASSERT_FALSE(scan.empty()) << r.out << r.err;
  EXPECT_EQ(r.out.find("INI: " + (out / "s.ini").string() + "\n"), 0u);
  EXPECT_TRUE(r.out.ends_with("\n\nFinished, saved to: " + scan.string() + "\n"));

  const std::string doc = ReadFile(scan);
  const std::string header = ReadFile(SCANUNIX_TEST_DATA "/header.xml");
  ASSERT_EQ(doc.substr(0, header.size()), header);
  const std::string rest = doc.substr(header.size());
  EXPECT_TRUE(rest.starts_with(
      "\t</rs:data>\r\n</xml>\r\n</InventoryClass>\r\n<SystemInfo ComputerName=\"" +
      ComputerName() + "\" ComputerUid=\"\" ScanDate=\""));
  EXPECT_NE(rest.find("\" PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" "
                      "BuildNumberHigh=\"0\" BuildNumberLow=\"0\" ProductType=\"UNIX\" "
                      "ProductID=\"\" System=\""),
            std::string::npos);
  EXPECT_NE(rest.find(" LanguageID=\"de_DE\" "), std::string::npos);
  EXPECT_NE(rest.find("\">\r\n\t<LogicalDrives></LogicalDrives>\r\n\t<RegSWFiles></RegSWFiles>\r\n"
                      "</SystemInfo>\r\n<HardwareInfo TotalMemory=\""),
            std::string::npos);
  EXPECT_TRUE(doc.ends_with("</HardwareInfo>\r\n<a></InventoryClasses>\r\n"));
  EXPECT_FALSE(fs::exists("/tmp/temp.scn"));

  out.Write("extra.xml", "");
  RunAgent({(out / "s.ini").string()});
  std::string message;
  EXPECT_TRUE(XmlWellFormed(scan, &message)) << message;
}

TEST(RunE2E, LogFileAndLevels) {
  TempDir out;
  out.Write("s.ini", QuietSettings(out.path(), "Log=1"));
  RunAgent({(out / "s.ini").string()});
  const std::string name = FindScanFile(out.path()).filename().string();
  EXPECT_TRUE(name.starts_with(ComputerName() + "_") || name == ComputerName() + ".scn") << name;
  const fs::path logPath = out / (ComputerName() + ".log");
  const std::string log = ReadFile(logPath);
  // The settings messages come before the log is named.
  EXPECT_EQ(log.find("Get Language\n\nGet Username\n\nScanning\nCPU sig\n\nOS info\n\n"), 0u) << log;
  RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(ReadFile(logPath).size(), 2 * log.size());  // appended, never truncated

  fs::remove(logPath);
  out.Write("s.ini", QuietSettings(out.path(), "Log=-1"));
  AgentResult silent = RunAgent({(out / "s.ini").string()});
  const std::string finished = "\nFinished, saved to: " + FindScanFile(out.path()).string() + "\n";
  EXPECT_EQ(silent.out, finished);  // whatever the disk probe found
  EXPECT_FALSE(fs::exists(logPath));
}

TEST(RunE2E, SettingsBesideTheExecutable) {
  TempDir agentDir, empty, out, out2;
  fs::copy_file(AgentPath(), agentDir / "scanunix");
  auto run = [&](const std::vector<std::string>& args) {
    return e2e::Run(agentDir / "scanunix", args, {}, agentDir.path());
  };
  // Nothing to load: defaults, and the only argument is the directory to scan.
  AgentResult none = run({empty.path().string()});
  EXPECT_NE(none.out.find("INI not found, using default values.\n"), std::string::npos);
  const fs::path besideAgent = FindScanFile(agentDir.path());
  EXPECT_FALSE(besideAgent.empty());
  fs::remove(besideAgent);

  agentDir.Write("scanunix.ini", QuietSettings(out.path()));
  AgentResult fallback = run({"missing.ini", empty.path().string()});
  EXPECT_EQ(fallback.out.find("INI: " + (agentDir / "scanunix.ini").string() + "\n"), 0u);
  EXPECT_FALSE(FindScanFile(out.path()).empty());

  agentDir.Write(ComputerName(), QuietSettings(out2.path()));  // named like the computer
  AgentResult named = run({});
  EXPECT_EQ(named.out.find("INI: " + (agentDir / ComputerName()).string() + "\n"), 0u);
  EXPECT_FALSE(FindScanFile(out2.path()).empty());
}

TEST(RunE2E, APlantedTemporaryPathIsNeverUsed) {
  // A directory that cannot be removed stands in for anything another user
  // might have placed at the fixed temporary path.
  fs::remove_all("/tmp/temp.scn");
  WriteFile("/tmp/temp.scn/planted", "not a scan");
  TempDir out;
  out.Write("s.ini", QuietSettings(out.path()));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.err.find("/tmp/temp.scn: File exists"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Error rename tmp file to scn file: File exists"), std::string::npos);
  EXPECT_TRUE(FindScanFile(out.path()).empty());
  EXPECT_EQ(ReadFile("/tmp/temp.scn/planted"), "not a scan");
  fs::remove_all("/tmp/temp.scn");
}

TEST(RunE2E, MissingOutputFolderKeepsTheTemporaryFile) {
  TempDir out;
  out.Write("s.ini", QuietSettings(out / "missing"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.err.find("Error rename tmp file to scn file: No such file or directory"),
            std::string::npos);
  EXPECT_NE(r.out.find("/tmp/temp.scn\n"), std::string::npos);  // both paths are logged
  EXPECT_TRUE(fs::exists("/tmp/temp.scn"));
  fs::remove("/tmp/temp.scn");
}

}  // namespace
}  // namespace e2e
