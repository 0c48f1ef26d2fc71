#include "install/preparacion.h"

#include "core/mensajes.h"
#include "install/utilidades.h"
#include "platform/error.h"
#include "update/update_engine.h"

namespace tf {

namespace {

void crearCarpeta(Ventana& v, const std::string& carpeta) {
  if (v.puertos.files.folderExists(carpeta)) return;
  if (!v.puertos.files.createFolders(carpeta)) throw Error(formatear(msgNoCrearDirectorio, {carpeta}));
}

// The uninstaller is this very program, copied where the installed-programs entry and the
// "Desinstalar" shortcut point; started under that name it uninstalls.
void colocarDesinstalador(Ventana& v) {
  const std::string carpeta = v.puertos.sys.windowsDir() + "\\TurnaliaFree";
  const std::string destino = carpeta + "\\uninstall.exe";
  if (v.puertos.files.fileExists(destino)) v.puertos.files.deleteFile(destino);
  crearCarpeta(v, carpeta);
  v.puertos.files.copyFile(v.puertos.sys.exePath(), destino, false);
}

}  // namespace

void prepararInstalacion(Ventana& v) {
  crearCarpeta(v, v.puertos.sys.programFilesDir() + "\\MySQL");
  crearCarpeta(v, v.getDirectorioTurnaliaFree());
  crearCarpeta(v, v.getDirectorioBackUp());
  crearCarpeta(v, v.getDirectorioTemporal());
  crearCarpeta(v, v.getDirectorioUtilidades());
  colocarDesinstalador(v);
  v.UpdateEngine1.TempDirectory = v.getDirectorioTemporal();
  instalarUtilidades(v);
}

void prepararInstalacionTicador(Ventana& v) {
  crearCarpeta(v, v.getDirectorioTurnaliaFree());
  crearCarpeta(v, v.getDirectorioTemporal());
  colocarDesinstalador(v);
}

}  // namespace tf
