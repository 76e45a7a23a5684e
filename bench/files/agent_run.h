// Runs the built agent (or another build of it) as a benchmark's subject.
#pragma once

#include <string>

struct AgentRun {
  bool ok = false;        // exited with status 0
  double cpuSeconds = 0;  // user + system, its children included
  long peakRssKiB = 0;
};

// The agent this benchmark was built with.
const char* BuiltAgent();

// Runs `agent settings root` with its output thrown away, as a child of the
// small launcher, so the figures are the agent's own.
AgentRun RunAgent(const std::string& agent, const std::string& settings, const std::string& root);

