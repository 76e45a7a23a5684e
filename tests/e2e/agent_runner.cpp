#include "agent_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

extern char** environ;

namespace e2e {

fs::path AgentPath() { return SCANUNIX_AGENT_PATH; }

Child::Child(const std::vector<std::string>& command, const fs::path& out, const fs::path& err,
             const std::map<std::string, std::string>& env, const fs::path& workdir) {
  std::vector<std::string> argStrings = command, envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!env.contains(entry.substr(0, entry.find('=')))) envStrings.push_back(entry);
  }
  for (const auto& [key, value] : env)
    if (!value.empty()) envStrings.push_back(key + "=" + value);
  std::vector<char*> argv, envp;
  for (auto& a : argStrings) argv.push_back(a.data());
  for (auto& e : envStrings) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!workdir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workdir.c_str());
  const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + command[0]);
}

Child::~Child() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
  Wait();
}

int Child::Wait() {
  int status = 0;
  if (pid_ > 0) ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return status;
}

AgentResult Run(const fs::path& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env, const fs::path& workdir) {
  std::vector<std::string> command{program.string()};
  command.insert(command.end(), args.begin(), args.end());
  // Output goes to files, so no pipe can fill up while the child runs.
  const TempDir output;
  const int status = Child(command, output / "out", output / "err", env, workdir).Wait();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          ReadFile(output / "out"), ReadFile(output / "err")};
}

AgentResult RunAgent(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const fs::path& workdir) {
  return Run(AgentPath(), args, env, workdir);
}

fs::path FindScanFile(const fs::path& dir) {
  fs::path found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".scn") continue;
    if (!found.empty()) return {};
    found = entry.path();
  }
  return found;
}

std::string QuietSettings(const fs::path& dir, const std::string& extra) {
  return "[Settings]\nFiles=0\nMsi=0\nShortcuts=0\nOutputFolder=" + dir.string() + "\n" + extra +
         "\n";
}

bool XmlWellFormed(const fs::path& path, std::string* message) {
  const AgentResult r = Run("/usr/bin/xmllint", {"--noout", path.string()});
  if (message) *message = r.err;
  return r.exitStatus == 0;
}

}  // namespace e2e
