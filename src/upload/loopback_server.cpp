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

void WaitForHangUp(CWizReadWriteSocket& connection) {
  char c;
  while (connection.Read(&c, 1) == 1) {
  }
}

LoopbackServer::Handler AnswerWith(std::string response) {
  return [response = std::move(response)](CWizReadWriteSocket& connection) {
    SocketTransport transport(connection);
    std::string request = ReadHttpRequest(transport);
    transport.Write(response.data(), response.size());
    return request;
  };
}

std::string SoapAnswer(const std::string& result) {
  std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
      "<UploadFileResponse xmlns=\"http://tempuri.org/\"><UploadFileResult>";
  body += result;
  body += "</UploadFileResult></UploadFileResponse></soap:Body></soap:Envelope>";
  std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: ";
  answer += std::to_string(body.size());
  return answer + "\r\n\r\n" + body;
}
