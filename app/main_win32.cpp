// Program entry: log first, then the window, the switches and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "core/log.h"
#include "app/principal.h"
#include "platform/win32/crypto_win32.h"
#include "platform/win32/internet_win32.h"
#include "platform/win32/net_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/sys_win32.h"
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

  static tf::Win32Clock clock;
  static tf::Win32SystemInfo sys;
  static tf::Win32LogSink sink;
  static tf::Win32Files files;
  static tf::Win32Internet internet;
  static tf::Win32Processes processes;
  static tf::Win32Services services;
  static tf::Win32Registry registry;
  static tf::Win32ShellLinks links;
  static tf::Win32Shell shell;
  static tf::Win32Network net;
  static tf::Win32Hashes hashes;
  // A folder the program cannot name leaves it without a log; the window then says why.
  std::string exe;
  try {
    exe = sys.exePath();
  } catch (...) {
  }
  tf::ULog log(clock, sink, exe);

  INITCOMMONCONTROLSEX icc = {sizeof(icc), (DWORD)(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES |
                                               ICC_UPDOWN_CLASS | ICC_LINK_CLASS)};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);

  std::vector<std::string> args = arguments();
  tf::Win32View view;
  tf::TfrmPrincipal frm(tf::Puertos{sys, clock, files, view, internet, processes, services, registry, links, shell, net, hashes, log}, args);
  view.attach(&frm);
  // The machine the update engine works on (package download step).
  static tf::InternetUpdateHttp updateHttp(internet);
  static tf::Win32UpdateSystem updateSys;
  static tf::Win32UpdateArchives updateArchives;
  tf::Win32UpdateUi updateUi(view);
  frm.UpdateEngine1.conectar(tf::UpdateEnginePorts{files, clock, sink, updateHttp, updateSys, updateArchives, updateUi, processes});
  frm.FormCreate();
  if (!args.empty()) frm.procesarParametros();
  if (!view.create(instance)) return 1;
  shell.setOwner(view.hwnd());
  view.show(nCmdShow);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) view.handleMessage(m);
  OleUninitialize();
  return 0;
}
