// Network port: the sockets the installer opens itself (the database probe's TCP client and
// the LAN question). Every wait is bounded by the caller's time-out; errors come back as text
// for the log.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tf {

// A connected TCP stream; destroying it closes the socket.
class TcpConnection {
 public:
  virtual ~TcpConnection() = default;

  // Sends every byte, waiting at most `timeoutMs` in all; false with `error` otherwise.
  virtual bool sendAll(const std::string& bytes, unsigned timeoutMs, std::string& error) = 0;

  enum class Received { data, closed, timedOut, failed };
  // Waits at most `timeoutMs` for bytes and takes up to `n` of those waiting (`got` of them,
  // at least one with `data`). `closed`: the peer ended the stream; `failed` sets `error`.
  virtual Received receive(char* buffer, size_t n, unsigned timeoutMs, size_t& got, std::string& error) = 0;
};

// A UDP socket bound to any local address and a port the system chose; destroying it closes it.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;

  // Sends one datagram to the limited broadcast address 255.255.255.255:port. Broadcasting is
  // allowed for this send only. False with `error` when it cannot go out (no interface that
  // can broadcast, for one).
  virtual bool broadcast(uint16_t port, const std::string& payload, std::string& error) = 0;

  enum class Received { data, timedOut, failed };
  // Waits at most `timeoutMs` for one datagram from any sender; `payload` gets its first
  // `maxBytes` bytes (possibly none). `failed` sets `error`.
  virtual Received receive(std::string& payload, size_t maxBytes, unsigned timeoutMs, std::string& error) = 0;
};

class Network {
 public:
  virtual ~Network() = default;

  // An IPv4 TCP connection to host:port ("localhost" is 127.0.0.1), waiting at most `timeoutMs`
  // for it; nullptr with `error` when the name does not resolve, the peer refuses or time runs out.
  virtual std::unique_ptr<TcpConnection> connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                                    std::string& error) = 0;

  // A UDP socket on any local address and a system-chosen port; nullptr with `error` otherwise.
  virtual std::unique_ptr<UdpSocket> openUdp(std::string& error) = 0;
};

}  // namespace tf
