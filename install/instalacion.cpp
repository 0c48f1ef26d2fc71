// The installation run, read as a table of contents: each line is one step of its own file.
#include "install/instalacion.h"

#include <exception>

#include "core/carpetas.h"
#include "core/mensajes.h"
#include "install/accesos.h"
#include "install/check_mysql.h"
#include "install/dbms.h"
#include "install/descarga_paquete.h"
#include "install/preparacion.h"
#include "install/ticador.h"
#include "platform/error.h"
#include "report/informe.h"

namespace tf {

namespace {

// Lets the window repaint, then gives what was started (registrations, services) a moment.
void pausa(Ventana& v) {
  v.procesarMensajes();
  v.puertos.clock.sleepMs(250);
}

// An offline installation takes the packages from the installer's own folder and leaves them
// where the database and application steps read them: the installer's Temp folder.
void copiarPaquetesLocales(Ventana& v) {
  const std::string origen = extraerDirectorio(v.puertos.sys.exePath());
  const std::string destino = v.getDirectorioTemporalInstalador();
  bool carpetaCreada = false;
  for (const std::string& nombre : {std::string("temp_turnaliafree.sql"), v.estado.ficheroDBMS, v.estado.ficheroAplicacion}) {
    if (!v.puertos.files.fileExists(unirRuta(origen, nombre))) continue;
    if (!carpetaCreada) {
      // Started from read-only media (a DVD, a read-only share): without this folder nothing can
      // be installed, and "not downloaded" would send the administrator after the wrong fault.
      carpetaCreada = v.puertos.files.folderExists(destino) || v.puertos.files.createFolders(destino);
      if (!carpetaCreada) throw Error(formatear(msgNoCrearTemporal, {destino}));
    }
    v.puertos.files.copyFile(unirRuta(origen, nombre), unirRuta(destino, nombre), false);
  }
}

}  // namespace

void instalar(Ventana& v) {
  v.mostrarPanel("pnlProgreso");
  try {
    if (v.estado.modoTicador == 1) {
      prepararInstalacionTicador(v);
      instalarSoftwareTicador(v);
      v.mostrarPanel("pnlFinalizacion");
    } else {
      if (!checkMySQL(v)) return;
      prepararInstalacion(v);
      instalarKVT(v);
      confirmar_instalacion(v, false);
      v.mostrarPanel("pnlFinalizacion");
    }
    // A step that showed a failure and went on has already settled the outcome.
    if (v.estado.desenlace == Desenlace::Pendiente) v.estado.desenlace = Desenlace::Instalado;
  } catch (const std::exception& e) {
    v.mostrarAlerta(e.what());
  }
}

void instalarKVT(Ventana& v) {
  if (v.estado.descargasActivas) descargarPaqueteInstalacion(v);
  else copiarPaquetesLocales(v);
  pausa(v);
  instalarSoftware(v);
  crearAccesosDirectos(v);
}

void instalarSoftwareTicador(Ventana& v) {
  descargarSoftwareTicador(v);
  pausa(v);
  crearAccesosDirectosTicador(v);
}

}  // namespace tf
