#include "software/shortcut_scan.h"

void ScanShortcuts() {}
