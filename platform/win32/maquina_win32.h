// The real Win32 ports as the window takes them: setup.exe, the panel tool and the adapter
// tests build the window from this one list, so a new port is added here once.
#pragma once
#include "install/ventana.h"
#include "platform/win32/crypto_win32.h"
#include "platform/win32/internet_win32.h"
#include "platform/win32/net_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/update_win32.h"
#include "update/update_http_internet.h"

namespace tf {

struct MaquinaWin32 {
  Win32SystemInfo sys;
  Win32Clock clock;
  Win32Files files;
  Win32Internet internet;
  Win32Processes processes;
  Win32Services services;
  Win32Registry registry;
  Win32ShellLinks links;
  Win32Shell shell;
  Win32Network net;
  Win32Hashes hashes;
  // The update engine's own ports (package download step).
  InternetUpdateHttp updateHttp{internet};
  Win32UpdateSystem updateSys;
  Win32UpdateArchives updateArchives;

  Puertos puertos(Ui& ui, ULog& log) {
    return Puertos{sys, clock, files, ui, internet, processes, services, registry, links, shell, net, hashes, log};
  }
  UpdateEnginePorts puertosActualizacion(LogSink& sink, UpdateUi& ui) {
    return UpdateEnginePorts{files, clock, sink, updateHttp, updateSys, updateArchives, ui, processes};
  }
};

}  // namespace tf
