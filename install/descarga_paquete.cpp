// The package download step of the main window: the update engine fetches the packages that
// the database and application steps unpack, as the vendor's control file lists them.
#include "install/descarga_paquete.h"

#include <exception>

#include "core/mensajes.h"
#include "core/vendor.h"
#include "update/update_engine.h"

namespace tf {

void descargarPaqueteInstalacion(Ventana& v) {
  v.registrarLog("Downloading software TurnaliaFree");
  v.form.lblMensajeAviso().caption = formatear(msgDescargandoPaquete, {"TurnaliaFree"});
  v.form.touch();
  v.UpdateEngine1.URL = "https://" + v.estado.servidorDescarga + kUrlControlFile;
  try {
    v.UpdateEngine1.RunUpdate(false);
  } catch (const std::exception& e) {
    // The engine gives up only on data it cannot write (or a folder it cannot name), after
    // closing its connection. Like any other engine failure this leaves packages missing,
    // which the next steps report; the installation goes on to them.
    v.registrarLog(std::string(e.what()) + "\r" + "Update discontinued");
  }
  // The outcome is judged later, by the steps that look for the packages.
  v.registrarLog("Software TurnaliaFree downloaded successfully !");
}

}  // namespace tf
