// The steps of the run whose leaves report as they go, and the words the
// run says for what they report.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/document_text.h"
#include "base/log.h"
#include "config/settings.h"
#include "software/package_scan.h"

// The Msi element: "Scan RPM" first, the library's packages numbered on the
// progress display, the rpm fallback announced and a missing list reported.
// Returns how many rows were listed.
size_t RunPackageScan(const PackageScanOptions& options, DocumentWriter& document, Log& log);

// Uploads the scan file at `filePath`, trying `tlsLibraries` for https://;
// true when the server took it. Each step reached and the failure are told.
// Once `stopped` says so, the upload ends at its next wait.
bool RunUpload(const std::string& filePath, const UploadSettings& settings, Log& log,
               const std::vector<std::string>& tlsLibraries,
               const std::function<bool()>& stopped = {});
