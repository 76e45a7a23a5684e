#include "tinyproxy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "loopback_server.h"

Tinyproxy::Tinyproxy(const std::string& basicAuth) {
  const int port = UnusedPort();
  // No Via header, so that only what a proxy must change differs.
  std::string config = "Port " + std::to_string(port) +
                       "\nListen 127.0.0.1\nTimeout 30\nMaxClients 10\nLogLevel Connect\n"
                       "DisableViaHeader Yes\nXTinyproxy No\n";
  if (!basicAuth.empty()) config += "BasicAuth " + basicAuth + "\n";
  const std::string conf = dir_.Write("tinyproxy.conf", config).string();
  const std::string log = (dir_ / "tinyproxy.log").string();
  pid_ = ::fork();
  if (pid_ == 0) {  // only async-signal-safe calls: other threads may run
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out >= 0 && ::dup2(out, 1) == 1 && ::dup2(out, 2) == 2)
      ::execl("/usr/bin/tinyproxy", "tinyproxy", "-d", "-c", conf.c_str(), nullptr);
    ::_exit(127);
  }
  // Up once it takes a connection, a few seconds at most; none if it ended.
  for (int i = 0; i < 100 && pid_ > 0 && port_ == 0; ++i) {
    if (TcpConnection().Connect("127.0.0.1", port)) {
      port_ = port;
    } else if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
}

Tinyproxy::~Tinyproxy() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  // A proxy that does not end within a few seconds is killed.
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}
