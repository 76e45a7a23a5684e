#include "agent_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

fs::path AgentPath() { return SCANUNIX_AGENT_PATH; }

namespace {

std::string Slurp(int fd) {
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& env) {
  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [key, value] : env) {
    if (value.empty()) merged.erase(key);
    else merged[key] = value;
  }
  std::vector<std::string> out;
  for (const auto& [key, value] : merged) out.push_back(key + "=" + value);
  return out;
}

}  // namespace

AgentResult Run(const fs::path& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env, const fs::path& workdir) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");

  std::vector<std::string> argStrings{program.string()};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings = MergedEnvironment(env);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    int devnull = ::open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  AgentResult result;
  std::thread errReader([&] { result.err = Slurp(errPipe[0]); });
  result.out = Slurp(outPipe[0]);
  errReader.join();
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

AgentResult RunAgent(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const fs::path& workdir) {
  return Run(AgentPath(), args, env, workdir);
}

fs::path FindScanFile(const fs::path& dir) {
  fs::path found;
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".scn") {
      found = entry.path();
      ++count;
    }
  }
  return count == 1 ? found : fs::path();
}

std::string QuietSettings(const fs::path& dir, const std::string& extra) {
  return "[Settings]\nFiles=0\nMsi=0\nShortcuts=0\nOutputFolder=" + dir.string() +
         "\n" + extra + "\n";
}

bool XmlWellFormed(const fs::path& path, std::string* message) {
  AgentResult r = Run("/usr/bin/xmllint", {"--noout", path.string()});
  if (message) *message = r.err;
  return r.exitStatus == 0;
}

}  // namespace e2e
