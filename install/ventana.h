// The window as its steps see it: the run's state, the form, the OS ports and the components,
// plus the few window operations the steps call back. The main window (app/) derives from it
// and adds start-up, navigation and the view's wiring; the steps (install/, uninstall/,
// report/) take it by reference and never see app/. No engine header comes in through here: a
// step includes the headers of the components it uses.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "install/estado.h"
#include "install/formulario_ventana.h"
#include "install/puertos.h"

namespace tf {

class ParametrosConexion;
class TFileTransfer;
class TFormPoster;
class TUpdateEngine;
class UnZipper;

class Ventana {
 public:
  explicit Ventana(Puertos p);
  virtual ~Ventana();
  Ventana(const Ventana&) = delete;
  Ventana& operator=(const Ventana&) = delete;

  // Window operations the steps call.
  virtual void mostrarPanel(const std::string& panel) = 0;
  virtual void mostrarAlerta(const std::string& message) = 0;
  void registrarLog(const std::string& message) { puertos.log.registrarLog(message); }
  void procesarMensajes() { puertos.ui.processMessages(); }
  std::string getWindowsID() { return puertos.sys.windowsProductId(); }

  // Folders: composed from the installation root (a label's caption) and the program's path.
  std::string getDirectorioTurnaliaFree() const { return form.lblDirectorioRaizInstalacion().caption; }
  std::string getDirectorioTemporal() const;
  std::string getDirectorioUtilidades() const;
  std::string getDirectorioBackUp() const;
  std::string getDirectorioTemporalInstalador() const;

  // The window's download routine (install/descarga_web.cpp): fetches url into targetDir as
  // targetDir + "\" + the URL's last segment; callers check for the file afterwards.
  virtual void decargarArchivoWeb(const std::string& url, const std::string& targetDir);
  void FileTransfer1CopyProgress(TFileTransfer& Sender, int fileidx, uint32_t size, uint32_t totsize);

  Puertos puertos;
  FormularioVentana form;
  EstadoInstalador estado;

 private:
  struct Componentes;
  std::unique_ptr<Componentes> componentes_;  // before the references below, which name its parts

 public:
  // The components, each declared in its own header (transfer/, update/, zip/, core/crc32.h).
  TFileTransfer& FileTransfer1;
  TFormPoster& FormPoster1;
  TUpdateEngine& UpdateEngine1;
  UnZipper& UnZipper1;
  ParametrosConexion& SQLConnection1;

 private:
  uint64_t ultimoRefresco_ = 0;  // tick of the last progress repaint request
  bool refrescoPendiente_ = false;
};

}  // namespace tf
