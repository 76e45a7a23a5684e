// The byte stream the SOAP upload writes its request to and reads its
// response from, whichever connection (plain TCP or TLS) carries it.
#pragma once

#include <cstddef>

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends all `size` bytes; false when that failed.
  virtual bool Write(const void* data, size_t size) = 0;
  // Receives what has arrived, waiting for at least one byte: the count, 0
  // when the peer has closed, -1 on failure (a reset, a time-out).
  virtual int ReadSome(void* buffer, int size) = 0;
  // True when the last failure was a time-out.
  virtual bool TimedOut() const = 0;
};
