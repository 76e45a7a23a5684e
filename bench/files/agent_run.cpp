#include "agent_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

const char* BuiltAgent() { return SCANUNIX_AGENT_PATH; }

AgentRun RunAgent(const std::string& agent, const std::string& settings, const std::string& root) {
  AgentRun run;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(pipeFds[1], 2);
    execl(RSS_LAUNCHER_PATH, RSS_LAUNCHER_PATH, agent.c_str(), settings.c_str(), root.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string report;
  char buf[256];
  for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) report.append(buf, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const size_t at = report.rfind("peak_rss_kib=");
  long cpuMicroseconds = 0;
  if (at != std::string::npos &&
      std::sscanf(report.c_str() + at, "peak_rss_kib=%ld cpu_us=%ld", &run.peakRssKiB,
                  &cpuMicroseconds) == 2)
    run.cpuSeconds = static_cast<double>(cpuMicroseconds) * 1e-6;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}
