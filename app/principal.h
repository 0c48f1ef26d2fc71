// The main window object: installer state, the form model and the start-up/shutdown steps.
#pragma once
#include <string>
#include <vector>

#include "core/crc32.h"
#include "app/formulario.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/ports.h"
#include "platform/ui.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"
#include "update/update_engine.h"

namespace tf {

extern const char* const kTituloAplicacion;  // "TurnaliaFree™ - Instalador"


struct Servicios {
  SystemInfo& sys;
  Clock& clock;
  Files& files;
  Ui& ui;
  Internet& internet;
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
  void alEntrarRaton(const std::string& control);
  void alSalirRaton(const std::string& control);

  // Navigation.
  void btnAvanzarClick();
  void btnRetrocederClick() { mostrarPanel("pnlBienvenida"); }
  void btnRetroceder1Click() { mostrarPanel("pnlLicencia"); }
  void btnAceptarLicenciaClick();
  void btnSalirClick() { s_.ui.closeWindow(); }
  void lblConfiguracionProxyClick();
  void btnAceptarProxyClick();
  void btnCerrarProxyClick();
  void lblConfiguracionProxyMouseEnter(const std::string& label);
  void lblConfiguracionProxyMouseLeave(const std::string& label);
  void lblCambiarMirrorClick();
  void lblDirectorioRaizInstalacionClick() {}
  void imgTurnaliaFreeClick();
  void lblEnviarInformeErrores2Click() { mostrarPanel("pnlInformeErrores"); }

  // Panels.
  virtual void mostrarPanel(const std::string& panel);
  void cargarFicheroLicencia();
  void mostrarAlerta(const std::string& message);

  // Progress display on the progress panel.
  void UnZipper1ArchiveProgress(int percent);
  void UpdateEngine1FileProgress(const std::string& fileName, uint64_t position, uint64_t size);
  void UpdateEngine1Status(const std::string& text, int statusCode, int errorCode);

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
  TUpdateEngine UpdateEngine1;
  void descargarPaqueteInstalacion();

 private:
  // The engine's design-time settings, applied as the window is built.
  bool configurarUpdateEngine1();
  bool updateEngine1Configurado_ = configurarUpdateEngine1();

 protected:
  Servicios s_;
  std::vector<std::string> args_;  // command-line arguments, without the program name

  // --- File transfer (transfer/descarga_web.cpp) ---
 public:
  TFileTransfer FileTransfer1;
  TFormPoster FormPoster1;
  // Downloads url into targetDir (as targetDir + "\" + the URL's last segment); callers check
  // for the file afterwards.
  virtual void decargarArchivoWeb(const std::string& url, const std::string& targetDir);
  void FileTransfer1CopyProgress(TFileTransfer& Sender, int fileidx, uint32_t size, uint32_t totsize);

 private:
  void configurarTransferencias();
  uint64_t ultimoRefresco_ = 0;  // tick of the last progress repaint request
  bool refrescoPendiente_ = false;
  // --- end of file transfer ---
};

}  // namespace tf
