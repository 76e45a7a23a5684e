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

TEST(RunE2E, ATemporaryFileOthersPlantedIsNeverUsed) {
  fs::remove_all("/tmp/temp.scn");
  WriteFile("/tmp/temp.scn/planted", "not a scan");
  TempDir out;
  out.Write("s.ini", QuietSettings(out.path()));
  const AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(FindScanFile(out.path()).empty());
  EXPECT_EQ(ReadFile("/tmp/temp.scn/planted"), "not a scan");
  fs::remove_all("/tmp/temp.scn");
}

// What can go wrong before the scan file has its name: the old file stays,
// nothing else is left behind or uploaded, and the run says so.
TEST(RunE2E, NoScanFileSavedWhenTheOutputFolderIsMissingOrFull) {
  TempDir out, full;
  out.Write("s.ini", QuietSettings(out / "missing"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find((out / "missing").string() + "/"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.ends_with("\nFailed, no scan file saved: No such file or directory\n")) << r.out;

  out.Write("s.ini", QuietSettings(out.path()));
  RunAgent({(out / "s.ini").string()});
  const std::string name = FindScanFile(out.path()).filename().string();
  out.Write("big.xml", std::string(1 << 20, 'x'));
  out.Write("full.ini", QuietSettings(full.path(), "Log=1\nUploadByHttp=1\nComputerData=" +
                                                      (out / "big.xml").string()) +
                            "[HTTP]\nAddress=http://127.0.0.1:9/\n");
  r = e2e::Run("/usr/bin/unshare",
          {"-m", "/bin/sh", "-c",
           "mount -t tmpfs -o size=256k tmpfs \"$0\" || exit 99; printf previous >\"$0/$1\"; "
           "\"$2\" \"$3\"; echo \"status=$?\"; cat \"$0/$1\"; echo; ls -A \"$0\"",
           full.path().string(), name, AgentPath().string(), (out / "full.ini").string()});
  if (r.exitStatus == 99) GTEST_SKIP() << "cannot mount a tmpfs here: " << r.err;
  EXPECT_NE(r.err.find("Error writing tmp file: No space left on device"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\nFailed, no scan file saved: No space left on device\nstatus=1\nprevious\n"),
            std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("UploadFileHttp"), std::string::npos);
  EXPECT_EQ(r.out.find("\n."), std::string::npos) << "a temporary file was left behind";
}

// Installed agents keep their settings in /etc/scanunix; a private /etc
// stands in for it.
TEST(RunE2E, SystemSettingsAfterThoseBesideTheExecutable) {
  TempDir agentDir, out;
  fs::copy_file(AgentPath(), agentDir / "scanunix");
  agentDir.Write("etc.ini", QuietSettings(out.path()));
  const AgentResult r = e2e::Run(
      "/usr/bin/unshare",
      {"-m", "/bin/sh", "-c",
       "mount -t tmpfs tmpfs /etc || exit 99; mkdir /etc/scanunix; cp \"$0\" /etc/scanunix/scanunix.ini; "
       "exec \"$1\" /nonexistent",
       (agentDir / "etc.ini").string(), (agentDir / "scanunix").string()});
  if (r.exitStatus == 99) GTEST_SKIP() << "cannot mount a private /etc here: " << r.err;
  EXPECT_EQ(r.out.find("INI: /etc/scanunix/scanunix.ini\n"), 0u) << r.out;
  EXPECT_FALSE(FindScanFile(out.path()).empty());
}

}  // namespace
}  // namespace e2e
