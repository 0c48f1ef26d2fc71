// A fake network for step tests: nothing listens, or a database server on a port that accepts
// any login (greeting, then OK), enough for the existing-server check.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/net.h"

namespace tf {

class FakeNetwork : public Network {
 public:
  std::set<uint16_t> servidoresQueAceptan;  // ports where a database server accepts the login
  std::vector<std::string> intentos;        // "host:port" of every connection asked for
  std::unique_ptr<TcpConnection> connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                            std::string& error) override;
};

}  // namespace tf
