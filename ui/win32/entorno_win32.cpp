#include "ui/win32/entorno_win32.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "platform/win32/text.h"

namespace tf {

void EntornoWin32::terminar() {
  dialogos_.reset();
  vista_.reset();
  if (com_) OleUninitialize();
  com_ = false;
}

LineaSistema EntornoWin32::lineaComandos() {
  LineaSistema linea;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) {
    std::string texto;
    if (!narrowExact(argv[i], texto)) linea.inexactos.push_back(linea.args.size());
    linea.args.push_back(texto);
  }
  if (argv) LocalFree(argv);
  return linea;
}

Win32View& EntornoWin32::vista() {
  if (!vista_) vista_ = std::make_unique<Win32View>();
  return *vista_;
}

UpdateUi& EntornoWin32::dialogosVentana() {
  if (!dialogos_) dialogos_ = std::make_unique<Win32UpdateUi>(vista());
  return *dialogos_;
}

std::unique_ptr<TfrmPrincipal> EntornoWin32::crearVentana(Puertos p, const Argumentos& a) {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), (DWORD)(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES |
                                               ICC_UPDOWN_CLASS | ICC_LINK_CLASS)};
  InitCommonControlsEx(&icc);
  if (!com_) com_ = SUCCEEDED(OleInitialize(nullptr));
  std::unique_ptr<TfrmPrincipal> frm = Entorno::crearVentana(p, a);
  if (vista_) vista_->attach(frm.get());
  return frm;
}

bool EntornoWin32::bucleVentana(TfrmPrincipal& frm) {
  Win32View& view = vista();
  if (!view.create(instance_)) return false;
  maquina.shell.setOwner(view.hwnd());
  view.show(nCmdShow_);
  ventanaMostrada(frm);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) view.handleMessage(m);
  return true;
}

}  // namespace tf
