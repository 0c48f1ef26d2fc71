#include "install/aplicacion.h"

#include "core/carpetas.h"
#include "core/mensajes.h"
#include "install/comandos.h"
#include "install/registro.h"
#include "platform/error.h"
#include "sys/servicios.h"
#include "zip/unzipper.h"

namespace tf {

namespace {

// A product service: registered by its own program when absent, then asked to start. Neither
// outcome stops the installation; the program's output is in the log.
void instalarServicio(Ventana& v, const char* anuncio, const char* servicio, const char* programa,
                      const char* arranque) {
  v.registrarLog(anuncio);
  if (!isServicioInstalado(servicio, v.puertos.services))
    ejecutarYRegistrar(v, rutaCortaEnCarpeta(v, v.getDirectorioTurnaliaFree(), programa), " -install -silent");
  v.registrarLog(arranque);
  iniciarServicioYEsperar("", servicio, v.puertos.services, v.puertos.ui, v.puertos.clock);
}

}  // namespace

bool EjecutarComando4N(Ventana& v) {
  v.registrarLog("check if TurnaliaFree package file exists ...");
  const std::string paquete = unirRuta(v.getDirectorioTemporalInstalador(), v.estado.ficheroAplicacion);
  if (!v.puertos.files.fileExists(paquete)) throw Error(formatear(msgFicheroNoDescargado, {v.estado.ficheroAplicacion}));
  v.registrarLog("Application file exists !");
  Control& barra = v.form.ProgressBar2();
  barra.position = 0;
  barra.maximum = 100;
  v.form.touch();

  v.UnZipper1.open(paquete);
  v.registrarLog("expanding Application file " + paquete);
  try {
    v.UnZipper1.baseDirectory = v.getDirectorioTurnaliaFree();
    v.UnZipper1.extractFiles("*.*");
  } catch (...) {
    v.UnZipper1.close();
    throw;
  }
  v.UnZipper1.close();

  instalarServicio(v, "Instaling utils service ...", "srvKVT_service", "KVT_service.exe", "starting KVT service ...");
  instalarServicio(v, "Instaling zkteco service ...", "srvKVT_zkteco", "KVT_zkteco.exe", "starting zkteco service ...");
  incluirAplicionEnElRegistro(v);
  return true;
}

}  // namespace tf
