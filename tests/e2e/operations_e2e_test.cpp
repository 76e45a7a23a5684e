// The built agent on a fleet host: one run at a time per output folder,
// clean stops, and the metrics node_exporter's textfile collector serves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "agent_runner.h"
#include "loopback_server.h"

namespace e2e {
namespace {

// Waits up to five seconds for `done`.
template <typename Condition>
bool WaitFor(Condition done) {
  for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
    if (done()) return true;
  return false;
}

// The names in `dir`, and those of temporary scan files alone.
std::string Names(const fs::path& dir, bool temporaryOnly = false) {
  std::string names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    if (!temporaryOnly || (name.starts_with(".") && name.find(".scn.") != std::string::npos))
      names += name + " ";
  }
  return names;
}

// A slow scan of 300 files (a pause of 100 ms after every 11 entries) into
// out/; its settings are s.ini, the tree tree/.
std::vector<std::string> SlowRun(const TempDir& dir, const std::string& extra = "") {
  for (int i = 0; i < 300; ++i) dir.Write("tree/f" + std::to_string(i), "x");
  dir.Write("s.ini", "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nPause=100\nOutputFolder=" +
                         dir.Dir("out").string() + "\n" + extra);
  return {AgentPath().string(), (dir / "s.ini").string(), (dir / "tree").string()};
}

TEST(OperationsE2E, ASecondRunWhileTheLockIsHeldWritesNothing) {
  TempDir dir;
  const std::vector<std::string> agent = SlowRun(dir);
  const fs::path out = dir / "out", lock = out / ".scanunix.lock";
  const std::string held = "Failed, no scan file saved: another scan is running";
  // Held by another agent, whose pid the second one names; then by flock(1).
  Child first(agent, dir / "first.out");
  ASSERT_TRUE(WaitFor([&] { return !Names(out, true).empty(); }));
  const std::string before = Names(out);
  AgentResult r = RunAgent({agent[1], agent[2]});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_TRUE(r.out.ends_with(held + " (pid " + std::to_string(first.pid()) + ")\n")) << r.out;
  EXPECT_EQ(Names(out), before);
  first.Wait();
  EXPECT_EQ(fs::status(lock).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  fs::remove(FindScanFile(out));
  r = e2e::Run("/usr/bin/flock", {"-n", lock.string(), agent[0], agent[1], agent[2]});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_TRUE(r.out.ends_with(held + "\n")) << r.out;
  EXPECT_EQ(Names(out), ".scanunix.lock ");
}

TEST(OperationsE2E, AStopSignalRemovesTheTemporaryFileAndEndsByIt) {
  TempDir dir;
  LoopbackServer silent([](TcpConnection& c) { return ReadUntilHangUp(c); });
  const std::vector<std::string> agent = SlowRun(dir);
  const fs::path out = dir / "out";
  // What an earlier run left: its temporary file goes, a link and another
  // name stay. A quick run first gives the scan file's name.
  RunAgent({agent[1], (dir / "none").string()});
  const std::string temporary = "." + FindScanFile(out).filename().string() + ".0badf00";
  fs::remove(FindScanFile(out));
  dir.Write("out/" + temporary + "d", "stale");
  dir.Write("out/" + temporary + "d.keep", "other name");
  fs::create_symlink(dir / "tree/f1", out / (temporary + "e"));
  const std::string kept = Names(out, true);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    Child run(agent, dir / "agent.out");
    // The stale file gone, the run's own in its place.
    ASSERT_TRUE(WaitFor([&] {
      return !fs::exists(out / (temporary + "d")) && Names(out, true).size() == kept.size();
    }));
    ::kill(run.pid(), signal);
    const int status = run.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    const std::string name = signal == SIGTERM ? "TERM" : signal == SIGINT ? "INT" : "HUP";
    const std::string said = ReadFile(dir / "agent.out");
    EXPECT_TRUE(said.ends_with("Failed, no scan file saved: stopped by signal " + name + "\n"))
        << said;
    EXPECT_EQ(Names(out, true).size(), kept.size() - temporary.size() - 2);  // its own went too
    EXPECT_TRUE(FindScanFile(out).empty());
  }
  // A stop while the server keeps the upload waiting keeps the scan file.
  dir.Write("s.ini", QuietSettings(out, "UploadByHttp=1") + "[HTTP]\nTimeout=30\nAddress=http://127.0.0.1:" +
                         std::to_string(silent.Port()) + "/\n");
  Child run(agent, dir / "agent.out");
  ASSERT_TRUE(WaitFor([&] { return !FindScanFile(out).empty(); }));
  ::kill(run.pid(), SIGTERM);
  EXPECT_EQ(WTERMSIG(run.Wait()), SIGTERM);
  EXPECT_TRUE(ReadFile(dir / "agent.out").ends_with(", upload failed\n"));
  EXPECT_FALSE(FindScanFile(out).empty());
}

// The sample `name` of node_exporter's answer on `port`; "" when absent.
std::string Sample(int port, const std::string& name) {
  const std::string value =
      e2e::Run("/bin/bash", {"-c", "exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(port) +
                                       " && printf 'GET /metrics HTTP/1.0\\r\\n\\r\\n' >&3 && "
                                       "sed -n 's/^" + name + " //p' <&3"})
          .out;
  return value.substr(0, value.find('\n'));
}

TEST(OperationsE2E, NodeExporterServesTheRunsMetrics) {
  const fs::path exporter = "/usr/bin/prometheus-node-exporter";
  if (!fs::exists(exporter)) GTEST_SKIP() << "prometheus-node-exporter is not installed";
  TempDir dir;
  const int port = UnusedPort();
  Child node({exporter, "--web.listen-address=127.0.0.1:" + std::to_string(port),
                   "--collector.disable-defaults", "--collector.textfile",
                   "--collector.textfile.directory=" + dir.Dir("metrics").string()},
                  dir / "exporter.out");
  ASSERT_TRUE(WaitFor([&] { return Sample(port, "node_textfile_scrape_error") == "0"; }));
  const std::string elf("\x7f\x45LF\x02\x01\x01\x00payload!", 16);
  dir.Write("tree/a", elf);
  dir.Write("tree/sub/b", elf);
  dir.Write("tree/c", "not elf");
  std::string lastSuccess = "0";
  // Refused (no success yet), confirmed, refused again (the success stays).
  for (const bool ok : {false, true, false}) {
    SCOPED_TRACE(ok);
    LoopbackServer server(AnswerWith(SoapAnswer(ok ? "OK" : "FAIL")));
    dir.Write("s.ini", "[Settings]\nMsi=1\nShortcuts=0\nUploadByHttp=1\nOutputFolder=" +
                           dir.path().string() + "\nMetricsFile=" + (dir / "metrics/s.prom").string() +
                           "\n[HTTP]\nTimeout=5\nAddress=http://127.0.0.1:" +
                           std::to_string(server.Port()) + "/\n");
    ASSERT_EQ(RunAgent({(dir / "s.ini").string(), (dir / "tree").string()}).exitStatus, ok ? 0 : 2);
    EXPECT_EQ(Sample(port, "node_textfile_scrape_error"), "0");
    EXPECT_EQ(Sample(port, "scanunix_last_run_exit_status"), ok ? "0" : "2");
    EXPECT_EQ(Sample(port, "scanunix_files_listed"), "2");
    EXPECT_EQ(Sample(port, "scanunix_upload_success"), ok ? "1" : "0");
    if (!ok) {  // the scan file stays: its packages are the gauge's
      const size_t packages =
          scanunix_test::InstalledRows(ReadFile(FindScanFile(dir.path())), {}).size();
      EXPECT_EQ(Sample(port, "scanunix_packages_listed"), std::to_string(packages));
      EXPECT_GT(packages, 0u);
    }
    const std::string started = Sample(port, "scanunix_last_run_timestamp_seconds");
    EXPECT_NEAR(std::stod(started), static_cast<double>(std::time(nullptr)), 60);
    if (ok) lastSuccess = started;
    EXPECT_EQ(Sample(port, "scanunix_last_success_timestamp_seconds"), lastSuccess);
  }
}

}  // namespace
}  // namespace e2e
