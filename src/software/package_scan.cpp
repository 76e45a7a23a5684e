#include "software/package_scan.h"

void ScanMsi() {}
