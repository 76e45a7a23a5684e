// Reaching the server through an HTTP proxy: the request texts the proxy
// needs, and the CONNECT exchange that opens a tunnel for TLS.
#pragma once

#include <string>
#include <string_view>

#include "upload/http_address.h"
#include "upload/proxy.h"
#include "upload/transport.h"

// What a proxy's 407 answer means to the log.
inline constexpr char kProxyAuthenticationRequired[] = "proxy authentication required";

// The most of the proxy's answer to CONNECT that is read.
inline constexpr size_t kMaxConnectAnswerBytes = 16384;

// "Proxy-Authorization: Basic ...\r\n" when the proxy URL has credentials,
// else empty.
std::string ProxyAuthorizationLine(const ProxyUrl& proxy);
// "http://host[:port]", what a plain request to the proxy puts before the
// path: the port only when it is not 80.
std::string AbsoluteOrigin(const HttpTarget& target);
// "CONNECT host:port HTTP/1.1" with Host (and Proxy-Authorization).
std::string ConnectRequest(const HttpTarget& target, const ProxyUrl& proxy);

// The proxy's answer to CONNECT, read from the bytes received so far. Only
// the head counts; what follows it is the first of the tunnel's bytes.
class ConnectAnswerParser {
 public:
  enum class State { kNeedMore, kComplete, kMalformed };

  State Feed(std::string_view bytes);
  State state() const { return state_; }
  // The final answer's status; 0 unless a valid status line was read.
  int status() const { return status_; }
  // The answer's first line (an interim answer's until the final one).
  std::string statusLine() const;
  // The bytes after the final answer's head.
  const std::string& early() const { return early_; }

 private:
  State state_ = State::kNeedMore;
  std::string text_;  // from the head being read on
  size_t taken_ = 0;  // of the whole answer, for the bound
  int status_ = 0;
  std::string early_;
};

// What the CONNECT exchange gave.
struct ConnectAnswer {
  int status = 0;          // 0: no valid answer
  std::string statusLine;  // empty when nothing arrived
  std::string early;       // tunnel bytes that came with the head
  bool timedOut = false;
};

// Sends `request` and reads the answer's head.
ConnectAnswer ExchangeConnect(Transport& proxy, const std::string& request);

// Why the tunnel was refused ("proxy authentication required", "proxy
// refused: <status line>"); empty for a 2xx answer.
std::string ConnectRefusal(const ConnectAnswer& answer);

// The tunnel's byte stream: first the bytes that came with the answer, then
// the proxy connection itself.
class TunnelTransport : public Transport {
 public:
  TunnelTransport(Transport& proxy, std::string early)
      : proxy_(proxy), early_(std::move(early)) {}
  bool Write(const void* data, size_t size) override { return proxy_.Write(data, size); }
  int ReadSome(void* buffer, int size) override;
  bool TimedOut() const override { return proxy_.TimedOut(); }

 private:
  Transport& proxy_;
  std::string early_;
  size_t given_ = 0;
};
