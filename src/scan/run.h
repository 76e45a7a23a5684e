// One whole inventory run: settings, identity, every scanner in its fixed
// order, the scan file moved to its final name, and the optional upload.
#pragma once

// Runs the scan with the program's arguments; always returns 0.
int RunScan(int argc, char** argv);
