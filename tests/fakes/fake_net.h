// A fake network for step tests: nothing listens, or a database server on a port that accepts
// or refuses any login and lists its tables (enough for the existing-server check and the
// database check); and a LAN whose servers answer a broadcast after a delay, measured on the
// fake clock.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/net.h"
#include "tests/fakes/fakes.h"

namespace tf {

class FakeNetwork : public Network {
 public:
  explicit FakeNetwork(FakeClock* clock = nullptr) : reloj(clock) {}

  struct ServidorMySQL {
    uint16_t errorLogin = 0;          // 0: any login is accepted; else refused with this code
    std::vector<std::string> tablas;  // what SHOW TABLES lists
  };
  std::map<uint16_t, ServidorMySQL> servidoresMySQL;  // by port
  std::vector<std::string> intentos;        // "host:port" of every connection asked for
  std::unique_ptr<TcpConnection> connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                            std::string& error) override;

  // --- UDP
  struct Respuesta {
    unsigned trasMs;    // arrival, counted from the broadcast
    std::string carga;  // payload
  };
  enum class FalloUdp { ninguno, abrir, difundir, recibir };
  FakeClock* reloj;                      // a receive's wait moves its ticks on (null: time stands still)
  std::vector<Respuesta> respuestas;     // what answers each broadcast
  FalloUdp falloUdp = FalloUdp::ninguno;
  std::string errorUdp = "error 10051: Network is unreachable";
  std::vector<std::string> difusiones;   // "port|payload" of every broadcast sent
  std::vector<unsigned> esperas;         // time-out of every receive asked for
  int socketsUdp = 0;                    // sockets opened
  int socketsUdpAbiertos = 0;            // of those, not yet closed
  std::unique_ptr<UdpSocket> openUdp(std::string& error) override;
};

}  // namespace tf
