#include "install/dbms.h"

#include <cstdio>

#include "core/carpetas.h"
#include "core/mensajes.h"
#include "install/aplicacion.h"
#include "install/comandos.h"
#include "platform/error.h"
#include "sys/mysql_cliente.h"
#include "sys/servicios.h"
#include "zip/unzipper.h"

namespace tf {

namespace {

const char* const kServicioDBMS = "KVTDB";
const char* const kScript = "temp_turnaliafree.sql";
const char* const kBaseDatos = "turnaliafree";
const char* const kHostDBMS = "127.0.0.1";
constexpr uint16_t kPuertoDBMS = 3307;

// Runs one of the server's programs; a missing one is logged.
void ejecutarServidor(Ventana& v, const char* nombre, const std::string& resto) {
  const std::string ruta = v.estado.directorioDBMS + "\\bin\\" + nombre;
  if (!ejecutarPrograma(v, ruta, resto)) v.registrarLog(formatear(msgProgramaNoEncontrado, {ruta}));
}

std::string sello(const LocalTime& t) {
  char b[24];
  std::snprintf(b, sizeof b, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

// An earlier data folder would be mixed with the package's: InnoDB's system tablespace still
// lists the old product tables, so the schema could not make them again. The whole folder
// leaves for BackUp beside the server (which the uninstaller keeps), as it was, so a server
// pointed at it serves it again; it is never deleted. When it cannot be kept, nothing goes on.
void apartarDatosAnteriores(Ventana& v) {
  const std::string carpeta = v.estado.directorioDBMS + "\\data";
  if (!v.puertos.files.folderExists(carpeta)) return;
  v.registrarLog("Eliminando directorio " + carpeta);
  const std::string copias = v.estado.directorioDBMS + "\\BackUp";
  const std::string copia = copias + "\\data_" + sello(v.puertos.clock.now());
  if (!v.puertos.files.createFolders(copias) || !v.puertos.files.moveFile(carpeta, copia, false))
    throw Error("No se pudo guardar la base de datos anterior " + carpeta + " en " + copia +
                ", instalaci\xF3n detenida !");
  v.registrarLog("Base de datos anterior guardada en " + copia);
}

void expandirDBMS(Ventana& v, const std::string& paquete) {
  v.registrarLog("DBMS file exists !");
  Control& barra = v.form.ProgressBar2();
  barra.position = 0;
  barra.maximum = 100;
  v.form.touch();
  v.registrarLog("expanding DBMS file ...");
  v.UnZipper1.open(paquete);
  v.puertos.ui.setBusyCursor(true);
  try {
    v.UnZipper1.baseDirectory = v.puertos.sys.programFilesDir() + "\\MySQL";
    v.UnZipper1.extractFiles("*.*");
    v.UnZipper1.close();
  } catch (...) {
    v.UnZipper1.close();
    v.puertos.ui.setBusyCursor(false);
    throw;
  }
  v.puertos.ui.setBusyCursor(false);
  v.registrarLog("DBMS file expanded successfully !");
  v.registrarLog(v.puertos.files.deleteFile(paquete) ? "DBMS managed successfully !" : "DBMS management Failed !");
}

void actualizarIni(Ventana& v) {
  v.registrarLog("updating ini file ...");
  const std::string ruta = v.estado.directorioDBMS + "\\data\\my.ini";
  std::string contenido;
  if (!v.puertos.files.fileExists(ruta) || !v.puertos.files.readFile(ruta, contenido))
    throw Error(msgIniNoEncontrado);
  if (!v.puertos.files.writeFile(ruta, reescribirIni(contenido, v.estado.directorioDBMS, ruta)))
    throw Error("No se pudo escribir el fichero " + ruta + ", instalaci\xF3n detenida !");
  v.registrarLog("ini file updated successfully !");
}

void iniciarDBMS(Ventana& v) {
  EjecutarComando2N(v);
  v.registrarLog("starting DBMS ...");
  if (!isServicioInstalado(kServicioDBMS, v.puertos.services)) throw Error("No se ha instalado el servicio KVTDB");
  if (!iniciarServicioYEsperar("", kServicioDBMS, v.puertos.services, v.puertos.ui, v.puertos.clock))
    throw Error(formatear(msgServicioNoInstalado, {kServicioDBMS}));
  v.registrarLog("DBMS started !");
}

}  // namespace

std::string reescribirIni(const std::string& contenido, const std::string& directorioDBMS, const std::string& ruta) {
  // Lines end in CR LF, LF or CR; a final line break does not start another line.
  std::vector<std::string> lineas;
  std::string actual;
  for (size_t i = 0; i < contenido.size(); ++i) {
    char c = contenido[i];
    if (c != '\r' && c != '\n') {
      actual += c;
      continue;
    }
    if (c == '\r' && i + 1 < contenido.size() && contenido[i + 1] == '\n') ++i;
    lineas.push_back(actual);
    actual.clear();
  }
  if (!actual.empty()) lineas.push_back(actual);
  if (lineas.size() < 2)
    throw Error("El fichero " + ruta + " tiene menos de dos l\xEDneas, instalaci\xF3n detenida !");
  lineas[1] = "datadir=\"" + directorioDBMS + "\\Data\\\"";
  std::string salida;
  for (const std::string& l : lineas) salida += l + "\r\n";
  return salida;
}

bool EjecutarComando2N(Ventana& v) {
  v.registrarLog("installing DBMS as service ...");
  ejecutarServidor(v, "mysqld.exe",
                     " --install KVTDB --defaults-file=\"" + v.estado.directorioDBMS + "\\data\\my.ini\"");
  return true;
}

bool EjecutarComando1N(Ventana& v) {
  v.registrarLog("setting root password ...");
  ejecutarServidor(v, "mysqladmin.exe", " --port 3307 -u root password " + v.estado.passwordDBMS);
  return true;
}

bool EjecutarComando3N(Ventana& v) {
  const std::string temporal = v.getDirectorioTemporalInstalador();
  if (!v.puertos.files.fileExists(unirRuta(temporal, kScript)))
    throw Error(formatear(msgArchivoNoEncontrado, {kScript, temporal + "\\"}));
  v.registrarLog("generating script database file ...");
  ejecutarServidor(v, "mysql.exe",
                     " -P3307 -uroot -p" + v.estado.passwordDBMS + " < \"" + unirRuta(temporal, kScript) + "\"");
  return true;
}

void instalarSoftware(Ventana& v) {
  v.registrarLog("Install software TurnaliaFree");
  v.form.lblMensajeAviso().caption = formatear(msgInstalandoSoftware, {"TurnaliaFree"});
  v.form.touch();
  v.registrarLog("check if DBMS file exists ...");
  // Without the package the run stops here: the old database stays where the server finds it.
  const std::string paquete = unirRuta(v.getDirectorioTemporalInstalador(), v.estado.ficheroDBMS);
  if (!v.puertos.files.fileExists(paquete)) throw Error(msgDBMSNoDescargado);
  apartarDatosAnteriores(v);
  try {
    expandirDBMS(v, paquete);
  } catch (const std::exception& e) {
    throw Error(e.what() + std::string(msgInstalacionDetenida));
  }

  actualizarIni(v);
  if (!v.puertos.files.folderExists(v.estado.directorioDBMS + "\\bin\\")) throw Error(msgNoExisteDirectorioDBMS);
  v.procesarMensajes();
  // A server process found running at the check is left as it is: no registration, no start.
  if (!v.estado.dbmsEnEjecucion) iniciarDBMS(v);

  EjecutarComando1N(v);
  EjecutarComando3N(v);
  comprobarBaseDatos(v);
  EjecutarComando4N(v);
}

void comprobarBaseDatos(Ventana& v) {
  const std::string servidor = std::string(kHostDBMS) + ":" + std::to_string(kPuertoDBMS);
  v.registrarLog("Comprobando la base de datos " + std::string(kBaseDatos) + " en " + servidor + " ...");
  ParametrosMySQL p;
  p.host = kHostDBMS;
  p.puerto = kPuertoDBMS;
  p.usuario = "root";
  p.password = v.estado.passwordDBMS;
  p.baseDatos = kBaseDatos;
  const ComprobacionMySQL r = comprobarTablasMySQL(p, v.puertos.net, v.puertos.hashes, v.puertos.clock);
  if (r.respuesta == RespuestaMySQL::conTablas) {
    v.registrarLog("La base de datos " + std::string(kBaseDatos) + " responde con " + std::to_string(r.tablas) +
                   " tablas");
    return;
  }
  v.registrarLog("La base de datos " + std::string(kBaseDatos) + " no responde como debe: " + r.error);
  switch (r.respuesta) {
    case RespuestaMySQL::sinServidor:
      if (v.estado.dbmsEnEjecucion)
        v.registrarLog("Otro programa mysqld.exe estaba en ejecuci\xF3n: el servicio KVTDB no se registr\xF3 "
                       "ni se inici\xF3");
      throw Error(formatear(msgBaseDatosNoResponde, {servidor}));
    case RespuestaMySQL::rechazada:
      throw Error(formatear(msgBaseDatosClaveRechazada, {servidor}));
    default:
      throw Error(formatear(msgBaseDatosSinTablas, {kBaseDatos}));
  }
}

}  // namespace tf
