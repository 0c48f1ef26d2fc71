#include "install/ticador.h"

#include "core/carpetas.h"
#include "core/mensajes.h"
#include "core/vendor.h"
#include "install/comandos.h"
#include "zip/unzipper.h"

namespace tf {

namespace {

// Extracts the entries matching `mascara` into `destino` under the hourglass; a failure is
// shown and the client installation goes on. An archive that cannot be opened ends the run.
void extraer(Ventana& v, const std::string& archivo, const std::string& destino, const char* mascara) {
  v.UnZipper1.open(archivo);
  v.puertos.ui.setBusyCursor(true);
  try {
    v.UnZipper1.baseDirectory = destino;
    v.UnZipper1.extractFiles(mascara);
    v.UnZipper1.close();
  } catch (const std::exception& e) {
    v.UnZipper1.close();
    v.mostrarAlerta(e.what());
  }
  v.puertos.ui.setBusyCursor(false);
}

void etapa(Ventana& v, const char* texto) {
  v.form.lblMensajeAviso().caption = texto;
  v.form.touch();
}

}  // namespace

void descargarSoftwareTicador(Ventana& v) {
  const std::string temporal = v.getDirectorioTemporal();
  v.registrarLog(msgDescargandoLibrerias);
  etapa(v, "Descargando utilidades ...");
  // The client has no offline form: both archives always come from the vendor.
  v.decargarArchivoWeb(vendorUrl(kUrlUtils), temporal);
  const std::string utils = unirRuta(temporal, "utils.zip");
  if (v.puertos.files.fileExists(utils)) {
    extraer(v, utils, v.puertos.sys.systemDir(), "*.dll");
    v.registrarLog("Registering file midas.dll");
    v.puertos.shell.startHidden(programaSistema(v, "regsvr32.exe"), "/s midas.dll");
  } else {
    v.mostrarAlerta("No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal");
  }

  etapa(v, "Descargando software ticador ...");
  v.decargarArchivoWeb(vendorUrl(kUrlTicador), temporal);
  const std::string cliente = unirRuta(temporal, "turnaliafree.zip");
  if (v.puertos.files.fileExists(cliente))
    extraer(v, cliente, v.getDirectorioTurnaliaFree(), "kvt_ticador.exe");
  else
    v.mostrarAlerta("No se encontr\xF3 el fichero \"turnaliafree.zip\" en el directorio temporal");
}

}  // namespace tf
