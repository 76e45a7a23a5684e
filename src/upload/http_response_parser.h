// An HTTP/1.1 response read from the bytes received so far: status line,
// headers (names in any case), and a body framed by Content-Length, by
// chunks, or by the close of the connection. Pure and bounded, so that
// any bytes at all may be fed to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The most the response may hold; reading stops there.
inline constexpr size_t kMaxResponseBytes = 99999;
// Bodies announced longer than this are not read.
inline constexpr unsigned kMaxResponseBody = 94999;

// "HTTP/d.d nnn" and an optional reason: the code (100-999), or 0.
int StatusCode(std::string_view line);

class HttpResponseParser {
 public:
  enum class State {
    kNeedMore,   // the response is not over yet
    kComplete,   // it is over; bytes after it are not taken
    kMalformed,  // it cannot go on (bad framing, or over the bounds)
  };

  // Takes the next bytes received.
  State Feed(std::string_view bytes);
  // The peer closed the connection: a body that runs to the close is over.
  State EndOfStream();

  State state() const { return state_; }
  // The bytes taken, as received, for the log.
  const std::string& text() const { return text_; }
  // The status code; 0 until a valid status line has been read.
  int status() const { return status_; }
  // The body decoded as far as it has arrived.
  const std::string& body() const { return body_; }

 private:
  enum class Part { kHead, kBody, kBodyToClose, kChunkSize, kChunkData, kChunkEnd, kTrailer };

  // Works through the bytes taken but not yet parsed.
  void Advance();
  // Where `terminator` next occurs after the parsed bytes, or npos; each
  // byte is searched once however the response is split into feeds.
  size_t Find(std::string_view terminator);
  void MovePast(size_t at);
  // The next line ending in CRLF (without it), moving past it; false when
  // it has not all arrived.
  bool TakeLine(std::string_view& line);
  // Reads the status line and headers and chooses how the body is framed.
  void ReadHead(std::string_view head);
  // Takes up to bodyLeft_ bytes into the body.
  void TakeBody();
  void ReadChunkSize(std::string_view line);
  void End(State state);

  State state_ = State::kNeedMore;
  Part part_ = Part::kHead;
  std::string text_;
  size_t parsed_ = 0;    // text_ before here has been worked through
  size_t searched_ = 0;  // no terminator starts between parsed_ and here
  int status_ = 0;
  uint64_t bodyLeft_ = 0;  // of the body or the current chunk
  std::string body_;
};
