// The database probe over Winsock and the system's SHA-1, against the MariaDB server that
// tests/wine/run_all.sh starts on 127.0.0.1:3307 with the password in TF_MYSQL_PASSWORD.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdlib>
#include <string>

#include "platform/win32/crypto_win32.h"
#include "platform/win32/net_win32.h"
#include "platform/win32/system_win32.h"
#include "sys/mysql_cliente.h"

using namespace tf;

namespace {

std::string hex(const std::string& bytes) {
  std::string s;
  for (unsigned char b : bytes) s += "0123456789abcdef"[b >> 4], s += "0123456789abcdef"[b & 15];
  return s;
}

}  // namespace

TEST(Win32Hashes, Sha1GivesTheStandardVectors) {
  Win32Hashes hashes;
  struct {
    std::string entrada;
    const char* esperado;
  } vectores[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const auto& v : vectores) {
    std::string digest;
    ASSERT_TRUE(hashes.sha1(v.entrada, digest)) << v.entrada.size();
    EXPECT_EQ(hex(digest), v.esperado) << v.entrada.size();
  }
}

TEST(Win32MySQL, OpensOnlyWithTheRightPasswordAndFailsFastWithoutServer) {
  const char* password = getenv("TF_MYSQL_PASSWORD");
  ASSERT_TRUE(password && *password) << "needs the database server tests/wine/run_all.sh starts";
  struct {
    const char* nombre;
    std::string hostName, password;
    const char* error;  // "" when it must open
  } casos[] = {
      {"the product's server", "localhost:3307", password, ""},
      {"wrong password", "localhost:3307", "1", "error 1045"},
      {"nobody listening", "localhost:3309", password, "no se pudo conectar"},
  };
  Win32Network red;
  Win32Hashes hashes;
  Win32Clock reloj;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    ParametrosConexion conexion = parametrosConexionInicial();
    conexion.setValue("HostName", c.hostName);
    conexion.setValue("password", c.password);
    std::string error;
    uint64_t t0 = reloj.tickMs();
    EXPECT_EQ(abrirConexionMySQL(conexion, red, hashes, reloj, error), !*c.error) << error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_LT(reloj.tickMs() - t0, 5000u);
  }
}

TEST(Win32MySQL, PeerThatAcceptsAndSaysNothingTimesOut) {
  Win32Network red;  // Winsock started for the listener too
  SOCKET oyente = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int n = sizeof a;
  ASSERT_EQ(bind(oyente, (sockaddr*)&a, n), 0);
  ASSERT_EQ(listen(oyente, 1), 0);  // the system completes the connection; nobody ever answers
  ASSERT_EQ(getsockname(oyente, (sockaddr*)&a, &n), 0);
  ParametrosMySQL p;
  p.host = "localhost";
  p.puerto = ntohs(a.sin_port);
  p.usuario = "root";
  p.esperaRespuestaMs = 500;
  Win32Hashes hashes;
  Win32Clock reloj;
  std::string error;
  uint64_t t0 = reloj.tickMs();
  EXPECT_FALSE(abrirConexionMySQL(p, red, hashes, reloj, error));
  EXPECT_NE(error.find("no respondió a tiempo"), std::string::npos) << error;
  EXPECT_LT(reloj.tickMs() - t0, 5000u);
  closesocket(oyente);
}
