#include "install/accesos.h"

#include "core/carpetas.h"
#include "sys/utilidades.h"

namespace tf {

namespace {

struct Accesos {
  const char* escritorio;  // desktop shortcut's name
  const char* menu;        // Start menu shortcut's name
  const char* programa;    // in the installation folder
  const char* descripcion;
};

void crear(Ventana& v, const Accesos& a) {
  const std::string destino = unirRuta(v.getDirectorioTurnaliaFree(), a.programa);
  if (v.form.chkCreateDesktopShortcut().checked) {
    const std::string escritorio = carpetaDeAccesos(v.puertos.sys, &SystemInfo::desktopDir, &v.puertos.log);
    v.registrarLog("Creating a Shortcut on the Desktop ...");
    bool hecho =
        !escritorio.empty() && CreateShortcut(v.puertos.links, a.escritorio, escritorio, destino, "", a.descripcion);
    v.registrarLog(hecho ? "Application Shortcut created on the Desktop"
                         : "Application Shortcut not created on the Desktop");
  }
  if (!v.form.chkCreateStartMenuShortcut().checked) return;
  const std::string programas = carpetaDeAccesos(v.puertos.sys, &SystemInfo::startMenuProgramsDir, &v.puertos.log);
  const std::string carpeta = programas + "\\TurnaliaFree";
  v.registrarLog("Creating a Shortcut on the Windows Start Menu ...");
  if (programas.empty() ||
      (!v.puertos.files.folderExists(carpeta) && !v.puertos.files.createFolders(carpeta))) {
    v.registrarLog("Program Folder has not been created !");
    return;
  }
  bool hecho = CreateShortcut(v.puertos.links, a.menu, carpeta, destino, "", a.descripcion);
  v.registrarLog(hecho ? "Application Shortcut created on the Windows Start Menu"
                       : "Application Shortcut not created on the Windows Start Menu");
  hecho = CreateShortcut(v.puertos.links, "Desinstalar", carpeta,
                         v.puertos.sys.windowsDir() + "\\TurnaliaFree\\uninstall.exe", "", "Desinstalar");
  v.registrarLog(hecho ? "Uninstall Shortcut created on the Windows Start Menu"
                       : "Uninstall Shortcut not created on the Windows Start Menu");
}

}  // namespace

bool isCarpetaDeAccesos(const std::string& carpeta) {
  if (carpeta.compare(0, 2, "\\\\") != 0) return isRutaAbsoluta(carpeta);
  // A network folder, \\server\share\...: redirected desktops and Start menus are common.
  const size_t finServidor = carpeta.find('\\', 2);
  if (finServidor == std::string::npos) return false;
  const std::string servidor = carpeta.substr(2, finServidor - 2);
  if (servidor.empty() || servidor == "." || servidor == ".." || servidor.find_first_of("?*:/") != std::string::npos)
    return false;  // also the "\\?\" and "\\.\" device forms
  return isRutaAbsoluta("C:\\" + carpeta.substr(finServidor + 1));  // the share and below, part by part
}

std::string carpetaDeAccesos(SystemInfo& sys, std::string (SystemInfo::*consulta)(), Log* log) {
  try {
    const std::string carpeta = (sys.*consulta)();
    return isCarpetaDeAccesos(carpeta) ? carpeta : std::string();
  } catch (const std::exception& e) {
    if (log) log->registrarLog(e.what());
    return {};
  }
}

bool CreateShellLink(ShellLinks& links, const std::string& fichero, const std::string& destino,
                     const std::string& descripcion, int codigoVentana, uint16_t teclaRapida, int indiceIcono,
                     const std::string& ficheroIcono, const std::string& argumentos, const std::string& carpetaTrabajo) {
  ShellLink l;
  l.target = destino;
  l.description = descripcion;
  l.workingFolder = carpetaTrabajo;
  l.arguments = argumentos;
  l.iconFile = ficheroIcono;
  l.iconIndex = indiceIcono;
  l.hotKey = teclaRapida;
  l.showCommand = codigoVentana == 1 ? 7 : codigoVentana == 2 ? 3 : 1;
  return links.save(fichero, l);
}

bool CreateShortcut(ShellLinks& links, const std::string& nombre, const std::string& carpeta,
                    const std::string& destino, const std::string& argumentos, const std::string& descripcion) {
  std::string trabajo = extraerDirectorio(destino);
  if (trabajo.empty() || trabajo.back() != '\\') trabajo += '\\';
  return CreateShellLink(links, carpeta + "\\" + nombre + ".lnk", destino, descripcion, 0, 0, 0, destino, argumentos,
                         trabajo);
}

void crearAccesosDirectos(Ventana& v) {
  crear(v, {"Turnalia Free", "TurnaliaFree", "TurnaliaFree.exe", "TurnaliaFree"});
}

void crearAccesosDirectosTicador(Ventana& v) {
  crear(v, {"Software Ticador", "Software Ticador", "kvt_ticador.exe", "Software Ticador"});
}

}  // namespace tf
