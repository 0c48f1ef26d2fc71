// The main window object: installer state, the form model and the start-up/shutdown steps.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/argumentos.h"
#include "app/formulario.h"
#include "install/ventana.h"

namespace tf {

// True when the running file is the uninstaller: its name as its folder stores it (the long name,
// in its own letter case, however it was started: "UNINST~1.EXE", "UNINSTALL.EXE") is exactly
// "uninstall.exe". A copy stored as "Uninstall.exe" is the installer.
bool esDesinstalador(const std::string& exePath, Files& files);

class TfrmPrincipal : public Ventana {
 public:
  // `a`: the command line as start-up read it (app/programa.h).
  explicit TfrmPrincipal(Puertos p, Argumentos a = {});

  // Start-up and shutdown.
  void FormCreate();
  void procesarParametros();
  void FormDestroy();

  // Probes. The uninstaller is told by the running file's name, as start-up read it.
  bool isDesinstalador() const;
  bool isWindows64() { return puertos.sys.isWow64(); }
  bool isRegionEuropa();
  virtual std::string buscarServidorRed();
  virtual void mostrarOpcionesDesinstalacion();

  // Events forwarded by the view, by control name.
  virtual void alPulsar(const std::string& control);
  void alEntrarRaton(const std::string& control);
  void alSalirRaton(const std::string& control);

  // Navigation.
  void btnAvanzarClick();
  void btnRetrocederClick() { mostrarPanel("pnlBienvenida"); }
  void btnRetroceder1Click() { mostrarPanel("pnlLicencia"); }
  void btnAceptarLicenciaClick();
  void btnSalirClick() { puertos.ui.closeWindow(); }
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
  void mostrarPanel(const std::string& panel) override;
  void cargarFicheroLicencia();
  void mostrarAlerta(const std::string& message) override;

  // The installation (install/instalacion.cpp).
  void btnInstalarClick();
  // The error report (report/informe.cpp).
  void btnEnviarInformeErroresClick();
  // The uninstaller (uninstall/).
  void chkKVTDesinstalarClick();
  void chkOpcionDesinstalarClick() { chkKVTDesinstalarClick(); }
  void btnDesinstalarClick();

  // Progress display on the progress panel.
  void UnZipper1ArchiveProgress(int percent);
  void UpdateEngine1FileProgress(const std::string& fileName, uint64_t position, uint64_t size);
  void UpdateEngine1Status(const std::string& text, int statusCode, int errorCode);

  std::string panelVisible() const;  // the shown panel's name ("" when none)
  std::string caption() const { return form.frmPrincipal().caption; }
  const Argumentos& argumentos() const { return argumentos_; }

  // The discovery socket: made by the first question, idle afterwards, closed with the window.
  std::unique_ptr<UdpSocket> UDPClient;

 protected:
  Argumentos argumentos_;

 private:
  // The components' design-time settings and the window's handlers for their events.
  void configurarComponentes();
};

}  // namespace tf
