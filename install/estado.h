// The run's state: plain data the steps read and change. Start-up (FormCreate) sets it.
#pragma once
#include <string>

namespace tf {

// How the run has ended so far; the program's exit code is read from it when it ends.
enum class Desenlace {
  Pendiente,                // nothing installed or uninstalled yet
  Instalado,                // an installation ended on the success outcome
  Fallido,                  // the failure outcome was shown (mostrarAlerta)
  NadaQueDesinstalar,       // the uninstaller found no installation
  Desinstalado,             // an uninstall run ended
  DesinstaladoAlReiniciar,  // an uninstall run ended; files in use go at the next restart
  DesinstalacionFallida,    // an uninstall run stopped on an error
};

struct EstadoInstalador {
  std::string claveDesinstalacion;  // the uninstall root, in the 32-bit view on 64-bit Windows
  std::string servidorDescarga;     // the vendor host the packages come from
  bool regionEuropa = false;
  int modoTicador = 0;            // 1: a server answered on the LAN, or was named: the client road
  bool descargasActivas = true;   // false with "-no_downloads": the packages lie beside the program
  std::string ficheroDBMS;        // package names, in the installer's Temp folder
  std::string ficheroAplicacion;
  std::string directorioDBMS;     // the database server's folder
  std::string passwordDBMS;       // root's password, derived from the machine
  bool dbmsEnEjecucion = false;   // a "mysqld.exe" was running at the check: it is left as it is
  Desenlace desenlace = Desenlace::Pendiente;
};

}  // namespace tf
