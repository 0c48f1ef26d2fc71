// Shows one panel of the installer's window with the program's own form and view, for screenshots of
// pages the wizard only reaches during an installation or uninstallation.
// Usage: tfpaneles PANEL [alerta]   (alerta: the outcome panel in its failure state first)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "core/mensajes.h"
#include "app/principal.h"
#include "app/programa.h"
#include "platform/win32/text.h"
#include "ui/win32/entorno_win32.h"

namespace {

// The program's own start-up, with the panel shown once the window is: no switches of the
// installer, and no lock (a screenshot may be taken beside a running installer).
struct EntornoPaneles : tf::EntornoWin32 {
  std::vector<std::string> args;
  bool mostrada = false;
  EntornoPaneles(std::vector<std::string> a) : EntornoWin32(GetModuleHandleW(nullptr), SW_SHOWNORMAL), args(std::move(a)) {}
  tf::LineaSistema lineaComandos() override { return {}; }
  bool tomarInstancia() override { return true; }
  void ventanaMostrada(tf::TfrmPrincipal& frm) override {
    mostrada = true;
    const std::string& panel = args[0];
    try {
      if (args.size() > 1 && args[1] == "alerta") frm.mostrarAlerta(tf::formatear(tf::msgFicheroNoDescargado, {"dbms.zip"}));
      if (panel == "pnlProgreso") {
        frm.mostrarPanel(panel);
        frm.form.lblMensajeAviso().caption = tf::formatear(tf::msgDescargandoPaquete, {"dbms.zip"});
        frm.UpdateEngine1FileProgress("dbms.zip", 45, 100);
      } else if (panel == "pnlInformeErrores") {
        frm.lblEnviarInformeErrores2Click();
      } else {
        frm.mostrarPanel(panel);
      }
    } catch (const std::exception& e) {
      vista().standardError(e.what());
    }
    vista().sync();
  }
};

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(tf::narrow(argv[i]));
  if (argv) LocalFree(argv);
  if (args.empty()) {
    std::fprintf(stderr, "usage: tfpaneles PANEL [alerta]\n");
    return 2;
  }
  static EntornoPaneles entorno(args);
  {
    tf::Programa programa(entorno);
    programa.ejecutar();
  }
  entorno.terminar();
  return entorno.mostrada ? 0 : 1;
}
