#include "install/utilidades.h"

#include "core/carpetas.h"
#include "core/mensajes.h"
#include "core/vendor.h"
#include "install/comandos.h"
#include "platform/error.h"
#include "sys/utilidades.h"
#include "zip/unzipper.h"

namespace tf {

namespace {

const char* const kClavePath = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char* const kNoUtils = "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal";

// Where each kind of entry goes: components into the system folder, tools into Utils.
void extraerUtilidades(Ventana& v, const std::string& archivo) {
  v.UnZipper1.open(archivo);  // an archive that cannot be opened ends the run
  v.puertos.ui.setBusyCursor(true);
  try {
    v.UnZipper1.baseDirectory = v.puertos.sys.systemDir();
    v.UnZipper1.extractFiles("*.dll");
    v.UnZipper1.baseDirectory = v.puertos.sys.systemDir();
    v.UnZipper1.extractFiles("*.ocx");
    v.UnZipper1.baseDirectory = v.getDirectorioUtilidades();
    v.UnZipper1.extractFiles("*.exe");
    v.UnZipper1.close();
  } catch (const std::exception& e) {
    v.UnZipper1.close();
    v.mostrarAlerta(e.what());
  }
  v.puertos.ui.setBusyCursor(false);
}

void registrarComponente(Ventana& v, const std::string& componente) {
  v.registrarLog("Registering file " + componente);
  // The registration runs on its own; its outcome is not awaited.
  v.puertos.shell.startHidden(programaSistema(v, "regsvr32.exe"), "/s " + componente);
}

std::string entradaNormalizada(std::string e) {
  if (e.size() >= 2 && e.front() == '"' && e.back() == '"') e = e.substr(1, e.size() - 2);
  while (!e.empty() && e.back() == '\\') e.pop_back();
  return e;
}

}  // namespace

bool pathContieneCarpeta(const std::string& path, const std::string& carpeta) {
  const std::string buscada = entradaNormalizada(carpeta);
  size_t inicio = 0;
  while (inicio <= path.size()) {
    size_t fin = path.find(';', inicio);
    if (fin == std::string::npos) fin = path.size();
    std::string entrada = entradaNormalizada(path.substr(inicio, fin - inicio));
    if (!entrada.empty() && igualesSinMayusculas(entrada, buscada)) return true;
    inicio = fin + 1;
  }
  return false;
}

RegistryValue leerPathSistema(Registry& registro) {
  std::unique_ptr<RegistryKey> clave = registro.open(RegistryRoot::LocalMachine, kClavePath, RegistryAccess::Read);
  if (!clave) throw Error(std::string("No se puede abrir la clave ") + kClavePath);
  return clave->read("Path");
}

void escribirPathSistema(Registry& registro, Shell& shell, const std::string& path) {
  std::unique_ptr<RegistryKey> clave = registro.open(RegistryRoot::LocalMachine, kClavePath, RegistryAccess::Write);
  if (!clave) throw Error(std::string("No se puede abrir la clave ") + kClavePath);
  clave->writeExpandString("Path", path);
  shell.broadcastEnvironmentChange();
}

void incluirUtilidadesEnPath(Ventana& v) {
  const std::string utils = v.getDirectorioUtilidades();
  const std::string noSeAnade = "; no se a\xF1" "ade " + utils;
  // What cannot be read whole is never rewritten: the new value would replace every entry.
  RegistryValue path;
  try {
    path = leerPathSistema(v.puertos.registry);
  } catch (const std::exception& e) {
    v.registrarLog("No se puede leer el Path del sistema (" + std::string(e.what()) + ")" + noSeAnade);
    return;
  }
  if (path.type != RegistryType::None && path.type != RegistryType::String &&
      path.type != RegistryType::ExpandString) {
    v.registrarLog("El Path del sistema no es un texto" + noSeAnade);
    return;
  }
  // Characters Windows-1252 lacks would come back as "?": rewriting would damage every entry.
  if (!path.exact) {
    v.registrarLog("El Path del sistema contiene caracteres que no se pueden conservar" + noSeAnade);
    return;
  }
  if (pathContieneCarpeta(path.text, utils)) return;
  escribirPathSistema(v.puertos.registry, v.puertos.shell, path.text.empty() ? utils : path.text + ";" + utils);
}

void instalarUtilidades(Ventana& v) {
  v.registrarLog(msgDescargandoLibrerias);
  v.form.lblMensajeAviso().caption = "Descargando utilidades ...";
  v.form.touch();
  const std::string copia = unirRuta(v.getDirectorioTemporal(), "utils.zip");
  if (v.estado.descargasActivas) {
    v.decargarArchivoWeb(vendorUrl(kUrlUtils), v.getDirectorioTemporal());
  } else {
    const std::string local = unirRuta(extraerDirectorio(v.puertos.sys.exePath()), "utils.zip");
    if (v.puertos.files.fileExists(local)) v.puertos.files.copyFile(local, copia, false);
  }
  if (!v.puertos.files.fileExists(copia)) {
    v.mostrarAlerta(kNoUtils);
    return;
  }
  extraerUtilidades(v, copia);
  for (const char* componente : {"biokey.ocx", "zkemkeeper.dll", "midas.dll"}) registrarComponente(v, componente);
  incluirUtilidadesEnPath(v);
}

}  // namespace tf
