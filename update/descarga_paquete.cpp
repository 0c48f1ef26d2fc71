// The package download step of the main window: the update engine fetches the packages that
// the database and application steps unpack, as the vendor's control file lists them.
#include "core/log.h"
#include "core/mensajes.h"
#include "app/principal.h"
#include "core/vendor.h"

namespace tf {

bool TfrmPrincipal::configurarUpdateEngine1() {
  UpdateEngine1.UpdateUpdate = upSilent;
  UpdateEngine1.VersionCheck = vcAlways;
  UpdateEngine1.ExtractCAB = true;
  UpdateEngine1.Logging = true;
  UpdateEngine1.LogFileName = "UPDATE.LOG";
  UpdateEngine1.Agent = "TUpdateEngine";
  UpdateEngine1.UseWinTempDir = true;
  UpdateEngine1.TempDirectory = "./temp";
  UpdateEngine1.LastURLEntry.Key = "test";
  UpdateEngine1.OnFileProgress = [this](TUpdateEngine&, const std::string& file, int64_t pos, int64_t size) {
    UpdateEngine1FileProgress(file, pos > 0 ? (uint64_t)pos : 0, size > 0 ? (uint64_t)size : 0);
  };
  UpdateEngine1.OnStatus = [this](TUpdateEngine&, const std::string& text, int status, int error) {
    UpdateEngine1Status(text, status, error);
  };
  return true;
}

void TfrmPrincipal::descargarPaqueteInstalacion() {
  registrarLog("Downloading software TurnaliaFree");
  form["lblMensajeAviso"].caption = formatear(msgDescargandoPaquete, {"TurnaliaFree"});
  form.touch();
  UpdateEngine1.URL = "https://" + servidorDescarga + kUrlControlFile;
  UpdateEngine1.RunUpdate(false);
  // The outcome is judged later, by the steps that look for the packages.
  registrarLog("Software TurnaliaFree downloaded successfully !");
}

}  // namespace tf
