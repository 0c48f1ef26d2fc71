#include <gtest/gtest.h>

#include "core/crc32.h"

using namespace tf;

TEST(Crc32, StandardCheckValueAndTable) {
  EXPECT_EQ(calcularCRC32("123456789"), 0xCBF43926u);
  EXPECT_EQ(calcularCRC32(""), 0u);
  EXPECT_EQ(kTablaCRC32[1], 0x77073096u);
  EXPECT_EQ(kTablaCRC32[255], 0x2D02EF8Du);
}

TEST(Crc32, RunningUpdateMatchesOneShot) {
  uint32_t crc = 0xFFFFFFFFu;
  actualizarCRC32(reinterpret_cast<const uint8_t*>("1234"), 4, crc);
  actualizarCRC32(reinterpret_cast<const uint8_t*>("56789"), 5, crc);
  EXPECT_EQ(~crc, 0xCBF43926u);
}

TEST(Crc32, PasswordIsUnsignedDecimalOfSaltedProductId) {
  // CRC-32 of "mimo" + the product ID, as any standard CRC-32 tool computes it.
  EXPECT_EQ(getPasswordDBMS("123456789"), "1694565233");
  EXPECT_EQ(getPasswordDBMS("00330-80000"), "2882090758");  // top bit set: ten digits, no sign
  EXPECT_EQ(getPasswordDBMS(""), "2723178830");              // the salt alone
}

TEST(Crc32, ConnectionPasswordReplacesTheDesignTimeEntry) {
  ParametrosConexion p = parametrosConexionInicial();
  asignarPasswordConexion(p, "00330-80000");
  int count = 0;
  for (const auto& l : p.lines())
    if (l.size() >= 9 && (l.compare(0, 9, "password=") == 0 || l.compare(0, 9, "Password=") == 0)) ++count;
  EXPECT_EQ(count, 1);
  EXPECT_EQ(p.value("PASSWORD"), "2882090758");
  EXPECT_EQ(p.value("hostname"), "localhost:3307");
  EXPECT_EQ(p.lines().size(), 7u);
}
