// The discovery socket over Winsock, inside the test sandbox: a broadcast leaves on the veth
// pair and comes back to a listener of this test, whose answers reach the asking socket.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <string>

#include "platform/win32/net_win32.h"
#include "platform/win32/system_win32.h"
#include "tests/wine/vendor_test.h"

using namespace tf;

namespace {

struct Oyente {
  SOCKET s = INVALID_SOCKET;
  uint16_t puerto = 0;
  sockaddr_in remitente{};
  ~Oyente() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
  bool abrir() {
    s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    int n = sizeof a;
    if (s == INVALID_SOCKET || bind(s, (sockaddr*)&a, n) != 0 || getsockname(s, (sockaddr*)&a, &n) != 0) return false;
    puerto = ntohs(a.sin_port);
    return true;
  }
  // The size of the next datagram, -1 when none comes within 5 s; remembers its sender.
  int recibir() {
    fd_set r;
    FD_ZERO(&r);
    FD_SET(s, &r);
    timeval tv{5, 0};
    if (select(0, &r, nullptr, nullptr, &tv) != 1) return -1;
    char buf[16];
    int n = sizeof remitente;
    int got = recvfrom(s, buf, sizeof buf, 0, (sockaddr*)&remitente, &n);
    return got < 0 && WSAGetLastError() == WSAEMSGSIZE ? (int)sizeof buf : got;
  }
  void responder(const std::string& carga) {
    sendto(s, carga.data(), (int)carga.size(), 0, (sockaddr*)&remitente, sizeof remitente);
  }
};

}  // namespace

TEST(Win32Udp, BroadcastIsHeardAndAnswersComeBackWhole) {
  if (env("TF_IN_SANDBOX") != "1") GTEST_SKIP() << "broadcasts only inside tests/wine/sandbox.sh";
  Win32Network red;
  Oyente oyente;
  ASSERT_TRUE(oyente.abrir());
  std::string error, carga;
  auto socket = red.openUdp(error);
  ASSERT_TRUE(socket) << error;

  struct Caso {
    std::string respuesta, esperado;
  };
  const Caso casos[] = {{"SERVIDOR-PRUEBA", "SERVIDOR-PRUEBA"},
                        {std::string(9000, 'n'), std::string(8192, 'n')},  // only the first 8192 bytes
                        {"", ""},
                        {std::string("RECEPCI\xD3N\0-1", 12), std::string("RECEPCI\xD3N\0-1", 12)}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.respuesta.size());
    // Every question goes out as a broadcast: the permission is switched on again for each.
    ASSERT_TRUE(socket->broadcast(oyente.puerto, "", error)) << error;
    ASSERT_EQ(oyente.recibir(), 0);
    oyente.responder(c.respuesta);
    ASSERT_EQ(socket->receive(carga, 8192, 2000, error), UdpSocket::Received::data) << error;
    EXPECT_EQ(carga, c.esperado);
  }

  // Nobody answers: the wait ends with its time-out, not before and not much after.
  Win32Clock reloj;
  uint64_t t0 = reloj.tickMs();
  carga = "x";
  EXPECT_EQ(socket->receive(carga, 8192, 250, error), UdpSocket::Received::timedOut);
  uint64_t pasado = reloj.tickMs() - t0;
  EXPECT_GE(pasado, 200u);
  EXPECT_LT(pasado, 1500u);
}
