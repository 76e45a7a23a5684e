// Test helper: a one-connection server on 127.0.0.1, built on the socket
// layer's own server side, whose behaviour each test scripts.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "upload/transport.h"
#include "upload/wiz_socket.h"

class LoopbackServer {
 public:
  using Handler = std::function<void(CWizReadWriteSocket& connection, LoopbackServer& self)>;

  explicit LoopbackServer(Handler handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  // Blocks the handler until the server is destroyed.
  void WaitForStop();
  // What the handler recorded (see Record); safe to call after Join.
  std::string Received();
  void Record(const std::string& bytes);
  // Waits for the handler to finish.
  void Join();

 private:
  CWizSyncSocket listener_;
  int port_ = -1;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::string received_;
  std::thread thread_;
};

// Reads one HTTP request: the header up to its blank line and as many body
// bytes as its Content-Length announces (or up to the close without one).
std::string ReadHttpRequest(CTransport& connection);
std::string ReadHttpRequest(CWizReadWriteSocket& connection);

// Sends `text` whole.
void SendAll(CWizReadWriteSocket& connection, const std::string& text);

// A server that records the request and answers with `response`.
LoopbackServer::Handler AnswerWith(std::string response);

// An HTTP 200 answer whose SOAP body carries `result` as UploadFileResult.
std::string SoapAnswer(const std::string& result);
