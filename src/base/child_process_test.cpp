#include "base/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "base/fd_io.h"

namespace {

using namespace std::chrono_literals;

struct Outcome {
  ChildEnd end;
  std::string output;
};

Outcome RunChild(const std::function<int(int)>& body, std::chrono::milliseconds limit = 5s,
                 size_t stopAfter = SIZE_MAX) {
  Result<ChildProcess> child = ChildProcess::Start(body);
  EXPECT_TRUE(child.ok());
  Outcome outcome;
  outcome.end = child->Wait(std::chrono::steady_clock::now() + limit, [&](std::string_view data) {
    outcome.output.append(data);
    return outcome.output.size() < stopAfter;
  });
  return outcome;
}

TEST(ChildProcess, ExitSignalDeadlineAndStop) {
  const auto write = [](int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); };
  const Outcome exited = RunChild([&](int fd) { write(fd, "rows"); return 3; });
  EXPECT_EQ(exited.end.kind, ChildEnd::kExited);
  EXPECT_EQ(exited.end.code, 3);
  EXPECT_EQ(exited.output, "rows");
  // The default action, not a sanitizer's handler, ends the child.
  const Outcome crashed = RunChild([&](int fd) {
    write(fd, "half");
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
    return 0;
  });
  EXPECT_EQ(crashed.end.kind, ChildEnd::kSignaled);
  EXPECT_EQ(crashed.end.code, SIGSEGV);
  EXPECT_EQ(RunChild([](int) -> int { throw 1; }).end.code, 125);
  const Outcome stopped = RunChild([&](int fd) { write(fd, "xx"); pause(); return 0; }, 5s, 1);
  EXPECT_EQ(stopped.end.kind, ChildEnd::kStopped);

  // At the deadline the whole group goes: the grandchild holding `ends[1]`
  // too, so its read ends.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const auto start = std::chrono::steady_clock::now();
  const Outcome late = RunChild([&](int) {
    if (fork() == 0) pause();
    pause();
    return 0;
  }, 300ms);
  close(ends[1]);
  EXPECT_EQ(late.end.kind, ChildEnd::kTimedOut);
  char byte;
  EXPECT_EQ(read(ends[0], &byte, 1), 0);
  close(ends[0]);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(ChildProcess, DestructionKillsAndReaps) {
  pid_t pid;
  {
    Result<ChildProcess> child = ChildProcess::Start([](int) { pause(); return 0; });
    ASSERT_TRUE(child.ok());
    pid = child->pid();
  }
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
