#include "install/ventana.h"

#include "core/carpetas.h"
#include "core/crc32.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"
#include "update/update_engine.h"
#include "zip/unzipper.h"

namespace tf {

struct Ventana::Componentes {
  TFileTransfer FileTransfer1;
  TFormPoster FormPoster1;
  TUpdateEngine UpdateEngine1;
  UnZipper UnZipper1;
  ParametrosConexion SQLConnection1{parametrosConexionInicial()};

  Componentes(Ventana& v, Puertos& p)
      // Downloads retried after a dropped connection say so in the installation log.
      : FileTransfer1(p.internet, p.files, p.clock, [&v] { v.procesarMensajes(); }, &p.log),
        FormPoster1(p.internet, p.ui, [&v] { v.procesarMensajes(); }),
        UnZipper1(p.files) {}
};

Ventana::Ventana(Puertos p)
    : puertos(p),
      componentes_(std::make_unique<Componentes>(*this, puertos)),
      FileTransfer1(componentes_->FileTransfer1),
      FormPoster1(componentes_->FormPoster1),
      UpdateEngine1(componentes_->UpdateEngine1),
      UnZipper1(componentes_->UnZipper1),
      SQLConnection1(componentes_->SQLConnection1) {}

Ventana::~Ventana() = default;

std::string Ventana::getDirectorioTemporal() const { return tf::getDirectorioTemporal(getDirectorioTurnaliaFree()); }
std::string Ventana::getDirectorioUtilidades() const {
  return tf::getDirectorioUtilidades(getDirectorioTurnaliaFree());
}
std::string Ventana::getDirectorioBackUp() const { return tf::getDirectorioBackUp(getDirectorioTurnaliaFree()); }
std::string Ventana::getDirectorioTemporalInstalador() const {
  return tf::getDirectorioTemporalInstalador(puertos.sys.exePath());
}

}  // namespace tf
