// The command line as a whole: which switches were given, and which the program does not know.
#pragma once
#include <string>
#include <vector>

namespace tf {

struct Argumentos {
  bool silencioso = false;           // "-silent": no window, the run goes straight through
  bool ayuda = false;                // "-?" or "-help"
  bool sinAccesoEscritorio = false;  // "-no_desktop_shortcut"
  bool sinAccesoMenu = false;        // "-no_startmenu_shortcut"
  // One text per argument the program cannot act on (unknown, "-ip" out of place or without a
  // server name), ready for the log. Only a silent run refuses them; the wizard ignores them.
  std::vector<std::string> errores;
};

// Reads every argument, in any letter case. "-m", "-no_downloads", "-ip <server>" (first only)
// and the new switches are known everywhere; "kvt" only to the uninstaller.
Argumentos leerArgumentos(const std::vector<std::string>& args, bool desinstalador);

// The "-?" box: the switches and the exit codes.
std::string textoAyuda();

}  // namespace tf
