#include "agent_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

extern char** environ;

namespace e2e {

fs::path AgentPath() { return SCANUNIX_AGENT_PATH; }

AgentResult Run(const fs::path& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env, const fs::path& workdir) {
  std::vector<std::string> argStrings{program.string()}, envStrings;
  argStrings.insert(argStrings.end(), args.begin(), args.end());
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

  // Output goes to files, so no pipe can fill up while the child runs.
  const TempDir output;
  const std::string out = output / "out", err = output / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
  if (!workdir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workdir.c_str());
  pid_t pid;
  const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + program.string());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(out),
          ReadFile(err)};
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
