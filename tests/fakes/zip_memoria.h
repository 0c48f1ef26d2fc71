// ZIP archives built in memory for step tests: stored entries, names as given ("/" separated).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/crc32.h"

namespace tf {

inline std::string zipAlmacenado(const std::vector<std::pair<std::string, std::string>>& entradas) {
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += (char)((v >> (8 * i)) & 0xFF);
  };
  std::string zip, central;
  for (const auto& [nombre, datos] : entradas) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < datos.size(); i += 60000)
      actualizarCRC32((const uint8_t*)datos.data() + i, (uint16_t)std::min<size_t>(60000, datos.size() - i), crc);
    crc = ~crc;
    uint32_t offset = (uint32_t)zip.size();
    std::string comun;
    le(comun, 0, 2);            // flags
    le(comun, 0, 2);            // stored
    le(comun, 0, 4);            // time, date
    le(comun, crc, 4);
    le(comun, (uint32_t)datos.size(), 4);
    le(comun, (uint32_t)datos.size(), 4);
    le(comun, (uint32_t)nombre.size(), 2);
    le(comun, 0, 2);            // extra
    le(zip, 0x04034b50, 4);
    le(zip, 20, 2);
    zip += comun + nombre + datos;
    le(central, 0x02014b50, 4);
    le(central, 20, 2);
    le(central, 20, 2);
    central += comun;
    le(central, 0, 2);          // comment
    le(central, 0, 2);          // disk
    le(central, 0, 2);          // internal attributes
    le(central, 0, 4);          // external attributes
    le(central, offset, 4);
    central += nombre;
  }
  uint32_t inicio = (uint32_t)zip.size();
  zip += central;
  le(zip, 0x06054b50, 4);
  le(zip, 0, 4);
  le(zip, (uint32_t)entradas.size(), 2);
  le(zip, (uint32_t)entradas.size(), 2);
  le(zip, (uint32_t)central.size(), 4);
  le(zip, inicio, 4);
  le(zip, 0, 2);
  return zip;
}

}  // namespace tf
