// The run's log: one line per message to standard output and appended to
// the log file, governed by the logging level from the settings file.
#pragma once

#include <string>
#include <string_view>

namespace GLOBAL {

// -1 silent; 0 progress messages off, one-line progress displays on;
// any other value progress messages on (1 and 2 add detail to the file scan).
extern int m_bLogging;

// True when the kernel reports a 64-bit machine.
extern bool m_b64Bit;

// Writes `text` and a line end to standard output, then appends the same to
// the log file. Does nothing at level -1; the file part is skipped while the
// log file is not named yet.
void LogMsg(std::string_view text);

// True when progress messages are on (level non-zero).
inline bool Logging() { return m_bLogging != 0; }

}  // namespace GLOBAL

// Full path of the log file; empty until the run has named it.
extern std::string szLogFile;

// Appends `text` and a line feed to the file at `path`, creating it when
// absent. Links are not followed. Returns false when it could not be written.
bool AppendLogLine(const std::string& path, std::string_view text);
