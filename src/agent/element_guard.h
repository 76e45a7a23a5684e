// One scanner's failure loses only its own element of the scan document.
#pragma once

#include <functional>
#include <string_view>

#include "base/document_text.h"
#include "base/failure.h"
#include "base/output_file.h"

// Runs `write`, which writes one element of the document into `file`. When
// it throws, everything it wrote is dropped, `empty` (the element without
// content) stands in its place, and the failure gives what it threw as its
// reason.
Status WriteElementGuarded(OutputFile& file, DocumentWriter& document,
                           std::string_view empty, const std::function<void()>& write);
