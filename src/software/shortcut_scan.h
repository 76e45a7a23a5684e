// The desktop shortcut inventory: writes the Shortcuts element into the scan file.
#pragma once

#include <string>

#include "base/document_text.h"
#include "base/log.h"

// Where the desktop entries of installed programs are.
inline constexpr char kApplicationsDir[] = "/usr/share/applications/";

// Writes one Shortcut line for every desktop-entry file (a path containing
// ".desktop") in `path` and the directories below it; hidden entries are
// not visited and links to directories are not followed. Only the first MiB
// of a file is read. The walk holds a bounded number of directories open.
void ScanShortcutsDir(const std::string& path, DocumentWriter& document);

// Writes the whole Shortcuts element for the tree at `startDir`. At level 0
// a line end first ends the progress display before it.
void ScanShortcuts(const std::string& startDir, DocumentWriter& document, Log& log);
