// What the run shares with its scanners. Scanner cores take these values
// as parameters; only the thin shells that the run calls read them here.
#pragma once

#include <string>

#include "config/ini_file.h"
#include "scan/log.h"
#include "scan/output_file.h"

extern CIniFile ini;        // the settings, defaults until loaded
extern OutputFile file;     // the temporary scan file being written

extern std::string szModulePath;  // directory of the executable, ends with "/"
extern std::string szSystem;      // operating-system description
extern std::string szCpuCount;    // processor entries of /proc/cpuinfo
extern std::string szCpuCores;    // its last "cpu cores" value
extern std::string szHardware;    // the whole HardwareInfo element
extern std::string sig;           // hypervisor signature
