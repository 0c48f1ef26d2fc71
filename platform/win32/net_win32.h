// The network port over Winsock (ws2_32 is a KnownDLL, imported directly).
#pragma once
#include "platform/net.h"

namespace tf {

// Starts Winsock for its lifetime; the sockets it makes must not outlive it.
class Win32Network : public Network {
 public:
  Win32Network();
  ~Win32Network() override;
  std::unique_ptr<TcpConnection> connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                            std::string& error) override;
  std::unique_ptr<UdpSocket> openUdp(std::string& error) override;

 private:
  int startError_ = 0;  // WSAStartup's answer; 0 when Winsock runs
};

}  // namespace tf
