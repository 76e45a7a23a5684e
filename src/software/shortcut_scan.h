// The desktop shortcut inventory: writes the Shortcuts element into the scan file.
#pragma once

#include <ostream>
#include <string>

// Writes one Shortcut line for every desktop-entry file (a path containing
// ".desktop") in `path` and the directories below it; hidden entries are
// not visited and links to directories are not followed.
void ScanShortcutsDir(const std::string& path, std::ostream& out);

// Writes the whole Shortcuts element for the tree at `startDir`. At log
// level 0 a line end goes to `progress` first, to end the display before.
void WriteShortcuts(const std::string& startDir, std::ostream& out, int logLevel,
                    std::ostream& progress);

// Scans /usr/share/applications/ into the scan file.
void ScanShortcuts();
