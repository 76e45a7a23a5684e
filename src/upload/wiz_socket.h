// Blocking IPv4 TCP sockets: a listening/accepting server side, a connecting
// client side, whole-buffer reads and writes, and a length-prefixed string
// frame. Failures are results, never messages.
#pragma once

#include <netinet/in.h>

#include <string>

class CWizSyncSocket {
 public:
  class XCannotCreate {};

  // Wraps an existing handle; (unsigned)-1 holds none.
  explicit CWizSyncSocket(unsigned int handle);
  // Listens on `port` (0 picks a free one) at `address` (host byte order);
  // throws XCannotCreate when that fails.
  explicit CWizSyncSocket(int port, uint32_t address = INADDR_ANY);
  ~CWizSyncSocket();
  CWizSyncSocket(const CWizSyncSocket&) = delete;
  CWizSyncSocket& operator=(const CWizSyncSocket&) = delete;

  void Init(unsigned int handle);
  void Close();
  int SetIntOption(int level, int name, int value);
  bool InitializeSocket(int port, uint32_t address = INADDR_ANY);
  bool Create(int port, uint32_t address = INADDR_ANY);
  int Accept();
  // Connects to a host name or dotted IPv4 address; always starts from a
  // fresh socket.
  bool Connect(const std::string& host, int port);

  // Bounds the connect and every later send and receive to `seconds`
  // (0: no bound). Applies to sockets made by Connect after this call and to
  // the one held now.
  void SetTimeout(int seconds);
  // True when the last failed operation ran out of time.
  bool TimedOut() const { return m_bTimedOut; }
  // The locally bound port, or -1.
  int LocalPort() const;
  int Handle() const { return m_hSocket; }

 protected:
  bool ConnectWithin(const sockaddr_in& address);
  void ApplyTimeout();

  int m_hSocket = -1;
  int m_nTimeout = 0;
  bool m_bTimedOut = false;
};

class CWizReadWriteSocket : public CWizSyncSocket {
 public:
  explicit CWizReadWriteSocket(unsigned int handle) : CWizSyncSocket(handle) {}

  // Receives exactly `size` bytes; fewer when the peer closes first, 0 on
  // error (also after a partial receive).
  int Read(void* buffer, int size);
  // Sends all `size` bytes; returns `size`, or 0 on failure.
  int Write(const void* data, int size);
  // One frame: 4-byte big-endian length, 4 zero bytes, the text. Returns the
  // text length (0 when refused or short).
  int ReadString(char* buffer, int size);
  // A negative length takes the text's own; texts above 2000 bytes are not
  // sent. Returns the bytes sent including the 8-byte header, or 0.
  int WriteString(const char* text, int length);
};

// Characters of a zero-terminated text before its terminator.
int Length(const char* text);
