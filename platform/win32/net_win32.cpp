#include "platform/win32/net_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "platform/win32/text.h"

namespace tf {

namespace {

std::string socketErrorText(int code) { return "error " + std::to_string(code) + ": " + systemErrorText((DWORD)code); }

// The socket stays non-blocking from creation on: every wait is a select with what is left
// of the caller's time-out. 1 ready, 0 time-out, -1 error (WSAGetLastError).
int waitFor(SOCKET s, bool writing, ULONGLONG deadline) {
  ULONGLONG now = GetTickCount64();
  ULONGLONG left = deadline > now ? deadline - now : 0;
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);  // a refused non-blocking connect shows here
  timeval tv{(long)(left / 1000), (long)(left % 1000) * 1000};
  int n = select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &tv);
  return n < 0 ? -1 : n > 0 ? 1 : 0;
}

class Win32TcpConnection : public TcpConnection {
 public:
  explicit Win32TcpConnection(SOCKET s) : s_(s) {}
  ~Win32TcpConnection() override { closesocket(s_); }

  bool sendAll(const std::string& bytes, unsigned timeoutMs, std::string& error) override {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    size_t sent = 0;
    while (sent < bytes.size()) {
      int n = send(s_, bytes.data() + sent, (int)std::min<size_t>(bytes.size() - sent, INT_MAX), 0);
      if (n > 0) {
        sent += (size_t)n;
        continue;
      }
      int code = WSAGetLastError();
      if (code != WSAEWOULDBLOCK) {
        error = socketErrorText(code);
        return false;
      }
      int w = waitFor(s_, true, deadline);
      if (w <= 0) {
        error = w == 0 ? "tiempo de envío agotado" : socketErrorText(WSAGetLastError());
        return false;
      }
    }
    return true;
  }

  Received receive(char* buffer, size_t n, unsigned timeoutMs, size_t& got, std::string& error) override {
    got = 0;
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {  // ends by data, end of stream, error or the deadline
      int w = waitFor(s_, false, deadline);
      if (w == 0) return Received::timedOut;
      if (w < 0) {
        error = socketErrorText(WSAGetLastError());
        return Received::failed;
      }
      int r = recv(s_, buffer, (int)std::min<size_t>(n, INT_MAX), 0);
      if (r > 0) {
        got = (size_t)r;
        return Received::data;
      }
      if (r == 0) return Received::closed;
      int code = WSAGetLastError();
      if (code != WSAEWOULDBLOCK) {
        error = socketErrorText(code);
        return Received::failed;
      }
      if (GetTickCount64() >= deadline) return Received::timedOut;
    }
  }

 private:
  SOCKET s_;
};

// Waits until a datagram is waiting, at most until `deadline`: 1 ready, 0 time-out, -1 error.
int waitReadable(SOCKET s, ULONGLONG deadline) {
  ULONGLONG now = GetTickCount64();
  ULONGLONG left = deadline > now ? deadline - now : 0;
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(s, &ready);
  timeval tv{(long)(left / 1000), (long)(left % 1000) * 1000};
  int n = select(0, &ready, nullptr, nullptr, &tv);
  return n < 0 ? -1 : n > 0 ? 1 : 0;
}

class Win32UdpSocket : public UdpSocket {
 public:
  explicit Win32UdpSocket(SOCKET s) : s_(s) {}
  ~Win32UdpSocket() override { closesocket(s_); }

  bool broadcast(uint16_t port, const std::string& payload, std::string& error) override {
    BOOL on = TRUE, off = FALSE;
    if (setsockopt(s_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      error = socketErrorText(WSAGetLastError());
      return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    const int size = (int)std::min<size_t>(payload.size(), INT_MAX);
    int sent = SOCKET_ERROR, code = 0;
    // A datagram goes out whole or not at all; a full send buffer is waited for once, briefly.
    for (int attempt = 0; attempt < 2; ++attempt) {
      sent = sendto(s_, payload.data(), size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      code = sent == SOCKET_ERROR ? WSAGetLastError() : 0;
      if (code != WSAEWOULDBLOCK) break;
      fd_set writable;
      FD_ZERO(&writable);
      FD_SET(s_, &writable);
      timeval tv{1, 0};
      select(0, nullptr, &writable, nullptr, &tv);
    }
    // Broadcasting stays off between questions.
    setsockopt(s_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&off), sizeof off);
    if (sent != size) {
      error = socketErrorText(code);
      return false;
    }
    return true;
  }

  Received receive(std::string& payload, size_t maxBytes, unsigned timeoutMs, std::string& error) override {
    payload.clear();
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string buffer(std::max<size_t>(1, std::min<size_t>(maxBytes, INT_MAX)), '\0');
    for (;;) {  // ends by a datagram, an error or the deadline
      int w = waitReadable(s_, deadline);
      if (w == 0) return Received::timedOut;
      if (w < 0) {
        error = socketErrorText(WSAGetLastError());
        return Received::failed;
      }
      int r = recvfrom(s_, &buffer[0], (int)std::min(buffer.size(), maxBytes), 0, nullptr, nullptr);
      if (r >= 0) {
        payload.assign(buffer.data(), (size_t)r);
        return Received::data;
      }
      int code = WSAGetLastError();
      if (code == WSAEMSGSIZE) {  // longer than asked for: its first maxBytes
        payload.assign(buffer.data(), std::min(buffer.size(), maxBytes));
        return Received::data;
      }
      // WSAECONNRESET only tells of an ICMP "unreachable" for an earlier send: not an answer.
      if (code != WSAEWOULDBLOCK && code != WSAECONNRESET) {
        error = socketErrorText(code);
        return Received::failed;
      }
      if (GetTickCount64() >= deadline) return Received::timedOut;
    }
  }

 private:
  SOCKET s_;
};

}  // namespace

Win32Network::Win32Network() {
  WSADATA data;
  startError_ = WSAStartup(MAKEWORD(2, 2), &data);
}

Win32Network::~Win32Network() {
  if (startError_ == 0) WSACleanup();
}

std::unique_ptr<TcpConnection> Win32Network::connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                                        std::string& error) {
  if (startError_ != 0) {
    error = "Winsock: " + socketErrorText(startError_);
    return nullptr;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* found = nullptr;
  std::wstring name = widen(host);
  int code = GetAddrInfoW(name.c_str(), nullptr, &hints, &found);
  if (code != 0 || !found) {
    error = host + ": " + socketErrorText(code);
    return nullptr;
  }
  sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
  FreeAddrInfoW(found);
  address.sin_port = htons(port);

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = socketErrorText(WSAGetLastError());
    return nullptr;
  }
  // Commands the installer starts later must not inherit the socket.
  SetHandleInformation((HANDLE)s, HANDLE_FLAG_INHERIT, 0);
  auto connection = std::make_unique<Win32TcpConnection>(s);
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    error = socketErrorText(WSAGetLastError());
    return nullptr;
  }
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) {
      error = socketErrorText(code);
      return nullptr;
    }
    int w = waitFor(s, true, deadline);
    if (w <= 0) {
      error = w == 0 ? "tiempo de conexión agotado" : socketErrorText(WSAGetLastError());
      return nullptr;
    }
    int result = 0;
    int size = sizeof result;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size) != 0)
      result = WSAGetLastError();
    if (result != 0) {
      error = socketErrorText(result);
      return nullptr;
    }
  }
  return connection;
}

std::unique_ptr<UdpSocket> Win32Network::openUdp(std::string& error) {
  if (startError_ != 0) {
    error = "Winsock: " + socketErrorText(startError_);
    return nullptr;
  }
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    error = socketErrorText(WSAGetLastError());
    return nullptr;
  }
  SetHandleInformation((HANDLE)s, HANDLE_FLAG_INHERIT, 0);
  auto udp = std::make_unique<Win32UdpSocket>(s);
  u_long nonBlocking = 1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = 0;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    error = socketErrorText(WSAGetLastError());
    return nullptr;
  }
  return udp;
}

}  // namespace tf
