// A server on 127.0.0.1 (or ::1) whose behaviour each test scripts, one
// handler per connection in turn, and the HTTP pieces the upload tests
// answer with.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_fd.h"
#include "upload/tcp_connection.h"

class LoopbackServer {
 public:
  static constexpr int kServeSeconds = 15;
  // Serves the one connection; what it returns is what Received() gives.
  using Handler = std::function<std::string(TcpConnection& connection)>;

  explicit LoopbackServer(Handler handler) : LoopbackServer(std::vector<Handler>{handler}) {}
  // Serves a connection with each handler in turn; Received() gives what
  // they returned, joined. `port` 0: a free one. `address`: "127.0.0.1" or "::1".
  explicit LoopbackServer(std::vector<Handler> handlers, int port = 0,
                          const std::string& address = "127.0.0.1");
  ~LoopbackServer();
  int Port() const { return port_; }
  // Waits for the handlers to finish: each connection is awaited, and each
  // wait in it bounded, for at most kServeSeconds.
  std::string Received();
  // Takes no further connection, waits for the one being served and gives
  // what the handlers returned.
  std::string Finish();

 private:
  int port_;
  UniqueFd listener_;
  std::string received_;
  std::thread thread_;
};

// A socket listening on `address` at `port` (0: a free port, which it gives
// in `port`).
UniqueFd ListenOnLoopback(int& port, const std::string& address = "127.0.0.1");
// A port on 127.0.0.1 where nothing listens.
int UnusedPort();

// Receives exactly `size` bytes; fewer when the peer closes or fails first.
int ReadExactly(Transport& connection, void* buffer, int size);
// Closes the connection with a reset instead of an orderly close.
void ResetConnection(TcpConnection& connection);

// One HTTP request: the header up to its blank line and the body that its
// Content-Length announces.
std::string ReadHttpRequest(Transport& connection);
// Keeps the connection open and unanswered until the client hangs up;
// gives what arrived.
std::string ReadUntilHangUp(TcpConnection& connection);
// Reads one request, answers with `response` and gives the request.
std::string Answer(Transport& connection, const std::string& response);

// What a plain server does once it has answered.
enum class AfterAnswer { kClose, kKeepOpen, kReset };
// A plain server that does Answer, then closes, keeps the connection open
// until the client hangs up, or resets it.
LoopbackServer::Handler AnswerWith(std::string response,
                                   AfterAnswer after = AfterAnswer::kClose);
// An HTTP 200 answer whose SOAP body carries `result` as UploadFileResult.
std::string SoapAnswer(const std::string& result);
