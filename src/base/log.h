// The run's log. Messages go to standard output and are appended to the log
// file; failed system calls are reported on standard error; the one-line
// progress display is drawn on standard output. The level comes from the
// settings and decides what is written.
#pragma once

#include <iostream>
#include <string>
#include <string_view>

#include "base/failure.h"

class Log {
 public:
  // The values of the Log setting. Any other value acts like kMessages,
  // except that directories are listed only from kMessages up.
  static constexpr int kSilent = -1;    // nothing is written to the log
  static constexpr int kDisplay = 0;    // the one-line progress display instead of messages
  static constexpr int kMessages = 1;   // progress messages, each directory of the file scan
  static constexpr int kEntries = 2;    // each entry of the file scan as well

  // `terminal`: standard output is a terminal, where alone the progress
  // display is drawn.
  explicit Log(int level = kDisplay, std::ostream& out = std::cout,
               std::ostream& errors = std::cerr, bool terminal = true);

  int level() const { return level_; }
  // The level the settings give; until then it is kDisplay.
  void SetLevel(int level) { level_ = level; }
  // Progress messages are asked for (at kSilent they are still swallowed).
  bool wantsMessages() const { return level_ != kDisplay; }
  // The progress display is drawn.
  bool showsDisplay() const { return level_ == kDisplay && terminal_; }
  bool directories() const { return level_ >= kMessages; }
  bool entries() const { return level_ == kEntries; }

  // Messages are appended to this file from now on; links are not followed.
  void SetFile(std::string path);

  // Texts below are written as LogText makes them: one line each, however
  // hostile the names and answers they carry.

  // `text` and a line feed, on standard output and in the log file; nothing
  // at kSilent.
  void Message(std::string_view text);
  // A Message when wantsMessages().
  void Progress(std::string_view text);
  // `text` as it stands on standard output, whatever the level.
  void Print(std::string_view text);
  // Part of the progress display: `text` as it stands, at kDisplay only.
  void Display(std::string_view text);
  // A failure: `text` on standard error whatever the level, and in the log
  // file but at kSilent.
  void Error(std::string_view text);
  // A failed system call: the Error "what: <system error text>".
  void SystemError(std::string_view what, int error);
  // A step that failed: its SystemError when it carries an errno, else the
  // Error of its text.
  void Failed(const Failure& failure);

 private:
  int level_;
  std::ostream& out_;
  std::ostream& errors_;
  bool terminal_;
  std::string file_;
};

// Longest text the log writes of one message; the rest is cut.
inline constexpr size_t kLogTextLimit = 4096;

// `text` as the log writes it: control bytes other than its leading and
// trailing line feeds become "\n", "\r", "\t" or "\xHH", so a name or an
// answer cannot forge a line or steer a terminal, and a text longer than
// kLogTextLimit is cut with a note of how much was left out.
std::string LogText(std::string_view text);

// Appends `text` and a line feed to the file at `path`, creating it when
// absent. Links are not followed. False when it could not be written.
bool AppendLogLine(const std::string& path, std::string_view text);
