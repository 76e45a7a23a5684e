// The steps of the run whose leaves report as they go, and the words the
// run says for what they report.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/document_text.h"
#include "base/log.h"
#include "config/settings.h"
#include "software/package_scan.h"
#include "upload/soap_upload.h"

// The Msi element: "Scan RPM" first, the library's packages numbered on the
// progress display, the rpm fallback announced and a missing list reported.
// Returns how many rows were listed.
size_t RunPackageScan(const PackageScanOptions& options, DocumentWriter& document, Log& log);

// Uploads the scan file at `filePath`: the file the server took, or none.
// Each step reached, each retry and the failure are told.
std::optional<FileIdentity> RunUpload(const std::string& filePath, const UploadSettings& settings,
                                      Log& log, const UploadOptions& options);

// Deletes the uploaded scan file when it is still the one that was sent
// (same device and inode); anything else at its name is kept, with one line.
void RemoveSentFile(const std::string& path, const FileIdentity& sent, Log& log);
