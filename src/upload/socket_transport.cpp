#include "upload/socket_transport.h"

#include <algorithm>
#include <climits>

bool SocketTransport::Write(const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const int piece = static_cast<int>(std::min<size_t>(size, INT_MAX));
    if (socket_.Write(p, piece) != piece) return false;
    p += piece;
    size -= static_cast<size_t>(piece);
  }
  return true;
}
