// The window as its steps see it: the installer's state, the form model, the OS ports and the
// components, plus the few window operations the steps call back. The main window (app/)
// derives from it and adds start-up, navigation and the view's wiring; the steps (install/,
// uninstall/, report/) take it by reference and never see app/.
#pragma once
#include <string>
#include <vector>

#include "core/crc32.h"
#include "core/form_model.h"
#include "core/log.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/net.h"
#include "platform/ports.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/shell_links.h"
#include "platform/ui.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"
#include "update/update_engine.h"
#include "zip/unzipper.h"

namespace tf {

// The OS ports the window holds (implemented in platform/win32/, faked in tests/fakes/).
struct Puertos {
  SystemInfo& sys;
  Clock& clock;
  Files& files;
  Ui& ui;
  Internet& internet;
  Processes& processes;
  Services& services;
  Registry& registry;
  ShellLinks& links;
  Shell& shell;
  Network& net;
  Hashes& hashes;
  ULog& log;
};

// How the run has ended so far; the program's exit code is read from it when it ends.
enum class Desenlace {
  Pendiente,              // nothing installed or uninstalled yet
  Instalado,              // an installation ended on the success outcome
  Fallido,                // the failure outcome was shown (mostrarAlerta)
  NadaQueDesinstalar,     // the uninstaller found no installation
  Desinstalado,           // an uninstall run ended
  DesinstalacionFallida,  // an uninstall run stopped on an error
};

class Ventana {
 public:
  explicit Ventana(Puertos p);
  virtual ~Ventana() = default;
  Ventana(const Ventana&) = delete;
  Ventana& operator=(const Ventana&) = delete;

  // Window operations the steps call.
  virtual void mostrarPanel(const std::string& panel) = 0;
  virtual void mostrarAlerta(const std::string& message) = 0;
  void registrarLog(const std::string& message) { puertos.log.registrarLog(message); }
  void procesarMensajes() { puertos.ui.processMessages(); }
  std::string getWindowsID() { return puertos.sys.windowsProductId(); }

  // Folders: composed from the installation root (a label's caption) and the program's path.
  std::string getDirectorioTurnaliaFree() const { return form["lblDirectorioRaizInstalacion"].caption; }
  std::string getDirectorioTemporal() const;
  std::string getDirectorioUtilidades() const;
  std::string getDirectorioBackUp() const;
  std::string getDirectorioTemporalInstalador() const;

  // The window's download routine (install/descarga_web.cpp): fetches url into targetDir as
  // targetDir + "\" + the URL's last segment; callers check for the file afterwards.
  virtual void decargarArchivoWeb(const std::string& url, const std::string& targetDir);
  void FileTransfer1CopyProgress(TFileTransfer& Sender, int fileidx, uint32_t size, uint32_t totsize);

  Puertos puertos;
  FormModel form;

  // State shared by the steps.
  std::string claveDesinstalacion;
  std::string servidorDescarga;
  bool regionEuropa = false;
  int modoTicador = 0;
  bool descargasActivas = true;
  std::string ficheroDBMS;
  std::string ficheroAplicacion;
  std::string directorioDBMS;
  std::string passwordDBMS;
  bool dbmsEnEjecucion = false;
  Desenlace desenlace = Desenlace::Pendiente;
  ParametrosConexion SQLConnection1{parametrosConexionInicial()};

  // Components.
  TFileTransfer FileTransfer1;
  TFormPoster FormPoster1;
  TUpdateEngine UpdateEngine1;
  UnZipper UnZipper1;

 private:
  uint64_t ultimoRefresco_ = 0;  // tick of the last progress repaint request
  bool refrescoPendiente_ = false;
};

}  // namespace tf
