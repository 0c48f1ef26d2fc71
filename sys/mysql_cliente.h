// The database login probe: does a MySQL/MariaDB server accept this user, password and database,
// and does that database hold tables?
// It speaks the client/server protocol itself (handshake v10, HandshakeResponse41,
// mysql_native_password), so no driver library is needed on the machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/crc32.h"
#include "platform/crypto.h"
#include "platform/net.h"
#include "platform/ports.h"

namespace tf {

// A local server refuses or accepts at once; a firewall that drops the connection gets 3 s.
constexpr unsigned kEsperaConexionMySQLMs = 3000;
// A live server greets and judges the login in milliseconds; a busy one (starting, swapping)
// gets 5 s for the whole login. The window waits meanwhile, so the worst case stays near 8 s.
constexpr unsigned kEsperaRespuestaMySQLMs = 5000;

struct ParametrosMySQL {
  std::string host;
  uint16_t puerto = 3306;
  std::string usuario;
  std::string password;
  std::string baseDatos;  // "" connects without choosing one
  unsigned esperaConexionMs = kEsperaConexionMySQLMs;  // for the TCP connection
  unsigned esperaRespuestaMs = kEsperaRespuestaMySQLMs;  // for everything after it, in all
};

// Reads a connection's parameter list: "HostName" ("host" or "host:port"; 3306 by default),
// "DataBase", "User_Name", "Password" (names without case). False with `error` when HostName
// holds no host or an unusable port.
bool leerParametrosMySQL(const ParametrosConexion& conexion, ParametrosMySQL& out, std::string& error);

// Logs in and, when the server accepts, says goodbye (COM_QUIT) and closes again.
// True: the server at host:port accepted the user with that password for that database.
// False: anything else (no server, refused login, unknown database, an authentication method
// other than mysql_native_password, a malformed or oversized answer, silence); `error` then
// tells why, for the log. Never waits longer than the two time-outs together (plus the
// system's name lookup, immediate for "localhost"); never raises.
bool abrirConexionMySQL(const ParametrosMySQL& parametros, Network& red, Hashes& hashes, Clock& reloj,
                        std::string& error);

// What the product database answered when its tables were asked for.
enum class RespuestaMySQL {
  conTablas,    // the login was accepted and SHOW TABLES listed at least one table
  sinTablas,    // the server does not know the database, or it lists no table
  rechazada,    // the server refused the login (user, password, authentication method, host)
  sinServidor,  // nothing to connect to, or no MySQL server answering in time
};

struct ComprobacionMySQL {
  RespuestaMySQL respuesta = RespuestaMySQL::sinServidor;
  size_t tablas = 0;
  std::string error;  // why it is not conTablas, for the log
};

// Logs in as abrirConexionMySQL does, lists the database's tables with SHOW TABLES (text
// protocol, rows counted) and says goodbye. The same time-outs bound the whole exchange; never
// raises.
ComprobacionMySQL comprobarTablasMySQL(const ParametrosMySQL& parametros, Network& red, Hashes& hashes, Clock& reloj);

// The same from the window's connection parameters (leerParametrosMySQL, default time-outs).
bool abrirConexionMySQL(const ParametrosConexion& conexion, Network& red, Hashes& hashes, Clock& reloj,
                        std::string& error);

}  // namespace tf
