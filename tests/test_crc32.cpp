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
  // "mimo" + "123456789"
  std::string pw = getPasswordDBMS("123456789");
  EXPECT_EQ(pw, std::to_string(calcularCRC32("mimo123456789")));
  EXPECT_EQ(getPasswordDBMS("123456789"), pw);
  EXPECT_EQ(getPasswordDBMS(""), std::to_string(calcularCRC32("mimo")));
  // A CRC with the top bit set prints as ten digits, never negative.
  std::string big;
  for (int i = 0; i < 1000 && big.empty(); ++i) {
    std::string id = "id" + std::to_string(i);
    if (calcularCRC32("mimo" + id) & 0x80000000u) big = getPasswordDBMS(id);
  }
  ASSERT_FALSE(big.empty());
  EXPECT_EQ(big.size(), 10u);
  EXPECT_GT(std::stoull(big), 2147483647ull);
  EXPECT_EQ(big.find('-'), std::string::npos);
}

TEST(Crc32, ConnectionPasswordReplacesTheDesignTimeEntry) {
  ParametrosConexion p = parametrosConexionInicial();
  asignarPasswordConexion(p, "00330-80000");
  int count = 0;
  for (const auto& l : p.lines())
    if (l.size() >= 9 && (l.compare(0, 9, "password=") == 0 || l.compare(0, 9, "Password=") == 0)) ++count;
  EXPECT_EQ(count, 1);
  EXPECT_EQ(p.value("PASSWORD"), getPasswordDBMS("00330-80000"));
  EXPECT_EQ(p.value("hostname"), "localhost:3307");
  EXPECT_EQ(p.lines().size(), 7u);
}
