#include "app/argumentos.h"

#include "core/mensajes.h"
#include "core/texto.h"

namespace tf {

namespace {

// Deployment tools and administrators often write "/silent" or "/?": this program's own
// switches take either sign. The wizard's older switches ("-m", "-no_downloads", "-ip") keep
// only "-".
std::string guionInicial(const std::string& s) {
  static const char* const propios[] = {"silent", "?",   "help", "no_desktop_shortcut", "no_startmenu_shortcut",
                                        "log",    "full"};
  if (s.size() < 2 || s[0] != '/') return s;
  for (const char* p : propios)
    if (s.compare(1, std::string::npos, p) == 0) return "-" + s.substr(1);
  return s;
}

// Whether the switch at `i` is followed by its value. A switch in the value's place is a value
// left empty ("-ip %SERVIDOR% -silent"): it stays a switch, or a silent run would open the wizard
// and wait for nobody.
bool conValor(const std::vector<std::string>& args, size_t i) {
  return i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-' && args[i + 1][0] != '/';
}

// The empty argument standing for a value is the switch's own.
size_t trasValor(const std::vector<std::string>& args, size_t i) {
  return conValor(args, i) || (i + 1 < args.size() && args[i + 1].empty()) ? i + 1 : i;
}

}  // namespace

Argumentos leerArgumentos(const std::vector<std::string>& args, bool desinstalador,
                          const std::vector<size_t>& inexactos) {
  Argumentos a;
  a.args = args;
  a.desinstalador = desinstalador;
  for (size_t i : inexactos)
    if (i < args.size()) a.ilegibles.push_back(formatear(msgArgumentoIlegible, {args[i]}));
  if (!args.empty() && minusculas(args[0]) == "-ip") {
    a.servidorIndicado = true;
    if (args.size() > 1) a.servidor = args[1];
  }
  bool conmutadoresAsistente = true;  // the wizard stops reading its own at "-no_downloads"
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string s = guionInicial(minusculas(args[i]));
    if (s == "-silent") {
      a.silencioso = true;
    } else if (s == "-?" || s == "-help") {
      a.ayuda = true;
    } else if (s == "-no_desktop_shortcut") {
      a.sinAccesoEscritorio = true;
    } else if (s == "-no_startmenu_shortcut") {
      a.sinAccesoMenu = true;
    } else if (s == "-m") {
      if (conmutadoresAsistente) a.mirror = true;
    } else if (s == "-no_downloads") {
      if (conmutadoresAsistente) a.sinDescargas = true;
      conmutadoresAsistente = false;
    } else if (s == "kvt" && desinstalador) {
      // the installed-programs entry starts the uninstaller with it
    } else if (s == "-full") {
      a.completa = true;
    } else if (s == "-log") {
      if (conValor(args, i)) {
        a.ficheroLog = args[i + 1];
        a.errorLog.clear();
      } else {
        a.errorLog = msgFaltaFicheroLog;
      }
      i = trasValor(args, i);
    } else if (s == "-ip") {
      // Discovery reads the server's name only from the second argument; anywhere else the
      // switch would be dropped and a full installation made instead of the client's.
      if (i != 0) a.errores.push_back("La opción -ip debe ser la primera, seguida del nombre del servidor");
      else if (!conValor(args, i)) a.errores.push_back("Falta el nombre del servidor tras la opción -ip");
      i = trasValor(args, i);
    } else {
      a.errores.push_back("Opción desconocida: " + args[i]);
    }
  }
  // The client of the named server, or the full installation: a silent run cannot guess which;
  // the wizard, which ignores what it cannot act on, installs the named server's client.
  if (a.completa && a.servidorIndicado) {
    a.errores.push_back(msgOpcionesIpYFull);
    a.completa = false;
  }
  return a;
}

std::string textoAyuda() {
  return "Uso: setup.exe [opciones]   -   uninstall.exe kvt [-silent]\n"
         "\n"
         "-silent: instalación o desinstalación desatendida, sin ventana; se acepta el Acuerdo de "
         "Licencia y los mensajes quedan en el log.\n"
         "-no_desktop_shortcut: sin acceso directo en el Escritorio.\n"
         "-no_startmenu_shortcut: sin accesos directos en el Menú Inicio.\n"
         "-no_downloads: instalación sin descargas, con los paquetes junto al programa.\n"
         "-ip <equipo>: (la primera) instala el Software Ticador del servidor <equipo>.\n"
         "-full: la instalación completa aunque responda un servidor de TurnaliaFree en la Red Local.\n"
         "-log <fichero>: el log de la instalación en <fichero> (se crean sus carpetas; relativo a la "
         "carpeta de trabajo) en lugar de junto al programa.\n"
         "-m: muestra el cambio de servidor de descarga.\n"
         "-? o -help: esta ayuda.\n"
         "Las opciones -silent, -full, -log, -no_desktop_shortcut, -no_startmenu_shortcut, -? y -help "
         "también se admiten con \"/\" (/silent, /log, /?).\n"
         "\n"
         "Códigos de salida:\n"
         "0: correcto (también sin nada que desinstalar).\n"
         "87: opción desconocida con -silent, un argumento que el instalador no puede leer, o un fichero "
         "de -log que no se puede escribir.\n"
         "1602: se salió antes de instalar o desinstalar.\n"
         "1603: la instalación o desinstalación terminó con un error.\n"
         "1618: ya se está ejecutando otra copia del instalador o del desinstalador.\n"
         "3010: desinstalación correcta; los archivos que estaban en uso se eliminarán al reiniciar el equipo.";
}

}  // namespace tf
