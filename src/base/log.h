// The run's log. Messages go to standard output and are appended to the log
// file; failed system calls are reported on standard error; the one-line
// progress display is drawn on standard output. The level comes from the
// settings and decides what is written.
#pragma once

#include <iostream>
#include <string>
#include <string_view>

class Log {
 public:
  // The values of the Log setting. Any other value acts like kMessages,
  // except that directories are listed only from kMessages up.
  static constexpr int kSilent = -1;    // nothing is written to the log
  static constexpr int kDisplay = 0;    // the one-line progress display instead of messages
  static constexpr int kMessages = 1;   // progress messages, each directory of the file scan
  static constexpr int kEntries = 2;    // each entry of the file scan as well

  explicit Log(int level = kDisplay, std::ostream& out = std::cout,
               std::ostream& errors = std::cerr);

  int level() const { return level_; }
  // The level the settings give; until then it is kDisplay.
  void SetLevel(int level) { level_ = level; }
  // Progress messages are asked for (at kSilent they are still swallowed).
  bool messages() const { return level_ != kDisplay; }
  bool display() const { return level_ == kDisplay; }
  bool directories() const { return level_ >= kMessages; }
  bool entries() const { return level_ == kEntries; }

  // Messages are appended to this file from now on; links are not followed.
  void SetFile(std::string path);

  // `text` and a line feed, on standard output and in the log file; nothing
  // at kSilent.
  void Message(std::string_view text);
  // A Message when messages() are on.
  void Progress(std::string_view text);
  // `text` as it stands on standard output, whatever the level.
  void Print(std::string_view text);
  // Part of the progress display: `text` as it stands, at kDisplay only.
  void Display(std::string_view text);
  // `text` and a line feed on standard error, whatever the level, and in
  // the log file but at kSilent.
  void Error(std::string_view text);
  // "what: <system error text>" on standard error, whatever the level.
  void SystemError(std::string_view what, int error);

 private:
  int level_;
  std::ostream& out_;
  std::ostream& errors_;
  std::string file_;
};

// Appends `text` and a line feed to the file at `path`, creating it when
// absent. Links are not followed. False when it could not be written.
bool AppendLogLine(const std::string& path, std::string_view text);
