// Test helper: a one-connection server on 127.0.0.1, built on the socket
// layer's own server side, whose behaviour each test scripts.
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "upload/transport.h"
#include "upload/wiz_socket.h"

class LoopbackServer {
 public:
  // Serves the one connection; what it returns is what Received() gives.
  using Handler = std::function<std::string(CWizReadWriteSocket& connection)>;

  explicit LoopbackServer(Handler handler);
  ~LoopbackServer();
  int Port() const { return listener_.LocalPort(); }
  // Waits for the handler to finish.
  std::string Received();

 private:
  CWizSyncSocket listener_{0, INADDR_LOOPBACK};
  std::string received_;
  std::thread thread_;
};

// One HTTP request: the header up to its blank line and the body that its
// Content-Length announces.
std::string ReadHttpRequest(CTransport& connection);
// Keeps the connection open and unanswered until the client hangs up;
// gives what arrived.
std::string ReadUntilHangUp(CWizReadWriteSocket& connection);
// Reads one request, answers with `response` and gives the request.
std::string Answer(CTransport& connection, const std::string& response);
// A plain server that does Answer.
LoopbackServer::Handler AnswerWith(std::string response);
// An HTTP 200 answer whose SOAP body carries `result` as UploadFileResult.
std::string SoapAnswer(const std::string& result);
