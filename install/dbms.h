// The database server: unpacking, configuration, its service, the root password and the schema.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// The database server, its password and schema, then the application and its services.
void instalarSoftware(Ventana& v);

// The three console commands of the database server; each logs its output. True unless an
// error is raised (their own failures show only in the log).
bool EjecutarComando2N(Ventana& v);  // registers the service KVTDB
bool EjecutarComando1N(Ventana& v);  // gives root the derived password
bool EjecutarComando3N(Ventana& v);  // loads the schema script

// The product database as the product will use it: root with the derived password on
// 127.0.0.1:3307, database "turnaliafree", at least one table. Logs what it found; otherwise
// throws Error naming what is missing (no server answering, password refused, no tables).
void comprobarBaseDatos(Ventana& v);

// my.ini with its second line naming the data folder; CR LF line ends. Throws Error when the
// file has fewer than two lines.
std::string reescribirIni(const std::string& contenido, const std::string& directorioDBMS,
                          const std::string& ruta);

}  // namespace tf
