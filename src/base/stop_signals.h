// Stop requests: SIGTERM, SIGINT and SIGHUP (what systemctl stop, a shutdown
// and a closed terminal send) only mark the run as stopped. The run notices
// at its safe points, cleans up, says so, and then ends by that signal.
#pragma once

#include <string>

class StopSignals {
 public:
  // Catches the three signals until destroyed. Blocking calls they
  // interrupt return EINTR rather than restarting.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stop signal received; 0 while none was.
  int Received() const;
  bool Stopped() const { return Received() != 0; }
  // Sleeps for `ms`, waking early (within 50 ms) when a stop comes.
  void Sleep(int ms) const;
};

// "TERM", "INT", "HUP"; the number for any other signal.
std::string StopSignalName(int signal);

// Ends the process by `signal` as if it had not been caught, so the parent
// (systemd, a shell) sees it.
[[noreturn]] void EndBySignal(int signal);
