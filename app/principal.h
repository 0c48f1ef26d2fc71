// The main window object: installer state, the form model and the start-up/shutdown steps.
#pragma once
#include <string>
#include <vector>

#include "app/crc32.h"
#include "app/formulario.h"
#include "platform/files.h"
#include "platform/ports.h"
#include "platform/ui.h"
#include "update/web_update.h"

namespace tf {

extern const char* const kTituloAplicacion;  // "TurnaliaFree™ - Instalador"

struct Servicios {
  SystemInfo& sys;
  Clock& clock;
  Files& files;
  Ui& ui;
};

class TfrmPrincipal {
 public:
  TfrmPrincipal(Servicios s, std::vector<std::string> args);
  virtual ~TfrmPrincipal() = default;

  // Start-up and shutdown.
  void FormCreate();
  void procesarParametros();
  void FormDestroy();

  // Probes.
  std::string getWindowsID() { return s_.sys.windowsProductId(); }
  bool isDesinstalador() const;
  bool isWindows64() { return s_.sys.isWow64(); }
  bool isRegionEuropa();
  virtual std::string buscarServidorRed();
  virtual void mostrarOpcionesDesinstalacion();

  // Folders.
  std::string getDirectorioTurnaliaFree() const { return form["lblDirectorioRaizInstalacion"].caption; }
  std::string getDirectorioTemporal() const;
  std::string getDirectorioUtilidades() const;
  std::string getDirectorioBackUp() const;
  std::string getDirectorioTemporalInstalador() const;

  // Events forwarded by the view, by control name.
  virtual void alPulsar(const std::string& control);
  void btnSalirClick() { s_.ui.closeWindow(); }

  // Panels.
  virtual void mostrarPanel(const std::string& panel);
  std::string panelVisible() const;  // the shown panel's name ("" when none)
  std::string caption() const { return form["frmPrincipal"].caption; }

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
  ParametrosConexion SQLConnection1{parametrosConexionInicial()};

  // Package download step and the update engine it drives (update/descarga_paquete.cpp).
  TWebUpdate WebUpdate1;
  void descargarPaqueteInstalacion();
  void WebUpdate1FileProgress(TWebUpdate& Sender, const std::string& FileName, int64_t Pos, int64_t Size);
  void WebUpdate1Status(TWebUpdate& Sender, const std::string& StatusStr, int StatusCode, int ErrCode);

 private:
  // The engine's design-time settings, applied as the window is built.
  bool configurarWebUpdate1();
  bool webUpdate1Configurado_ = configurarWebUpdate1();

 protected:
  Servicios s_;
  std::vector<std::string> args_;  // command-line arguments, without the program name
};

}  // namespace tf
