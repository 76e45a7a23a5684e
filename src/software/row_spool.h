// Rows held back until a listing is known to be complete: a small buffer in
// front of an unnamed temporary file, so memory stays flat however long the
// list, and nothing is left on disk whatever happens.
#pragma once

#include <string>
#include <string_view>

#include "base/document_text.h"
#include "base/failure.h"
#include "base/unique_fd.h"

class RowSpool {
 public:
  // The file is made in `directory` (mode 0600, never linked there when the
  // file system allows, else removed at once).
  Status Open(const std::string& directory);
  Status Append(std::string_view rows);
  // Drops every row held.
  Status Clear();
  // Writes every row held to `document`, in order.
  Status CopyTo(DocumentWriter& document);

 private:
  Status Flush();

  UniqueFd file_;
  std::string buffer_;
};
