#include "uninstall/desinstalacion.h"

#include <exception>
#include <string>
#include <vector>

#include "core/mensajes.h"
#include "core/texto.h"
#include "install/accesos.h"
#include "install/comandos.h"
#include "install/registro.h"
#include "platform/error.h"
#include "sys/comando.h"
#include "sys/servicios.h"
#include "sys/utilidades.h"

namespace tf {

namespace {

// The product's own services: each program removes its own registration.
struct ServicioProducto {
  const char* servicio;
  const char* programa;  // in the installation root; also its process's name
};
const ServicioProducto kServiciosProducto[] = {{"srvKVT_service", "KVT_service.exe"},
                                               {"srvKVT_zkteco", "KVT_zkteco.exe"}};

// The database server: stopped through the service manager so it shuts down cleanly, then any
// copy of it that still runs from the product's own server folder is ended, then the entry goes.
void desinstalarServidorDatos(Ventana& v) {
  if (!isServicioInstalado("KVTDB", v.puertos.services)) {
    v.registrarLog(formatear(msgServicioNoEstaInstalado, {"KVTDB"}));
    return;
  }
  v.registrarLog(formatear(msgServicioInstalado, {"KVTDB"}));
  if (!detenerServicioYEsperar("", "KVTDB", v.puertos.services, v.puertos.ui, v.puertos.clock))
    v.registrarLog("El servicio KVTDB no se ha detenido");
  if (isProcesoEnEjecucion("mysqld.exe", v.puertos.processes))
    terminarProcesosEnCarpeta("mysqld.exe", v.estado.directorioDBMS, v.puertos.processes, v.puertos.log);
  v.registrarLog(EjecutarComando("\"" + programaSistemaEnComando(v, "sc.exe") + " delete KVTDB\"", consola(v)));
}

void desinstalarServicio(Ventana& v, const ServicioProducto& s) {
  if (!isServicioInstalado(s.servicio, v.puertos.services)) {
    v.registrarLog(formatear(msgServicioNoEstaInstalado, {s.servicio}));
    return;
  }
  v.registrarLog(formatear(msgServicioInstalado, {s.servicio}));
  const std::string raiz = v.getDirectorioTurnaliaFree();
  if (isProcesoEnEjecucion(s.programa, v.puertos.processes))
    terminarProcesosEnCarpeta(s.programa, raiz, v.puertos.processes, v.puertos.log);
  const std::string programa = unirRuta(raiz, s.programa);
  if (!ejecutarPrograma(v, programa, " -uninstall -silent"))
    v.registrarLog(formatear(msgProgramaServicioNoEncontrado, {programa, s.servicio}));
}

// The failure outcome of an uninstall that left files in use the restart will not take.
void mostrarArchivosSinProgramar(Ventana& v, const std::vector<std::string>& ficheros) {
  std::string cuerpo = formatear(msgArchivoNoProgramado, {ficheros.front()});
  if (ficheros.size() > 1)
    cuerpo += " " + formatear(msgOtrosArchivosNoProgramados, {std::to_string(ficheros.size() - 1)});
  v.estado.desenlace = Desenlace::DesinstalacionFallida;
  v.form.imgOK().visible = false;
  v.form.imgError().visible = true;
  v.form.lblFinalizacion().caption = msgErrorDesinstalacion;
  v.form.lblFinalizacion1().caption = msgNoDesinstaladoCorrectamente;
  v.form.lblFinalizacion2().caption = cuerpo;
  v.mostrarPanel("pnlFinalizacion");
}

void borrarSiExiste(Files& files, const std::string& fichero) {
  if (files.fileExists(fichero)) files.deleteFile(fichero);
}

// The all-users folders are shared: a link of one of the product's names goes only when it
// starts something in the product's folders.
void borrarSiEsDelProducto(Ventana& v, const std::string& fichero) {
  ShellLink enlace;
  if (!v.puertos.files.fileExists(fichero) || !v.puertos.links.load(fichero, enlace)) return;
  if (isRutaDentroDe(enlace.target, v.getDirectorioTurnaliaFree()) ||
      isRutaDentroDe(enlace.target, v.puertos.sys.windowsDir() + "\\TurnaliaFree"))
    v.puertos.files.deleteFile(fichero);
}

void quitarCarpetaVacia(Files& files, const std::string& carpeta) {
  if (files.folderExists(carpeta)) files.removeFolder(carpeta);
}

}  // namespace

void btnDesinstalarClick(Ventana& v) {
  v.puertos.ui.setBusyCursor(true);
  BorradoAlReiniciar reinicio;
  try {
    reinicio = desinstalarKVT(v);
  } catch (const std::exception& e) {
    v.puertos.ui.setBusyCursor(false);
    v.estado.desenlace = Desenlace::DesinstalacionFallida;
    v.registrarLog(e.what());
    throw;
  }
  v.puertos.ui.setBusyCursor(false);
  if (!reinicio.sinProgramar.empty()) {
    mostrarArchivosSinProgramar(v, reinicio.sinProgramar);
    return;
  }
  v.estado.desenlace = reinicio.programados.empty() ? Desenlace::Desinstalado : Desenlace::DesinstaladoAlReiniciar;
  v.form.lblFinalizacion().caption = msgDesinstalacionCorrecta;
  v.form.lblFinalizacion1().caption = msgAplicacionesDesinstaladas;
  if (!reinicio.programados.empty()) v.form.lblFinalizacion2().caption = msgReiniciarParaTerminar;
  v.mostrarPanel("pnlFinalizacion");
}

BorradoAlReiniciar desinstalarKVT(Ventana& v) {
  const std::string raiz = v.getDirectorioTurnaliaFree();
  if (!isRutaAbsoluta(raiz))
    throw Error("El directorio de instalaci\xF3n \"" + raiz + "\" no es v\xE1lido, desinstalaci\xF3n detenida !");
  desinstalarServidorDatos(v);
  for (const ServicioProducto& s : kServiciosProducto) desinstalarServicio(v, s);
  BorradoAlReiniciar reinicio;
  borrarDirectorio(raiz, true, "kvt*.zip", v.puertos.files, v.puertos.log, &reinicio);
  borrarAplicacionRegistro(v, "TurnaliaFree.exe");
  eliminarAccesosDirectos(v);
  return reinicio;
}

void eliminarAccesosDirectos(Ventana& v) {
  Files& files = v.puertos.files;
  SystemInfo& sys = v.puertos.sys;
  // A silent installation run as LocalSystem put its links in the all-users folders.
  const std::string comun = carpetaDeAccesos(sys, &SystemInfo::commonStartMenuProgramsDir, nullptr);
  if (!comun.empty()) {
    const std::string carpeta = comun + "\\TurnaliaFree";
    borrarSiExiste(files, carpeta + "\\Turnalia Free.lnk");
    borrarSiEsDelProducto(v, carpeta + "\\TurnaliaFree.lnk");
    borrarSiEsDelProducto(v, carpeta + "\\Desinstalar.lnk");
    quitarCarpetaVacia(files, carpeta);
  }
  const std::string usuario = carpetaDeAccesos(sys, &SystemInfo::startMenuProgramsDir, nullptr);
  if (!usuario.empty()) {
    const std::string carpeta = usuario + "\\TurnaliaFree";
    borrarSiExiste(files, carpeta + "\\TurnaliaFree.lnk");
    borrarSiExiste(files, carpeta + "\\Desinstalar.lnk");
    quitarCarpetaVacia(files, carpeta);
  }
  const std::string escritorio = carpetaDeAccesos(sys, &SystemInfo::desktopDir, nullptr);
  if (!escritorio.empty()) borrarSiExiste(files, escritorio + "\\Turnalia Free.lnk");
  const std::string escritorioComun = carpetaDeAccesos(sys, &SystemInfo::commonDesktopDir, nullptr);
  if (!escritorioComun.empty()) borrarSiEsDelProducto(v, escritorioComun + "\\Turnalia Free.lnk");
}

}  // namespace tf
