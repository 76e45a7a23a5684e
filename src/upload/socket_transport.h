// CTransport over a plain connected socket.
#pragma once

#include "upload/transport.h"
#include "upload/wiz_socket.h"

class SocketTransport : public CTransport {
 public:
  explicit SocketTransport(CWizReadWriteSocket& socket) : socket_(socket) {}
  bool Write(const void* data, size_t size) override;
  int Read(void* buffer, int size) override { return socket_.Read(buffer, size); }
  bool TimedOut() const override { return socket_.TimedOut(); }

 private:
  CWizReadWriteSocket& socket_;
};
