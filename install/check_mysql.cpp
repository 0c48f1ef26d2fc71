#include "install/check_mysql.h"

#include "core/crc32.h"
#include "core/mensajes.h"
#include "platform/error.h"
#include "sys/mysql_cliente.h"
#include "sys/utilidades.h"

namespace tf {

bool checkMySQL(Ventana& v) {
  v.registrarLog("checkMySQL");
  v.estado.dbmsEnEjecucion = false;
  v.registrarLog(msgComprobandoServicios);
  v.estado.dbmsEnEjecucion = isProcesoEnEjecucion("mysqld.exe", v.puertos.processes);
  if (v.estado.dbmsEnEjecucion) {
    // Only the product's own server accepts root with the derived password for its database:
    // installing over it would overwrite a live database.
    try {
      v.SQLConnection1.setValue("database", "turnaliafree");
      v.SQLConnection1.setValue("password", v.estado.passwordDBMS);
      std::string error;
      if (abrirConexionMySQL(v.SQLConnection1, v.puertos.net, v.puertos.hashes, v.puertos.clock, error)) {
        v.mostrarAlerta("Ya existe una instalaci\xF3n de MySQL para TurnaliaFree en este Equipo, no es posible continuar");
        return false;
      }
    } catch (...) {
      // Any failure of the probe counts as a server that is not the product's.
    }
  }
  const std::string carpeta = v.puertos.sys.programFilesDir() + "\\MySQL";
  if (!v.puertos.files.folderExists(carpeta) && !v.puertos.files.createFolders(carpeta))
    throw Error(formatear(msgNoCrearDirectorio, {carpeta}));
  return true;
}

}  // namespace tf
