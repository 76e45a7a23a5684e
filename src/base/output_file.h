// The stream the scan file is written through. It is written under a
// temporary name beside its final one, created exclusively (mode 0600,
// never through a link), and takes its final name only once everything was
// written and flushed to disk, so a failed run never replaces a good scan.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "base/failure.h"

class FdOutputBuffer;  // output_file.cpp: the buffered, error-keeping stream buffer

// True for a name OutputFile::Create gives the temporary file of a file
// named `finalName`: "." + finalName + "." and eight hexadecimal digits.
bool IsTemporaryNameFor(std::string_view name, std::string_view finalName);

class OutputFile : public std::ostream {
 public:
  OutputFile();
  // A file not committed is removed.
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file for `finalPath` in its directory; the
  // failure names `finalPath`. Every write is then lost.
  Status Create(const std::string& finalPath);
  bool IsOpen() const;

  // Where the next byte goes, everything before it written out; nothing
  // when that failed.
  std::optional<off_t> Mark();
  // Drops everything written after `mark`.
  bool RewindTo(off_t mark);

  // Flushes the file to disk and gives it its final name, replacing what
  // was there. Fails as "Error writing tmp file" when any write (or the
  // flush) failed, as "Error rename tmp file to scn file" when the rename
  // did; the temporary file is then removed and the final name left as it was.
  Status Commit();
  // Removes the temporary file.
  void Discard();

  const std::string& temporaryPath() const { return temporary_; }

 private:
  std::unique_ptr<FdOutputBuffer> buffer_;
  std::string final_;
  std::string temporary_;
};
