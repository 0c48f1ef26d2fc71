// Shows one panel of the installer's window with the program's own form and view, for screenshots of
// pages the wizard only reaches during an installation or uninstallation.
// Usage: tfpaneles PANEL [alerta]   (alerta: the outcome panel in its failure state first)
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "core/log.h"
#include "core/mensajes.h"
#include "app/principal.h"
#include "platform/win32/maquina_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "ui/win32/view.h"

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
  static tf::MaquinaWin32 maquina;
  static tf::Win32LogSink sink;
  tf::ULog log(maquina.clock, sink, maquina.sys.exePath());
  INITCOMMONCONTROLSEX icc = {sizeof(icc), (DWORD)(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES |
                                               ICC_UPDOWN_CLASS)};
  InitCommonControlsEx(&icc);

  tf::Win32View view;
  tf::TfrmPrincipal frm(maquina.puertos(view, log), {});
  view.attach(&frm);
  frm.FormCreate();
  if (!view.create(GetModuleHandleW(nullptr))) return 1;
  view.show(SW_SHOWNORMAL);
  const std::string& panel = args[0];
  try {
    if (args.size() > 1 && args[1] == "alerta") frm.mostrarAlerta(tf::formatear(tf::msgFicheroNoDescargado, {"dbms.zip"}));
    if (panel == "pnlProgreso") {
      frm.mostrarPanel(panel);
      frm.form["lblMensajeAviso"].caption = tf::formatear(tf::msgDescargandoPaquete, {"dbms.zip"});
      frm.UpdateEngine1FileProgress("dbms.zip", 45, 100);
    } else if (panel == "pnlInformeErrores") {
      frm.lblEnviarInformeErrores2Click();
    } else {
      frm.mostrarPanel(panel);
    }
  } catch (const std::exception& e) {
    view.standardError(e.what());
  }
  view.sync();
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) view.handleMessage(m);
  return 0;
}
