#include "tests/fakes/fake_net.h"

#include <algorithm>
#include <cstring>

namespace tf {

namespace {

std::string paquete(uint8_t secuencia, const std::string& carga) {
  std::string p;
  p += (char)(carga.size() & 0xFF);
  p += (char)((carga.size() >> 8) & 0xFF);
  p += (char)((carga.size() >> 16) & 0xFF);
  p += (char)secuencia;
  return p + carga;
}

// Protocol 10 greeting offering mysql_native_password; then an OK or an ERR to whatever login
// follows, and a one-column result set (text protocol) to a query.
class ServidorMySQLFalso : public TcpConnection {
 public:
  explicit ServidorMySQLFalso(const FakeNetwork::ServidorMySQL& s) : servidor_(s) {
    std::string g;
    g += '\x0a';
    g += std::string("5.5.5-10.1.48-MariaDB") + '\0';
    g += std::string("\x07\x00\x00\x00", 4);       // connection id
    g += "abcdefgh";                                // seed, first part
    g += '\0';
    g += std::string("\xfe\xf7", 2);                // capabilities, low
    g += '\x08';                                    // latin1
    g += std::string("\x02\x00", 2);                // status
    g += std::string("\xff\x81", 2);                // capabilities, high (plugin auth)
    g += (char)21;
    g += std::string(10, '\0');
    g += std::string("ijklmnopqrst") + '\0';        // seed, second part
    g += std::string("mysql_native_password") + '\0';
    pendiente_ = paquete(0, g);
  }
  bool sendAll(const std::string& bytes, unsigned, std::string&) override {
    if (!respondido_) {
      respondido_ = true;
      if (!servidor_.errorLogin) {
        pendiente_ += paquete(2, std::string("\x00\x00\x00\x02\x00\x00\x00", 7));
      } else {
        std::string e = "\xff";
        e += (char)(servidor_.errorLogin & 0xFF);
        e += (char)(servidor_.errorLogin >> 8);
        pendiente_ += paquete(2, e + "#28000Access denied for user 'root'@'localhost' (using password: YES)");
      }
    } else if (bytes.size() > 4 && bytes[4] == '\x03') {  // COM_QUERY
      const std::string fin("\xfe\x00\x00\x02\x00", 5);
      uint8_t n = 1;
      pendiente_ += paquete(n++, "\x01");
      pendiente_ += paquete(n++, std::string("\x03" "def\x0cturnaliafree", 17));
      pendiente_ += paquete(n++, fin);
      for (const std::string& t : servidor_.tablas) pendiente_ += paquete(n++, (char)t.size() + t);
      pendiente_ += paquete(n++, fin);
    }
    return true;
  }
  Received receive(char* buffer, size_t n, unsigned, size_t& got, std::string&) override {
    if (pendiente_.empty()) return Received::closed;
    got = std::min(n, pendiente_.size());
    std::memcpy(buffer, pendiente_.data(), got);
    pendiente_.erase(0, got);
    return Received::data;
  }

 private:
  FakeNetwork::ServidorMySQL servidor_;
  std::string pendiente_;
  bool respondido_ = false;
};

// Answers are queued at each broadcast and handed out in order of arrival.
class SocketUdpFalso : public UdpSocket {
 public:
  explicit SocketUdpFalso(FakeNetwork& red) : red_(red) { ++red_.socketsUdpAbiertos; }
  ~SocketUdpFalso() override { --red_.socketsUdpAbiertos; }

  bool broadcast(uint16_t port, const std::string& payload, std::string& error) override {
    if (red_.falloUdp == FakeNetwork::FalloUdp::difundir) {
      error = red_.errorUdp;
      return false;
    }
    red_.difusiones.push_back(std::to_string(port) + "|" + payload);
    uint64_t ahora = tick();
    for (const auto& r : red_.respuestas) pendientes_.push_back({ahora + r.trasMs, r.carga});
    std::stable_sort(pendientes_.begin(), pendientes_.end(),
                     [](const Pendiente& a, const Pendiente& b) { return a.llegada < b.llegada; });
    return true;
  }

  Received receive(std::string& payload, size_t maxBytes, unsigned timeoutMs, std::string& error) override {
    red_.esperas.push_back(timeoutMs);
    if (red_.falloUdp == FakeNetwork::FalloUdp::recibir) {
      error = red_.errorUdp;
      return Received::failed;
    }
    uint64_t ahora = tick();
    if (!pendientes_.empty() && pendientes_.front().llegada < ahora + timeoutMs) {  // the end of a wait sees nothing
      if (pendientes_.front().llegada > ahora) avanzar(pendientes_.front().llegada - ahora);
      payload = pendientes_.front().carga.substr(0, maxBytes);
      pendientes_.erase(pendientes_.begin());
      return Received::data;
    }
    avanzar(timeoutMs);
    return Received::timedOut;
  }

 private:
  struct Pendiente {
    uint64_t llegada;
    std::string carga;
  };
  uint64_t tick() { return red_.reloj ? red_.reloj->tickMs() : 0; }
  // Waiting for a datagram is not a pause of the run: only the ticks move.
  void avanzar(uint64_t ms) {
    if (red_.reloj) red_.reloj->ticks += ms;
  }
  FakeNetwork& red_;
  std::vector<Pendiente> pendientes_;
};

}  // namespace

std::unique_ptr<UdpSocket> FakeNetwork::openUdp(std::string& error) {
  if (falloUdp == FalloUdp::abrir) {
    error = errorUdp;
    return nullptr;
  }
  ++socketsUdp;
  return std::make_unique<SocketUdpFalso>(*this);
}

std::unique_ptr<TcpConnection> FakeNetwork::connectTcp(const std::string& host, uint16_t port, unsigned,
                                                       std::string& error) {
  intentos.push_back(host + ":" + std::to_string(port));
  auto servidor = servidoresMySQL.find(port);
  if (servidor == servidoresMySQL.end()) {
    error = "error 10061: Connection refused";
    return nullptr;
  }
  return std::make_unique<ServidorMySQLFalso>(servidor->second);
}

}  // namespace tf
