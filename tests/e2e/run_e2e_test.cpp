// The whole run of the built agent: where the settings are found, the log,
// and saving the scan file.
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

// A temporary file others planted where earlier versions wrote is never used.
TEST(RunE2E, LogFileBesideTheScanFileAppended) {
  WriteFile("/tmp/temp.scn/planted", "not a scan");
  TempDir out;
  out.Write("s.ini", QuietSettings(out.path(), "Log=1"));
  const AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(FindScanFile(out.path()).empty());
  EXPECT_EQ(ReadFile("/tmp/temp.scn/planted"), "not a scan");
  fs::remove_all("/tmp/temp.scn");
  const fs::path logPath = out / (ComputerName() + ".log");
  const std::string log = ReadFile(logPath);
  // The settings messages come before the log is named.
  EXPECT_TRUE(log.starts_with("Get Language\n\nGet Username\n\nScanning\nCPU sig\n\nOS info\n\n"))
      << log;
  RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(ReadFile(logPath), log + log);  // appended, never truncated
}

// An argument, then a file beside the executable named like the computer,
// then scanunix.ini there, then /etc/scanunix/scanunix.ini (in a private /etc).
TEST(RunE2E, SettingsFoundInTurn) {
  TempDir agentDir, empty, out;
  fs::copy_file(AgentPath(), agentDir / "scanunix");
  const fs::path system = agentDir.Write("system.ini", QuietSettings(out.path()));
  const struct {
    std::string beside;  // settings put beside the executable
    bool inEtc;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"", false, {empty.path()}, "INI not found, using default values.\n"},
      {"", true, {empty.path()}, "INI: /etc/scanunix/scanunix.ini\n"},
      {"scanunix.ini", true, {"missing.ini", empty.path()},
       "INI: " + (agentDir / "scanunix.ini").string()},
      {ComputerName(), true, {}, "INI: " + (agentDir / ComputerName()).string()},
  };
  for (const auto& c : cases) {
    if (!c.beside.empty()) agentDir.Write(c.beside, QuietSettings(out.path()));
    std::vector<std::string> args = {
        "-m", "/bin/sh", "-c",
        "mount -t tmpfs tmpfs /etc || exit 99; [ -z \"$1\" ] || { mkdir /etc/scanunix; "
        "cp \"$1\" /etc/scanunix/scanunix.ini; }; shift; exec \"$0\" \"$@\"",
        (agentDir / "scanunix").string(), c.inEtc ? system.string() : ""};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const AgentResult r = e2e::Run("/usr/bin/unshare", args);
    if (r.exitStatus == 99) GTEST_SKIP() << "cannot mount a private /etc here: " << r.err;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    EXPECT_FALSE(FindScanFile(c.inEtc ? out.path() : agentDir.path()).empty()) << r.out;
    for (const auto& entry : fs::directory_iterator(out.path())) fs::remove(entry.path());
  }
}

// What can go wrong before the scan file has its name: the old file stays,
// nothing else is left behind or uploaded, and the run says so.
TEST(RunE2E, NoScanFileSavedWhenTheOutputFolderIsMissingOrFull) {
  TempDir out, full;
  out.Write("s.ini", QuietSettings(out / "missing"));
  AgentResult r = RunAgent({(out / "s.ini").string()});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find((out / "missing").string() + "/"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.ends_with("\nFailed, no scan file saved: No such file or directory\n"))
      << r.out;

  out.Write("s.ini", QuietSettings(out.path()));
  RunAgent({(out / "s.ini").string()});
  const std::string name = FindScanFile(out.path()).filename().string();
  const fs::path big = out.Write("big.xml", std::string(1 << 20, 'x'));
  out.Write("full.ini", QuietSettings(full.path(), "Log=1\nUploadByHttp=1\nComputerData=" +
                                                      big.string()) +
                            "[HTTP]\nAddress=http://127.0.0.1:9/\n");
  r = e2e::Run("/usr/bin/unshare",
          {"-m", "/bin/sh", "-c",
           "mount -t tmpfs -o size=256k tmpfs \"$0\" || exit 99; printf previous >\"$0/$1\"; "
           "\"$2\" \"$3\"; echo \"status=$?\"; cat \"$0/$1\"; echo; ls -A -I .scanunix.lock \"$0\"",
           full.path().string(), name, AgentPath().string(), (out / "full.ini").string()});
  if (r.exitStatus == 99) GTEST_SKIP() << "cannot mount a tmpfs here: " << r.err;
  EXPECT_NE(r.err.find("Error writing tmp file: No space left on device"), std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("\nFailed, no scan file saved: No space left on device\nstatus=1\nprevious"),
            std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("UploadFileHttp"), std::string::npos);
  EXPECT_EQ(r.out.find("\n."), std::string::npos) << "a temporary file was left behind";
}

}  // namespace
}  // namespace e2e
