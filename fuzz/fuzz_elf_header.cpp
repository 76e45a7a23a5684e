// ELF selection: exactly the headers of more than 8 bytes with the magic,
// class and encoding 1 or 2, version 1, and the System V or GNU ABI.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "files/file_row.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<unsigned char> header(data, data + size);  // exactly as long as the input
  const bool want = size > 8 && header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' &&
                    header[3] == 'F' && (header[4] == 1 || header[4] == 2) &&
                    (header[5] == 1 || header[5] == 2) && header[6] == 1 &&
                    (header[7] == 0 || header[7] == 3);
  if (IsElfHeader(header.data(), static_cast<long>(size)) != want) std::abort();
  return 0;
}
