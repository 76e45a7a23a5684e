// What a listing child sends its parent through the pipe: frames of a kind
// and a payload, so rows and what the scan reports stay apart.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

enum class FrameKind : char {
  kRows = 'R',     // document rows, to be kept until the listing is complete
  kLibraryPackage = 'L',  // the library gave a package: its product name
  kFallback = 'F',        // a package command is tried: its program
  kApplicationFailure = 'A',  // snap or flatpak failed: why
  kListed = 'N',              // how many rows the frames before held, in decimal
};

// The longest payload of one frame; longer texts go in several.
inline constexpr size_t kMaxFramePayload = 64 * 1024;

// Sends `payload` as frames of `kind` on `fd`. Only a listing child calls
// it: when the pipe fails, the parent is gone or stopped reading, and the
// child ends at once, as nothing it does can reach the parent any more.
void SendFrames(int fd, FrameKind kind, std::string_view payload);

// Reassembles frames from the pieces the pipe gives.
class FrameReader {
 public:
  // Calls `onFrame` for each complete frame in order; false when a frame is
  // malformed or `onFrame` refuses one.
  bool Feed(std::string_view data,
            const std::function<bool(FrameKind, std::string_view)>& onFrame);

 private:
  std::string pending_;  // at most one frame
};
