// The database login probe against a real MariaDB server of its own and against scripted peers
// that misbehave. Everything listens on 127.0.0.1 only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "sys/mysql_cliente.h"
#include "tests/fakes/posix_net.h"

using namespace tf;
namespace fs = std::filesystem;

namespace {

const char* const kPassword = "2912745123";  // digits, like the derived password

int escuchar(uint16_t& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  if (bind(fd, (sockaddr*)&a, n) != 0 || listen(fd, 1) != 0 || getsockname(fd, (sockaddr*)&a, &n) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(a.sin_port);
  return fd;
}

uint16_t puertoLibre() {
  uint16_t port = 0;
  close(escuchar(port));
  return port;
}

// A peer that accepts one connection and plays a script on it, on its own thread.
class Par {
 public:
  explicit Par(std::function<void(int)> guion) {
    fd_ = escuchar(port);
    hilo_ = std::thread([this, guion] {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 10000) != 1) return;
      int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      guion(c);
      close(c);
    });
  }
  ~Par() {
    hilo_.join();
    close(fd_);
  }
  uint16_t port = 0;

 private:
  int fd_;
  std::thread hilo_;
};

void enviar(int c, const std::string& s) { send(c, s.data(), s.size(), MSG_NOSIGNAL); }

std::string paquete(uint8_t secuencia, const std::string& payload) {
  size_t n = payload.size();
  return std::string{(char)n, (char)(n >> 8), (char)(n >> 16), (char)secuencia} + payload;
}

// Up to n bytes, waiting at most 5 s in all.
std::string recibir(int c, size_t n) {
  std::string s;
  for (int i = 0; i < 50 && s.size() < n; ++i) {
    pollfd p{c, POLLIN, 0};
    if (poll(&p, 1, 100) != 1) continue;
    char b[512];
    ssize_t r = recv(c, b, std::min(n - s.size(), sizeof b), 0);
    if (r <= 0) break;
    s.append(b, (size_t)r);
  }
  return s;
}

std::string leerPaquete(int c) {
  std::string h = recibir(c, 4);
  if (h.size() < 4) return {};
  return h + recibir(c, (uint8_t)h[0] | (uint8_t)h[1] << 8 | (uint8_t)h[2] << 16);
}

const std::string kSemilla = "ABCDEFGHIJKLMNOPQRST";
constexpr uint32_t kCapacidades = 0x00088209;  // long password, with db, 4.1, secure, plugin auth

std::string saludo(const std::string& metodo = "mysql_native_password", uint32_t caps = kCapacidades) {
  std::string s("\x0a" "5.5.5-10.11.6-prueba\0" "\x07\0\0\0", 26);
  s += kSemilla.substr(0, 8) + '\0';
  s += {(char)caps, (char)(caps >> 8), 8, 2, 0, (char)(caps >> 16), (char)(caps >> 24), 21};
  s.append(10, '\0');
  return s + kSemilla.substr(8) + '\0' + metodo + '\0';
}

// An authentication switch to `metodo`, with the same seed.
std::string cambioA(const std::string& metodo) { return "\xfe" + metodo + '\0' + kSemilla + '\0'; }

// The native answer for "secreto" and kSemilla, worked out independently:
// SHA1("secreto") XOR SHA1(seed + SHA1(SHA1("secreto"))).
const std::string kRespuestaNativa = "\xe8\xc5\xe9\xeb\x4f\x7d\x41\xb8\xe7\xfe\x09\xf5\x59\x6b\x48\xe6\xfe\x65\x2d\xee";

ParametrosMySQL alPar(uint16_t port) {
  ParametrosMySQL p;
  p.host = "127.0.0.1";
  p.puerto = port;
  p.usuario = "root";
  p.password = "secreto";
  p.baseDatos = "turnaliafree";
  p.esperaRespuestaMs = 700;
  return p;
}

struct Probe {
  PosixNetwork red;
  OpenSslHashes hashes;
  SteadyClock reloj;
  std::string error;
  uint64_t ms = 0;
  bool abrir(const ParametrosMySQL& p) {
    uint64_t t0 = reloj.tickMs();
    bool ok = abrirConexionMySQL(p, red, hashes, reloj, error);
    ms = reloj.tickMs() - t0;
    return ok;
  }
};

// A server of our own: fresh data folder, free port, stopped by PID at the end.
struct ServidorMariaDB {
  std::string script = (fs::path(__FILE__).parent_path() / "fixtures" / "test_mariadb.sh").string();
  std::string dir;
  uint16_t port = puertoLibre();
  bool arrancado = false;
  ServidorMariaDB() {
    char plantilla[] = "/tmp/tf_mariadb_XXXXXX";
    if (!mkdtemp(plantilla)) return;
    dir = plantilla;
    arrancado = std::system(("bash " + script + " start " + dir + " " + std::to_string(port) + " " + kPassword)
                                .c_str()) == 0;
  }
  ~ServidorMariaDB() {
    if (dir.empty()) return;
    std::system(("bash " + script + " stop " + dir).c_str());
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace

TEST(MySQLCliente, RealServerJudgesUserPasswordAndDatabase) {
  ServidorMariaDB servidor;
  ASSERT_TRUE(servidor.arrancado) << "the test MariaDB server did not start (mariadb-server is installed by ./dev)";
  std::string hostName = "localhost:" + std::to_string(servidor.port);
  using R = RespuestaMySQL;
  struct Caso {
    const char* nombre;
    std::vector<std::pair<std::string, std::string>> cambios;  // over the window's parameter list
    const char* error;                                         // "" when it must open
    R tablas;  // what the tables check finds
  } casos[] = {
      {"derived password, product database", {}, "", R::sinTablas},
      {"a database with tables", {{"DataBase", "con_tablas"}}, "", R::conTablas},
      {"wrong password", {{"Password", "2912745124"}}, "error 1045 (28000): Access denied", R::rechazada},
      {"no password given", {{"Password", ""}}, "using password: NO", R::rechazada},
      {"no such database", {{"DataBase", "otra"}}, "error 1049", R::sinTablas},
      {"user without password", {{"User_Name", "vacio"}, {"Password", ""}}, "", R::sinTablas},
      {"user of another method (auth switch)", {{"User_Name", "ed"}}, "client_ed25519 no admitido", R::rechazada},
      {"nothing listening", {{"HostName", "localhost:" + std::to_string(puertoLibre())}}, "no se pudo conectar",
       R::sinServidor},
      {"unusable port", {{"HostName", "localhost:33o7"}}, "puerto no válido", R::sinServidor},
      {"no host", {{"HostName", ":3307"}}, "HostName sin servidor", R::sinServidor},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    ParametrosConexion conexion = parametrosConexionInicial();  // as the window holds it
    conexion.setValue("HostName", hostName);
    conexion.setValue("password", kPassword);
    for (const auto& [nombre, valor] : c.cambios) conexion.setValue(nombre, valor);
    Probe probe;
    bool abierta = abrirConexionMySQL(conexion, probe.red, probe.hashes, probe.reloj, probe.error);
    EXPECT_EQ(abierta, !*c.error) << probe.error;
    EXPECT_NE(probe.error.find(c.error), std::string::npos) << probe.error;
    ParametrosMySQL p;
    if (!leerParametrosMySQL(conexion, p, probe.error)) continue;
    ComprobacionMySQL r = comprobarTablasMySQL(p, probe.red, probe.hashes, probe.reloj);
    EXPECT_EQ(r.respuesta, c.tablas) << r.error;
    EXPECT_EQ(r.tablas, c.tablas == R::conTablas ? 2u : 0u);
  }
}

TEST(MySQLCliente, MisbehavingPeersFailCleanlyAndQuickly) {
  auto trasSaludo = [](std::function<void(int)> resto) {
    return [resto](int c) {
      enviar(c, paquete(0, saludo()));
      leerPaquete(c);
      resto(c);
    };
  };
  struct Caso {
    const char* nombre;
    std::function<void(int)> guion;
    const char* error;
  } casos[] = {
      {"accepts and says nothing", [](int c) { recibir(c, 1); }, "no respondió a tiempo"},
      {"an HTTP server", [](int c) { enviar(c, "HTTP/1.1 400 Bad Request\r\n\r\n"); }, "no es un servidor MySQL"},
      {"huge length", [](int c) { enviar(c, std::string("\xff\xff\xff\x00", 4)); }, "16777215 bytes"},
      {"closes inside the greeting", [](int c) { enviar(c, paquete(0, saludo()).substr(0, 30)); },
       "cerró la conexión"},
      {"greeting without its version's end", [](int c) { enviar(c, paquete(0, "\x0a" "5.5.5")); }, "mal formado"},
      {"greeting cut inside the scramble",
       [](int c) { enviar(c, paquete(0, saludo().substr(0, 50))); }, "mal formado"},
      {"other protocol", [](int c) { enviar(c, paquete(0, std::string("\x09" "3.23\0", 6))); }, "protocolo 9"},
      {"refusal before greeting",
       [](int c) { enviar(c, paquete(0, std::string("\xff\x10\x04Too many connections"))); }, "error 1040: Too many"},
      {"error packet cut short", [](int c) { enviar(c, paquete(0, "\xff\x10")); }, "incompleto"},
      {"out of sequence", [](int c) { enviar(c, paquete(3, saludo())); }, "fuera de secuencia"},
      {"no 4.1 protocol", [](int c) { enviar(c, paquete(0, saludo("mysql_native_password", 0x8))); },
       "anterior a MySQL 4.1"},
      {"trickles the greeting",
       [](int c) {
         for (char b : paquete(0, saludo())) {
           enviar(c, std::string(1, b));
           pollfd p{c, POLLIN, 0};
           if (poll(&p, 1, 100) == 1) break;  // a byte every 100 ms until the client leaves
         }
       },
       "no respondió a tiempo"},
      {"closes after the login", trasSaludo([](int) {}), "cerró la conexión"},
      {"unexpected answer", trasSaludo([](int c) { enviar(c, paquete(2, "\x01\x04")); }), "respuesta no esperada"},
      {"switch to caching_sha2_password",
       trasSaludo([](int c) { enviar(c, paquete(2, cambioA("caching_sha2_password"))); }),
       "caching_sha2_password no admitido"},
      {"switch to the old method", trasSaludo([](int c) { enviar(c, paquete(2, "\xfe")); }),
       "mysql_old_password no admitido"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    Probe probe;
    {
      Par par(c.guion);
      EXPECT_FALSE(probe.abrir(alPar(par.port)));
    }
    EXPECT_NE(probe.error.find(c.error), std::string::npos) << probe.error;
    EXPECT_LT(probe.ms, 5000u);
  }
}

TEST(MySQLCliente, SwitchToNativeMethodAnswersTheNewScrambleThenQuits) {
  std::string respuesta, cambio, despedida;
  Probe probe;
  {
    Par par([&](int c) {
      enviar(c, paquete(0, saludo("caching_sha2_password", kCapacidades)));
      respuesta = leerPaquete(c);
      enviar(c, paquete(2, cambioA("mysql_native_password")));
      cambio = leerPaquete(c);
      enviar(c, paquete(4, std::string("\0\0\0\2\0\0\0", 7)));
      despedida = leerPaquete(c);
    });
    EXPECT_TRUE(probe.abrir(alPar(par.port))) << probe.error;
  }
  // HandshakeResponse41 (sequence 1, latin1): user, the native answer whatever method the
  // greeting named, database, method.
  ASSERT_GT(respuesta.size(), 36u);
  EXPECT_EQ(respuesta[3], 1);
  EXPECT_EQ(respuesta[12], 8);
  EXPECT_EQ(respuesta.substr(36), std::string("root\0\x14", 6) + kRespuestaNativa +
                                      std::string("turnaliafree\0mysql_native_password\0", 35));
  EXPECT_EQ(cambio, std::string("\x14\0\0\3", 4) + kRespuestaNativa);
  EXPECT_EQ(despedida, std::string("\1\0\0\0\1", 5));  // COM_QUIT
}

