#include "sys/mysql_cliente.h"

#include <algorithm>
#include <memory>

namespace tf {

namespace {

// Capability flags of the client/server protocol.
constexpr uint32_t kClientLongPassword = 0x00000001;
constexpr uint32_t kClientConnectWithDb = 0x00000008;
constexpr uint32_t kClientProtocol41 = 0x00000200;
constexpr uint32_t kClientSecureConnection = 0x00008000;
constexpr uint32_t kClientPluginAuth = 0x00080000;

constexpr uint8_t kProtocolo = 10;
constexpr uint8_t kLatin1 = 8;  // latin1_swedish_ci: the program's texts are Windows-1252
constexpr uint8_t kComQuit = 0x01;
constexpr uint8_t kComQuery = 0x03;
constexpr uint32_t kErrorBaseDesconocida = 1049;  // ER_BAD_DB_ERROR
constexpr size_t kLongitudSemilla = 20;
// Login packets are a few hundred bytes; anything far larger is not a server we speak to, and
// its length is refused before a byte of it is read.
constexpr size_t kMaxPaquete = 16 * 1024;
constexpr size_t kMaxTextoServidor = 512;
const char* const kAutenticacionNativa = "mysql_native_password";

// Bounds-checked reading of one packet's payload: a read past the end yields zeros and marks
// the packet as malformed instead of touching memory beyond it.
class Lector {
 public:
  explicit Lector(const std::string& p) : p_(p) {}
  bool ok() const { return ok_; }
  bool quedan() const { return pos_ < p_.size(); }
  uint8_t byte() { return (uint8_t)(tomar(1) ? p_[pos_ - 1] : 0); }
  uint32_t entero(size_t n) {  // little-endian, n <= 4
    if (!tomar(n)) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= (uint32_t)(uint8_t)p_[pos_ - n + i] << (8 * i);
    return v;
  }
  std::string bytes(size_t n) { return tomar(n) ? p_.substr(pos_ - n, n) : std::string(); }
  std::string hastaNul() {
    size_t fin = p_.find('\0', pos_);
    if (fin == std::string::npos) {
      ok_ = false;
      return {};
    }
    std::string s = p_.substr(pos_, fin - pos_);
    pos_ = fin + 1;
    return s;
  }
  // Up to a NUL or the end: some servers leave the last text of a packet unterminated.
  std::string hastaNulOFin() { return p_.find('\0', pos_) == std::string::npos ? resto() : hastaNul(); }
  std::string resto() {
    std::string s = p_.substr(std::min(pos_, p_.size()));
    pos_ = p_.size();
    return s;
  }

 private:
  bool tomar(size_t n) {
    if (!ok_ || n > p_.size() - pos_) {
      ok_ = false;
      return false;
    }
    pos_ += n;
    return true;
  }
  const std::string& p_;
  size_t pos_ = 0;
  bool ok_ = true;
};

void ponerEntero(std::string& s, uint32_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) s += (char)((v >> (8 * i)) & 0xFF);
}

// Text that came from the server, made fit for one log line.
std::string textoServidor(std::string s) {
  if (s.size() > kMaxTextoServidor) s.resize(kMaxTextoServidor);
  for (char& c : s)
    if ((uint8_t)c < 0x20 || c == 0x7F) c = ' ';
  return s;
}

std::string hex2(uint8_t b) {
  const char* d = "0123456789ABCDEF";
  return std::string("0x") + d[b >> 4] + d[b & 15];
}

// An ERR packet: 0xFF, code, optional "#" + SQL state, message.
std::string textoPaqueteError(const std::string& p) {
  Lector l(p);
  l.byte();
  uint32_t codigo = l.entero(2);
  std::string estado;
  if (p.size() >= 9 && p[3] == '#') {
    l.byte();
    estado = l.bytes(5);
  }
  std::string mensaje = l.resto();
  if (!l.ok()) return "paquete de error incompleto";
  return "error " + std::to_string(codigo) + (estado.empty() ? "" : " (" + textoServidor(estado) + ")") + ": " +
         textoServidor(mensaje);
}

// SHA1(password) XOR SHA1(seed + SHA1(SHA1(password))); nothing for an empty password.
bool respuestaNativa(Hashes& hashes, const std::string& password, const std::string& semilla, std::string& out,
                     std::string& error) {
  out.clear();
  if (password.empty()) return true;
  std::string h1, h2, h3;
  if (!hashes.sha1(password, h1) || !hashes.sha1(h1, h2) || !hashes.sha1(semilla + h2, h3) || h1.size() != 20 ||
      h3.size() != 20) {
    error = "no se pudo calcular SHA-1";
    return false;
  }
  out = h1;
  for (size_t i = 0; i < out.size(); ++i) out[i] = (char)(out[i] ^ h3[i]);
  return true;
}

// One login: packets with their sequence numbers, every wait within one deadline.
class Sesion {
 public:
  Sesion(TcpConnection& conexion, Clock& reloj, unsigned esperaMs)
      : c_(conexion), reloj_(reloj), limite_(reloj.tickMs() + esperaMs) {}

  bool leer(std::string& payload, std::string& error) {
    char cabecera[4];
    if (!leerExacto(cabecera, 4, error)) return false;
    size_t longitud = (uint8_t)cabecera[0] | (uint8_t)cabecera[1] << 8 | (size_t)(uint8_t)cabecera[2] << 16;
    uint8_t secuencia = (uint8_t)cabecera[3];
    if (longitud > kMaxPaquete) {
      error = "paquete de " + std::to_string(longitud) + " bytes: no es un servidor MySQL";
      return false;
    }
    if (secuencia != secuencia_) {
      error = "paquete fuera de secuencia (" + std::to_string(secuencia) + " en lugar de " +
              std::to_string(secuencia_) + ")";
      return false;
    }
    ++secuencia_;
    payload.assign(longitud, '\0');
    return longitud == 0 || leerExacto(&payload[0], longitud, error);
  }

  bool escribir(const std::string& payload, std::string& error) {
    std::string paquete;
    ponerEntero(paquete, (uint32_t)payload.size(), 3);
    paquete += (char)secuencia_++;
    paquete += payload;
    unsigned ms = restante();
    if (ms == 0) {
      error = "sin tiempo para enviar";
      return false;
    }
    return c_.sendAll(paquete, ms, error);
  }

  void nuevaOrden() { secuencia_ = 0; }

 private:
  unsigned restante() {
    uint64_t ahora = reloj_.tickMs();
    return ahora >= limite_ ? 0 : (unsigned)std::min<uint64_t>(limite_ - ahora, 0xFFFFFFFFu);
  }

  bool leerExacto(char* p, size_t n, std::string& error) {
    size_t tengo = 0;
    while (tengo < n) {
      unsigned ms = restante();
      if (ms == 0) {
        error = "el servidor no respondió a tiempo";
        return false;
      }
      size_t got = 0;
      std::string e;
      switch (c_.receive(p + tengo, n - tengo, ms, got, e)) {
        case TcpConnection::Received::data:
          tengo += std::min(got, n - tengo);
          break;
        case TcpConnection::Received::timedOut:
          error = "el servidor no respondió a tiempo";
          return false;
        case TcpConnection::Received::closed:
          error = "el servidor cerró la conexión";
          return false;
        case TcpConnection::Received::failed:
          error = e;
          return false;
      }
    }
    return true;
  }

  TcpConnection& c_;
  Clock& reloj_;
  uint64_t limite_;
  uint8_t secuencia_ = 0;
};

struct Saludo {
  uint32_t capacidades = 0;
  std::string semilla;  // the first 20 bytes of the scramble data
};

// The code of an ERR packet; 0 for anything else.
uint32_t codigoPaqueteError(const std::string& p) {
  return p.size() >= 3 && (uint8_t)p[0] == 0xFF ? (uint8_t)p[1] | (uint32_t)(uint8_t)p[2] << 8 : 0;
}

bool leerSaludo(const std::string& p, Saludo& s, std::string& error) {
  Lector l(p);
  uint8_t protocolo = l.byte();
  if (protocolo == 0xFF) {  // the server refuses before greeting (too many connections, host not allowed)
    error = textoPaqueteError(p);
    return false;
  }
  if (!l.ok() || protocolo != kProtocolo) {
    error = "protocolo " + std::to_string(protocolo) + " no admitido";
    return false;
  }
  l.hastaNul();  // server version
  l.entero(4);   // connection id
  s.semilla = l.bytes(8);
  l.byte();
  s.capacidades = l.entero(2);
  if (l.ok() && l.quedan()) {
    l.byte();      // character set
    l.entero(2);   // status
    s.capacidades |= l.entero(2) << 16;
    uint8_t longitudDatos = l.byte();
    l.bytes(10);
    if (s.capacidades & kClientSecureConnection)
      s.semilla += l.bytes(std::max<size_t>(13, longitudDatos > 8 ? longitudDatos - 8 : 0));
    if (s.capacidades & kClientPluginAuth) l.hastaNulOFin();
  }
  if (!l.ok()) {
    error = "saludo del servidor mal formado";
    return false;
  }
  if (!(s.capacidades & kClientProtocol41) || !(s.capacidades & kClientSecureConnection) ||
      s.semilla.size() < kLongitudSemilla) {
    error = "servidor anterior a MySQL 4.1: no admitido";
    return false;
  }
  s.semilla.resize(kLongitudSemilla);
  return true;
}

std::string respuestaSaludo(const ParametrosMySQL& p, uint32_t capacidades, const std::string& datos) {
  std::string r;
  ponerEntero(r, capacidades, 4);
  ponerEntero(r, (uint32_t)kMaxPaquete, 4);
  r += (char)kLatin1;
  r.append(23, '\0');
  r += p.usuario;
  r += '\0';
  r += (char)datos.size();
  r += datos;
  if (capacidades & kClientConnectWithDb) {
    r += p.baseDatos;
    r += '\0';
  }
  if (capacidades & kClientPluginAuth) {
    r += kAutenticacionNativa;
    r += '\0';
  }
  return r;
}

// How a login ended: accepted; refused by the server (an ERR packet, whose code is kept, or an
// authentication method we cannot answer); or failed before the server could judge it.
enum class Login { aceptado, rechazado, fallido };

Login iniciarSesion(Sesion& sesion, const ParametrosMySQL& p, Hashes& hashes, std::string& error,
                    uint32_t& codigo) {
  codigo = 0;
  std::string paquete;
  Saludo saludo;
  if (!sesion.leer(paquete, error)) return Login::fallido;
  if (!leerSaludo(paquete, saludo, error)) {
    codigo = codigoPaqueteError(paquete);
    return codigo ? Login::rechazado : Login::fallido;
  }

  uint32_t capacidades = kClientLongPassword | kClientProtocol41 | kClientSecureConnection;
  capacidades |= saludo.capacidades & kClientPluginAuth;
  if (!p.baseDatos.empty()) {
    if (!(saludo.capacidades & kClientConnectWithDb)) {
      error = "el servidor no permite elegir la base de datos al conectar";
      return Login::fallido;
    }
    capacidades |= kClientConnectWithDb;
  }
  // Whatever method the greeting names, answer with the native one: a server whose user has
  // another method says so with an authentication switch.
  std::string datos;
  if (!respuestaNativa(hashes, p.password, saludo.semilla, datos, error) ||
      !sesion.escribir(respuestaSaludo(p, capacidades, datos), error))
    return Login::fallido;

  bool cambiado = false;
  for (;;) {
    if (!sesion.leer(paquete, error)) return Login::fallido;
    if (paquete.empty()) {
      error = "respuesta vacía del servidor";
      return Login::fallido;
    }
    uint8_t tipo = (uint8_t)paquete[0];
    if (tipo == 0x00) return Login::aceptado;
    if (tipo == 0xFF) {
      error = textoPaqueteError(paquete);
      codigo = codigoPaqueteError(paquete);
      return Login::rechazado;
    }
    if (tipo != 0xFE || cambiado || !(capacidades & kClientPluginAuth)) {
      error = "respuesta no esperada del servidor (" + hex2(tipo) + ")";
      return Login::fallido;
    }
    // Authentication switch: method name, then its scramble data.
    cambiado = true;
    Lector l(paquete);
    l.byte();
    std::string metodo = l.quedan() ? l.hastaNulOFin() : "mysql_old_password";
    std::string semilla = l.resto();
    if (metodo != kAutenticacionNativa) {
      error = "método de autenticación " + textoServidor(metodo) + " no admitido";
      return Login::rechazado;
    }
    if (semilla.size() < kLongitudSemilla) {
      error = "cambio de autenticación mal formado";
      return Login::fallido;
    }
    semilla.resize(kLongitudSemilla);
    if (!respuestaNativa(hashes, p.password, semilla, datos, error) || !sesion.escribir(datos, error))
      return Login::fallido;
  }
}

// EOF packet of the text protocol: 0xFE and shorter than 9 bytes (a row never is both).
bool esFin(const std::string& p) { return !p.empty() && (uint8_t)p[0] == 0xFE && p.size() < 9; }

// A text-protocol query (COM_QUERY) whose answer is a result set: column count, column
// definitions, EOF, rows, EOF. The rows are counted, not kept. False with `error` when the
// server answers otherwise; `codigo` keeps the code of an ERR packet (0 for anything else).
bool contarFilas(Sesion& sesion, const std::string& consulta, size_t& filas, std::string& error, uint32_t& codigo) {
  filas = 0;
  codigo = 0;
  sesion.nuevaOrden();
  std::string p;
  if (!sesion.escribir(std::string(1, (char)kComQuery) + consulta, error) || !sesion.leer(p, error)) return false;
  uint8_t columnas = p.empty() ? 0 : (uint8_t)p[0];
  if (columnas == 0xFF) {
    error = textoPaqueteError(p);
    codigo = codigoPaqueteError(p);
    return false;
  }
  if (columnas == 0 || columnas >= 0xFB) {  // an OK packet, or nothing a result set starts with
    error = "la consulta no devolvió un resultado (" + hex2(columnas) + ")";
    return false;
  }
  for (uint8_t i = 0; i < columnas; ++i)
    if (!sesion.leer(p, error)) return false;
  if (!sesion.leer(p, error)) return false;
  if (!esFin(p)) {
    error = "resultado mal formado";
    return false;
  }
  for (;;) {
    if (!sesion.leer(p, error)) return false;
    if (esFin(p)) return true;
    if (!p.empty() && (uint8_t)p[0] == 0xFF) {
      error = textoPaqueteError(p);
      codigo = codigoPaqueteError(p);
      return false;
    }
    ++filas;
  }
}

// Connects and logs in; on acceptance the session is left open in `sesion` for what follows.
// `error` starts with host:port.
Login conectar(const ParametrosMySQL& p, Network& red, Hashes& hashes, Clock& reloj,
               std::unique_ptr<TcpConnection>& conexion, std::unique_ptr<Sesion>& sesion, std::string& error,
               uint32_t& codigo) {
  codigo = 0;
  const std::string donde = p.host + ":" + std::to_string(p.puerto) + ": ";
  std::string e;
  conexion = red.connectTcp(p.host, p.puerto, p.esperaConexionMs, e);
  if (!conexion) {
    error = donde + "no se pudo conectar: " + e;
    return Login::fallido;
  }
  sesion = std::make_unique<Sesion>(*conexion, reloj, p.esperaRespuestaMs);
  Login l = iniciarSesion(*sesion, p, hashes, e, codigo);
  if (l != Login::aceptado) error = donde + e;
  return l;
}

// Polite goodbye; the server needs no answer and the socket closes either way.
void despedirse(Sesion& sesion) {
  std::string e;
  sesion.nuevaOrden();
  sesion.escribir(std::string(1, (char)kComQuit), e);
}

}  // namespace

bool leerParametrosMySQL(const ParametrosConexion& conexion, ParametrosMySQL& out, std::string& error) {
  std::string servidor = conexion.value("HostName");
  out.puerto = 3306;
  size_t dosPuntos = servidor.rfind(':');
  if (dosPuntos != std::string::npos) {
    std::string puerto = servidor.substr(dosPuntos + 1);
    servidor.resize(dosPuntos);
    unsigned long n = 0;
    bool ok = !puerto.empty() && puerto.size() <= 5;
    for (size_t i = 0; ok && i < puerto.size(); ++i) {
      ok = puerto[i] >= '0' && puerto[i] <= '9';
      n = n * 10 + (unsigned long)(puerto[i] - '0');
    }
    if (!ok || n == 0 || n > 65535) {
      error = "puerto no válido en HostName: " + textoServidor(puerto);
      return false;
    }
    out.puerto = (uint16_t)n;
  }
  if (servidor.empty() || servidor.find(':') != std::string::npos) {
    error = "HostName sin servidor válido";
    return false;
  }
  out.host = servidor;
  out.baseDatos = conexion.value("DataBase");
  out.usuario = conexion.value("User_Name");
  out.password = conexion.value("Password");
  return true;
}

bool abrirConexionMySQL(const ParametrosMySQL& p, Network& red, Hashes& hashes, Clock& reloj, std::string& error) {
  error.clear();
  std::unique_ptr<TcpConnection> conexion;
  std::unique_ptr<Sesion> sesion;
  uint32_t codigo;
  if (conectar(p, red, hashes, reloj, conexion, sesion, error, codigo) != Login::aceptado) return false;
  despedirse(*sesion);
  return true;
}

ComprobacionMySQL comprobarTablasMySQL(const ParametrosMySQL& p, Network& red, Hashes& hashes, Clock& reloj) {
  ComprobacionMySQL r;
  std::unique_ptr<TcpConnection> conexion;
  std::unique_ptr<Sesion> sesion;
  uint32_t codigo;
  switch (conectar(p, red, hashes, reloj, conexion, sesion, r.error, codigo)) {
    case Login::fallido:
      r.respuesta = RespuestaMySQL::sinServidor;
      return r;
    case Login::rechazado:
      // A database the server does not know holds no tables; any other refusal is the login's.
      r.respuesta = codigo == kErrorBaseDesconocida ? RespuestaMySQL::sinTablas : RespuestaMySQL::rechazada;
      return r;
    case Login::aceptado:
      break;
  }
  const std::string donde = p.host + ":" + std::to_string(p.puerto) + ": ";
  std::string e;
  if (!contarFilas(*sesion, "SHOW TABLES", r.tablas, e, codigo)) {
    // A server that answers the query with an error has been heard; one that falls silent has not.
    r.respuesta = codigo ? RespuestaMySQL::sinTablas : RespuestaMySQL::sinServidor;
    r.tablas = 0;
    r.error = donde + "SHOW TABLES: " + e;
    return r;
  }
  despedirse(*sesion);
  if (r.tablas == 0) {
    r.respuesta = RespuestaMySQL::sinTablas;
    r.error = donde + "la base de datos " + textoServidor(p.baseDatos) + " no tiene tablas";
    return r;
  }
  r.respuesta = RespuestaMySQL::conTablas;
  return r;
}

bool abrirConexionMySQL(const ParametrosConexion& conexion, Network& red, Hashes& hashes, Clock& reloj,
                        std::string& error) {
  ParametrosMySQL p;
  if (!leerParametrosMySQL(conexion, p, error)) return false;
  return abrirConexionMySQL(p, red, hashes, reloj, error);
}

}  // namespace tf
