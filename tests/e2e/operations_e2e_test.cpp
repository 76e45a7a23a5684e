// The built agent on a fleet host: one run at a time per output folder,
// clean stops, and the metrics node_exporter's textfile collector serves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "agent_runner.h"
#include "loopback_server.h"

extern char** environ;

namespace e2e {
namespace {

// A child started in the background, standard output to `out`; killed and
// reaped when still running at the end.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const fs::path& out) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Background() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    Wait();
  }
  pid_t pid() const { return pid_; }
  // The raw wait status.
  int Wait() {
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

// Waits up to five seconds for `done`.
template <typename Condition>
bool WaitFor(Condition done) {
  for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
    if (done()) return true;
  return false;
}

// The temporary scan files in `dir`.
std::vector<std::string> Temporaries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    if (name.starts_with(".") && name.find(".scn.") != std::string::npos) names.push_back(name);
  }
  return names;
}

// A slow scan: 300 files, a pause of 100 ms after every 11 entries.
void WriteSlowRun(const TempDir& dir) {
  for (int i = 0; i < 300; ++i) dir.Write("tree/f" + std::to_string(i), "x");
  dir.Write("s.ini", "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nPause=100\nOutputFolder=" +
                         (dir / "out").string() + "\n");
  fs::create_directory(dir / "out");
}

std::string LastLine(const std::string& out) {
  const size_t end = out.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const size_t start = out.rfind('\n', end) + 1;  // npos + 1 is 0
  return out.substr(start, end + 1 - start);
}

TEST(OperationsE2E, ASecondRunWhileTheLockIsHeldWritesNothing) {
  TempDir dir;
  WriteSlowRun(dir);
  const fs::path out = dir / "out";
  const std::string ini = (dir / "s.ini").string(), tree = (dir / "tree").string();
  const fs::path lock = out / ".scanunix.lock";
  // Held by another agent, whose pid the second one names; then by flock(1).
  Background first({AgentPath().string(), ini, tree}, dir / "first.out");
  ASSERT_TRUE(WaitFor([&] { return !Temporaries(out).empty(); }));
  const std::string expected = "Failed, no scan file saved: another scan is running";
  const auto contents = [&] {
    std::string names;
    for (const auto& entry : fs::directory_iterator(out)) names += entry.path().filename().string() + " ";
    return names;
  };
  const std::string before = contents();
  AgentResult r = RunAgent({ini, tree});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(LastLine(r.out), expected + " (pid " + std::to_string(first.pid()) + ")") << r.out;
  EXPECT_EQ(contents(), before);
  first.Wait();
  struct stat st {};
  ASSERT_EQ(::lstat(lock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode, S_IFREG | 0600u);

  fs::remove(FindScanFile(out));
  r = e2e::Run("/usr/bin/flock", {"-n", lock.string(), AgentPath().string(), ini, tree});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(LastLine(r.out), expected) << r.out;
  EXPECT_EQ(contents(), ".scanunix.lock ");
}

TEST(OperationsE2E, AStopSignalRemovesTheTemporaryFileAndEndsByIt) {
  TempDir dir;
  WriteSlowRun(dir);
  const fs::path out = dir / "out";
  // What an earlier run left: the temporary file goes, the rest stays. A
  // quick run first gives the scan file's name.
  RunAgent({(dir / "s.ini").string(), (dir / "none").string()});
  const fs::path scan = FindScanFile(out);
  ASSERT_FALSE(scan.empty());
  const std::string stale = "." + scan.filename().string() + ".0badf00d";
  dir.Write("out/" + stale, "stale");
  fs::create_symlink(dir / "tree/f1", out / ("." + scan.filename().string() + ".0badf00e"));
  dir.Write("out/." + scan.filename().string() + ".0badf00d.keep", "other name");
  fs::remove(scan);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    Background agent({AgentPath().string(), (dir / "s.ini").string(), (dir / "tree").string()},
                     dir / "agent.out");
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(out / stale) && Temporaries(out).size() == 3; }));
    ::kill(agent.pid(), signal);
    const int status = agent.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    const std::string name = signal == SIGTERM ? "TERM" : signal == SIGINT ? "INT" : "HUP";
    EXPECT_EQ(LastLine(ReadFile(dir / "agent.out")), "Failed, no scan file saved: stopped by signal " + name);
    EXPECT_EQ(Temporaries(out).size(), 2u);  // the link and the other name
    EXPECT_TRUE(FindScanFile(out).empty());
  }
}

// GET /metrics from node_exporter on `port`.
std::string Scrape(int port) {
  return e2e::Run("/bin/bash", {"-c",
                                "exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(port) +
                                    " && printf 'GET /metrics HTTP/1.0\\r\\n\\r\\n' >&3 && cat <&3"})
      .out;
}

// The value of the sample `name` (without labels) in a scrape; "" when absent.
std::string Sample(const std::string& scrape, const std::string& name) {
  const size_t at = scrape.find("\n" + name + " ");
  if (at == std::string::npos) return "";
  const size_t start = at + name.size() + 2;
  return scrape.substr(start, scrape.find('\n', start) - start);
}

TEST(OperationsE2E, NodeExporterServesTheRunsMetrics) {
  const fs::path exporter = "/usr/bin/prometheus-node-exporter";
  if (!fs::exists(exporter)) GTEST_SKIP() << "prometheus-node-exporter is not installed";
  TempDir dir;
  const int port = UnusedPort();
  Background node({exporter.string(), "--web.listen-address=127.0.0.1:" + std::to_string(port),
                   "--collector.disable-defaults", "--collector.textfile",
                   "--collector.textfile.directory=" + (dir / "metrics").string()},
                  dir / "exporter.out");
  fs::create_directory(dir / "metrics");
  ASSERT_TRUE(WaitFor([&] { return !Scrape(port).empty(); })) << ReadFile(dir / "exporter.out");
  dir.Write("tree/a", std::string("\x7f\x45LF\x02\x01\x01\x00payload!", 16));
  dir.Write("tree/sub/b", std::string("\x7f\x45LF\x02\x01\x01\x00payload!", 16));
  dir.Write("tree/c", "not elf");
  const std::string refused = "HTTP/1.1 200 OK\r\nContent-Length: 43\r\n\r\n"
                              "<UploadFileResult>FAIL</UploadFileResult>   ";
  const std::string confirmed = "HTTP/1.1 200 OK\r\nContent-Length: 39\r\n\r\n"
                                "<UploadFileResult>OK</UploadFileResult>";
  std::string lastSuccess = "0";
  // Refused (never a success yet), confirmed, refused again (the success stays).
  for (const bool ok : {false, true, false}) {
    SCOPED_TRACE(ok);
    LoopbackServer server(AnswerWith(ok ? confirmed : refused));
    dir.Write("s.ini", "[Settings]\nFiles=1\nMsi=1\nShortcuts=0\nUploadByHttp=1\nOutputFolder=" +
                           dir.path().string() + "\nMetricsFile=" +
                           (dir / "metrics/scanunix.prom").string() +
                           "\n[HTTP]\nTimeout=5\nAddress=http://127.0.0.1:" +
                           std::to_string(server.Port()) + "/\n");
    const AgentResult r = RunAgent({(dir / "s.ini").string(), (dir / "tree").string()});
    ASSERT_EQ(r.exitStatus, ok ? 0 : 2) << r.out << r.err;
    const std::string scrape = Scrape(port);
    EXPECT_EQ(Sample(scrape, "node_textfile_scrape_error"), "0") << scrape;
    EXPECT_EQ(Sample(scrape, "scanunix_last_run_exit_status"), ok ? "0" : "2");
    EXPECT_EQ(Sample(scrape, "scanunix_files_listed"), "2");
    EXPECT_EQ(Sample(scrape, "scanunix_upload_success"), ok ? "1" : "0");
    const fs::path scan = FindScanFile(dir.path());
    if (!scan.empty()) {  // kept after a refusal: its packages are the gauge's
      const std::string doc = ReadFile(scan);
      size_t packages = 0;
      for (size_t at = doc.find("<Installed"); at != std::string::npos; at = doc.find("<Installed", at + 1))
        ++packages;
      EXPECT_GT(packages, 0u);
      EXPECT_EQ(Sample(scrape, "scanunix_packages_listed"), std::to_string(packages));
    }
    const std::string started = Sample(scrape, "scanunix_last_run_timestamp_seconds");
    EXPECT_NEAR(std::stod(started), static_cast<double>(std::time(nullptr)), 60);
    if (ok) lastSuccess = started;
    EXPECT_EQ(Sample(scrape, "scanunix_last_success_timestamp_seconds"), lastSuccess);
  }
}

}  // namespace
}  // namespace e2e
