// The standard CRC-32 (IEEE 802.3 / ZIP) and the database password derived from it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tf {

extern const uint32_t kTablaCRC32[256];

void actualizarCRC32(const uint8_t* buffer, uint16_t count, uint32_t& crc);
uint32_t calcularCRC32(const std::string& text);
std::string getPasswordDBMS(const std::string& productId);

// A connection's "Name=Value" parameter list; names compare without case.
class ParametrosConexion {
 public:
  explicit ParametrosConexion(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  std::string value(const std::string& name) const;
  void setValue(const std::string& name, const std::string& value);
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The design-time parameters of the window's database connection.
ParametrosConexion parametrosConexionInicial();
void asignarPasswordConexion(ParametrosConexion& conexion, const std::string& productId);

}  // namespace tf
