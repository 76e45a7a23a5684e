// The package inventory: writes the Msi element into the scan file.
#pragma once

void ScanMsi();
