#include "software/listing_frames.h"

#include <cstdint>
#include <cstring>
#include <unistd.h>

#include "base/fd_io.h"

namespace {

constexpr size_t kHeader = 1 + sizeof(uint32_t);
// The child's status when its parent stopped reading: nobody hears it.
constexpr int kParentGone = 125;

}  // namespace

void SendFrames(int fd, FrameKind kind, std::string_view payload) {
  do {
    const std::string_view piece = payload.substr(0, kMaxFramePayload);
    payload.remove_prefix(piece.size());
    char header[kHeader];
    header[0] = static_cast<char>(kind);
    const auto size = static_cast<uint32_t>(piece.size());
    std::memcpy(header + 1, &size, sizeof size);
    if (!WriteAll(fd, header, sizeof header) || !WriteAll(fd, piece.data(), piece.size()))
      ::_exit(kParentGone);
  } while (!payload.empty());
}

bool FrameReader::Feed(std::string_view data,
                       const std::function<bool(FrameKind, std::string_view)>& onFrame) {
  pending_.append(data);
  size_t at = 0;
  while (pending_.size() - at >= kHeader) {
    uint32_t size;
    std::memcpy(&size, pending_.data() + at + 1, sizeof size);
    if (size > kMaxFramePayload) return false;
    if (pending_.size() - at - kHeader < size) break;
    const char kind = pending_[at];
    if (kind != 'R' && kind != 'L' && kind != 'F' && kind != 'A' && kind != 'N') return false;
    if (!onFrame(static_cast<FrameKind>(kind), std::string_view(pending_).substr(at + kHeader, size)))
      return false;
    at += kHeader + size;
  }
  pending_.erase(0, at);
  return true;
}
