// Program entry: log first, then the window, the switches and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <memory>

#include "app/desatendida.h"
#include "app/principal.h"
#include "app/salida.h"
#include "core/log.h"
#include "core/texto.h"
#include "platform/win32/maquina_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/update_win32.h"
#include "ui/win32/update_ui_win32.h"
#include "ui/win32/view.h"
#include "update/update_http_internet.h"

namespace {

std::vector<std::string> arguments() {
  std::vector<std::string> out;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) out.push_back(tf::narrow(argv[i]));
  if (argv) LocalFree(argv);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int nCmdShow) {
  // Started from a downloads folder with administrator rights: never load a DLL planted beside us.
  tf::restrictDllSearchToSystem();

  static tf::MaquinaWin32 maquina;
  // No system box waits for a person, from the first instant (the window makes sure again before
  // it starts any program).
  maquina.processes.switchOffErrorBoxes();
  static tf::Win32LogSink sink;
  // A folder the program cannot name leaves it without a log; the window then says why.
  std::string exe;
  try {
    exe = maquina.sys.exePath();
  } catch (...) {
  }
  tf::ULog log(maquina.clock, sink, exe);

  std::vector<std::string> args = arguments();
  const tf::Argumentos opciones = tf::leerArgumentos(args, tf::esDesinstalador(exe, maquina.files));
  // A silent run makes no window at all: its boxes are log lines and nothing waits for a person.
  tf::UiDesatendida desatendida(log, tf::pumpThreadMessages);
  std::unique_ptr<tf::Win32View> view;
  if (!opciones.silencioso) view = std::make_unique<tf::Win32View>();
  tf::Ui& ui = view ? static_cast<tf::Ui&>(*view) : desatendida;

  // One copy at a time on the machine, as setup.exe or as uninstall.exe, from any folder.
  static tf::Win32InstanceLock instancia("TurnaliaFree", "Instalador");
  int codigo = tf::kSalidaCorrecta;
  if (tf::terminaAntesDeLaVentana(opciones, [] { return instancia.acquire(); }, ui, log, codigo)) {
    if (codigo == tf::kSalidaOtraCopia && view) tf::Win32View::bringRunningToFront();
    return codigo;
  }

  INITCOMMONCONTROLSEX icc = {sizeof(icc), (DWORD)(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES |
                                               ICC_UPDOWN_CLASS | ICC_LINK_CLASS)};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);

  tf::TfrmPrincipal frm(maquina.puertos(ui, log), args);
  if (view) view->attach(&frm);
  // The machine the update engine works on (package download step).
  static tf::InternetUpdateHttp updateHttp(maquina.internet);
  static tf::Win32UpdateSystem updateSys;
  static tf::Win32UpdateArchives updateArchives;
  std::unique_ptr<tf::UpdateUi> updateUi;
  if (view) updateUi = std::make_unique<tf::Win32UpdateUi>(*view);
  else updateUi = std::make_unique<tf::UpdateUiDesatendida>(desatendida);
  frm.UpdateEngine1.conectar(tf::UpdateEnginePorts{maquina.files, maquina.clock, sink, updateHttp, updateSys, updateArchives, *updateUi,
                                                   maquina.processes});
  frm.FormCreate();
  if (!args.empty()) frm.procesarParametros();

  if (!view) {
    codigo = tf::ejecutarDesatendida(frm);
    try {
      frm.FormDestroy();
    } catch (...) {
    }
    OleUninitialize();
    return codigo;
  }

  if (!view->create(instance)) return tf::kSalidaFallida;
  maquina.shell.setOwner(view->hwnd());
  view->show(nCmdShow);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) view->handleMessage(m);
  OleUninitialize();
  return tf::codigoSalida(frm.desenlace, false);
}
