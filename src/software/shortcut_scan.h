// The desktop shortcut inventory: writes the Shortcuts element into the scan file.
#pragma once

void ScanShortcuts();
