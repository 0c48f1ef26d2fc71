// The command line, read once at start-up into one value: the program's entry, the window
// (procesarParametros, buscarServidorRed, isDesinstalador), the silent run and the tests all
// read this value. A new switch is a field here and a branch in leerArgumentos.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace tf {

struct Argumentos {
  // The arguments after the program's name, as typed (Windows-1252).
  std::vector<std::string> args;

  // Why the system could not name the running file ("" when it could), and whether its stored
  // name makes it the uninstaller.
  std::string errorPrograma;
  bool desinstalador = false;

  // The wizard's own switches, read up to the first "-no_downloads" (procesarParametros).
  bool mirror = false;        // "-m": the download-mirror switch is shown
  bool sinDescargas = false;  // "-no_downloads": the packages are beside the program
  // "-ip" as the first argument names the server (`servidor`, the second argument as typed, ""
  // when there is none): nothing is asked on the LAN.
  bool servidorIndicado = false;
  std::string servidor;

  bool silencioso = false;           // "-silent": no window, the run goes straight through
  bool ayuda = false;                // "-?" or "-help"
  bool sinAccesoEscritorio = false;  // "-no_desktop_shortcut"
  bool sinAccesoMenu = false;        // "-no_startmenu_shortcut"
  // "-full": the full installation even when a server answers on the LAN. Never with "-ip" (an
  // error below), which names the client's server.
  bool completa = false;
  // "-log <path>": the installation log goes to that file, as typed here (start-up makes it
  // ready); "" without the switch.
  std::string ficheroLog;
  // Why "-log" cannot be acted on ("" when it can): both modes refuse the run (87) before
  // anything is touched, as for `ilegibles`.
  std::string errorLog;
  // One text per argument the program cannot act on (unknown, "-ip" out of place or without a
  // server name), ready for the log. Only a silent run refuses them; the wizard ignores them.
  std::vector<std::string> errores;
  // One text per argument Windows-1252 cannot hold: acting on its "?" form could name another
  // server or file, so both modes refuse the run (87) before anything is touched.
  std::vector<std::string> ilegibles;

  // The whole command line refused (87) before anything is touched.
  bool rechazada() const { return !ilegibles.empty() || !errorLog.empty() || rechazaErrores(); }
  bool rechazaErrores() const { return silencioso && !errores.empty(); }
};

// Reads every argument, in any letter case. "-m", "-no_downloads", "-ip <server>" (first only),
// "-log <path>", "-full" and the deployment switches are known everywhere; "kvt" only to the
// uninstaller. `inexactos` are the positions of the arguments the system's text could not give
// exactly (their "?" form stands in `args`, for the message only).
Argumentos leerArgumentos(const std::vector<std::string>& args, bool desinstalador,
                          const std::vector<size_t>& inexactos = {});

// The "-?" box: the switches and the exit codes.
std::string textoAyuda();

}  // namespace tf
