#include "tests/fakes/fake_net.h"

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

// Protocol 10 greeting offering mysql_native_password, then an OK to whatever login follows.
class ServidorQueAcepta : public TcpConnection {
 public:
  ServidorQueAcepta() {
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
  bool sendAll(const std::string&, unsigned, std::string&) override {
    if (!respondido_) {
      pendiente_ += paquete(2, std::string("\x00\x00\x00\x02\x00\x00\x00", 7));
      respondido_ = true;
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
  std::string pendiente_;
  bool respondido_ = false;
};

}  // namespace

std::unique_ptr<TcpConnection> FakeNetwork::connectTcp(const std::string& host, uint16_t port, unsigned,
                                                       std::string& error) {
  intentos.push_back(host + ":" + std::to_string(port));
  if (!servidoresQueAceptan.count(port)) {
    error = "error 10061: Connection refused";
    return nullptr;
  }
  return std::make_unique<ServidorQueAcepta>();
}

}  // namespace tf
