// The network port over POSIX sockets, and a SHA-1 from OpenSSL, for native tests against real
// peers on loopback.
#pragma once
#include <chrono>
#include <thread>

#include "platform/crypto.h"
#include "platform/net.h"
#include "platform/ports.h"

namespace tf {

class PosixNetwork : public Network {
 public:
  std::unique_ptr<TcpConnection> connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                            std::string& error) override;
  // Native tests never broadcast on the developer's network: always fails.
  std::unique_ptr<UdpSocket> openUdp(std::string& error) override;
};

class OpenSslHashes : public Hashes {
 public:
  bool sha1(const std::string& data, std::string& digest) override;
};

class SteadyClock : public Clock {
 public:
  LocalTime now() override { return {}; }
  uint64_t tickMs() override {
    return (uint64_t)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void sleepMs(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace tf
