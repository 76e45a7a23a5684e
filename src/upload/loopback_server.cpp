#include "upload/loopback_server.h"

#include <sys/socket.h>

#include "upload/socket_transport.h"

LoopbackServer::LoopbackServer(Handler handler)
    : thread_([this, handler = std::move(handler)] {
        const int fd = listener_.Accept();
        if (fd == -1) return;
        CWizReadWriteSocket connection(static_cast<unsigned int>(fd));
        received_ = handler(connection);
      }) {}

LoopbackServer::~LoopbackServer() {
  ::shutdown(listener_.Handle(), SHUT_RDWR);  // ends an Accept still waiting
  Received();
}

std::string LoopbackServer::Received() {
  if (thread_.joinable()) thread_.join();
  return received_;
}

std::string ReadHttpRequest(CTransport& connection) {
  std::string text;
  char c;
  while (!text.ends_with("\r\n\r\n") && connection.Read(&c, 1) == 1) text += c;
  const size_t at = text.find("Content-Length: ");
  if (at == std::string::npos) return text;
  std::string body(std::stoul(text.substr(at + 16)), '\0');
  body.resize(static_cast<size_t>(connection.Read(body.data(), static_cast<int>(body.size()))));
  return text + body;
}

std::string ReadUntilHangUp(CWizReadWriteSocket& connection) {
  std::string text;
  char c;
  while (connection.Read(&c, 1) == 1) text += c;
  return text;
}

std::string Answer(CTransport& connection, const std::string& response) {
  std::string request = ReadHttpRequest(connection);
  connection.Write(response.data(), response.size());
  return request;
}

LoopbackServer::Handler AnswerWith(std::string response) {
  return [response = std::move(response)](CWizReadWriteSocket& connection) {
    SocketTransport transport(connection);
    return Answer(transport, response);
  };
}

std::string SoapAnswer(const std::string& result) {
  std::string body = "<soap:Envelope><soap:Body><UploadFileResponse><UploadFileResult>";
  body += result;
  body += "</UploadFileResult></UploadFileResponse></soap:Body></soap:Envelope>";
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
