// The package download step of the main window: the update engine fetches the packages that
// the database and application steps unpack, as the vendor's control file lists them.
#include "app/log.h"
#include "app/mensajes.h"
#include "app/principal.h"
#include "app/vendor.h"

namespace tf {

bool TfrmPrincipal::configurarWebUpdate1() {
  WebUpdate1.UpdateUpdate = wuuSilent;
  WebUpdate1.VersionCheck = vcAlways;
  WebUpdate1.ExtractCAB = true;
  WebUpdate1.Logging = true;
  WebUpdate1.LogFileName = "WUPDATE.LOG";
  WebUpdate1.Agent = "TWebUpdate";
  WebUpdate1.UseWinTempDir = true;
  WebUpdate1.TempDirectory = "./temp";
  WebUpdate1.LastURLEntry.Key = "test";
  WebUpdate1.OnFileProgress = [this](TWebUpdate&, const std::string& file, int64_t pos, int64_t size) {
    WebUpdate1FileProgress(file, pos > 0 ? (uint64_t)pos : 0, size > 0 ? (uint64_t)size : 0);
  };
  WebUpdate1.OnStatus = [this](TWebUpdate&, const std::string& text, int status, int error) {
    WebUpdate1Status(text, status, error);
  };
  return true;
}

void TfrmPrincipal::descargarPaqueteInstalacion() {
  registrarLog("Downloading software TurnaliaFree");
  form["lblMensajeAviso"].caption = formatear(msgDescargandoPaquete, {"TurnaliaFree"});
  form.touch();
  WebUpdate1.URL = "https://" + servidorDescarga + kUrlControlFile;
  WebUpdate1.RunUpdate(false);
  // The outcome is judged later, by the steps that look for the packages.
  registrarLog("Software TurnaliaFree downloaded successfully !");
}

}  // namespace tf
