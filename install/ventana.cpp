#include "install/ventana.h"

#include "core/carpetas.h"

namespace tf {

Ventana::Ventana(Puertos p)
    : puertos(p),
      // Downloads retried after a dropped connection say so in the installation log.
      FileTransfer1(p.internet, p.files, p.clock, [this] { puertos.ui.processMessages(); }, &p.log),
      FormPoster1(p.internet, p.ui, [this] { puertos.ui.processMessages(); }),
      UnZipper1(p.files) {}

std::string Ventana::getDirectorioTemporal() const { return tf::getDirectorioTemporal(getDirectorioTurnaliaFree()); }
std::string Ventana::getDirectorioUtilidades() const {
  return tf::getDirectorioUtilidades(getDirectorioTurnaliaFree());
}
std::string Ventana::getDirectorioBackUp() const { return tf::getDirectorioBackUp(getDirectorioTurnaliaFree()); }
std::string Ventana::getDirectorioTemporalInstalador() const {
  return tf::getDirectorioTemporalInstalador(puertos.sys.exePath());
}

}  // namespace tf
