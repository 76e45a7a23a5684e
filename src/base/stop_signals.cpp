#include "base/stop_signals.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSleepSliceMs = 50;

// The one thing a handler may touch.
volatile sig_atomic_t gStopSignal = 0;

void MarkStopped(int signal) {
  if (gStopSignal == 0) gStopSignal = signal;
}

}  // namespace

StopSignals::StopSignals() {
  gStopSignal = 0;
  struct sigaction action {};
  action.sa_handler = MarkStopped;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking wait returns and the stop is seen
  for (const int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() {
  for (const int signal : kStopSignals) ::signal(signal, SIG_DFL);
}

int StopSignals::Received() const { return gStopSignal; }

void StopSignals::Sleep(int ms) const {
  // Slices rather than one sleep: a signal that comes just before the
  // sleep starts still ends it within one slice.
  while (ms > 0 && !Stopped()) {
    const int slice = std::min(ms, kSleepSliceMs);
    const timespec wait{0, static_cast<long>(slice) * 1000000L};
    ::nanosleep(&wait, nullptr);
    ms -= slice;
  }
}

std::string StopSignalName(int signal) {
  switch (signal) {
    case SIGTERM: return "TERM";
    case SIGINT: return "INT";
    case SIGHUP: return "HUP";
    default: return std::to_string(signal);
  }
}

void EndBySignal(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  std::_Exit(128 + signal);  // not reached for the stop signals
}
