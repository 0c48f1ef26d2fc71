// The package download step of the main window: the update engine fetches the packages that
// the database and application steps unpack, as the vendor's control file lists them.
#include <cmath>

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
  WebUpdate1.OnFileProgress = [this](TWebUpdate& sender, const std::string& file, int64_t pos, int64_t size) {
    WebUpdate1FileProgress(sender, file, pos, size);
  };
  WebUpdate1.OnStatus = [this](TWebUpdate& sender, const std::string& text, int status, int error) {
    WebUpdate1Status(sender, text, status, error);
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

void TfrmPrincipal::WebUpdate1FileProgress(TWebUpdate&, const std::string&, int64_t Pos, int64_t Size) {
  Control& bar = form["AdvSmoothProgressBar2"];
  auto clamp = [](int64_t v) { return v > 0x7FFFFFFF ? 0x7FFFFFFF : v < 0 ? 0 : (int)v; };
  bar.maximum = clamp(Size);
  bar.position = clamp(Pos);
  // Without an announced size there is no percentage to show (and no division by zero).
  long long percent = Size > 0 ? (long long)std::trunc((double)Pos / (double)Size * 100.0) : 0;
  form["lblProgresoInstalacion"].caption = std::to_string(percent) + "% " + msgCompletado;
  form.touch();
}

void TfrmPrincipal::WebUpdate1Status(TWebUpdate&, const std::string& StatusStr, int StatusCode, int) {
  if (StatusCode == 2) registrarLog(StatusStr + "\r" + "Update discontinued");
}

}  // namespace tf
