#include "scan/globals.h"

CIniFile ini;
OutputFile file;

std::string szModulePath;
std::string szSystem;
std::string szCpuCount;
std::string szCpuCores;
std::string szHardware;
std::string sig;
