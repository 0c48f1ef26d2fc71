#include "install/registro.h"

#include <cstdio>

#include "core/carpetas.h"
#include "core/texto.h"
#include "core/vendor.h"
#include "sys/utilidades.h"

namespace tf {

namespace {

const char* const kEntrada = "TurnaliaFree.exe";

std::string fechaInstalacion(const LocalTime& t) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", t.year, t.month, t.day);
  return b;
}

}  // namespace

int posicionUltimoCaracter(char c, const std::string& texto) {
  for (size_t i = texto.size(); i > 0; --i)
    if (texto[i - 1] == c) return (int)i;
  return 0;
}

bool borrarClaveRegistro(Registry& registro, RegistryRoot raiz, const std::string& ruta) {
  int p = posicionUltimoCaracter('\\', ruta);
  if (p == 0) return false;
  std::unique_ptr<RegistryKey> padre = registro.open(raiz, ruta.substr(0, (size_t)p - 1), RegistryAccess::Write);
  if (!padre) return false;
  return padre->deleteSubkey(ruta.substr((size_t)p));
}

uint64_t tamanoCarpeta(Files& files, const std::string& carpeta) {
  std::vector<FileEntry> entradas;
  if (!files.list(unirRuta(carpeta, "*.*"), entradas)) return 0;
  uint64_t total = 0;
  for (const FileEntry& e : entradas) {
    if (!e.isFolder) {
      uint64_t tamano = 0;
      total += files.fileSize(unirRuta(carpeta, e.name), tamano) ? tamano : e.sizeLow;
    } else if (e.name != "." && e.name != ".." && !e.isReparsePoint) {
      total += tamanoCarpeta(files, unirRuta(carpeta, e.name));
    }
  }
  return total;
}

void incluirAplicionEnElRegistro(Ventana& v) {
  const std::string raiz = v.getDirectorioTurnaliaFree();
  std::unique_ptr<RegistryKey> clave = v.puertos.registry.create(RegistryRoot::LocalMachine,
                                                                 v.estado.claveDesinstalacion + kEntrada);
  if (!clave) return;
  clave->writeString("DisplayName", "TurnaliaFree\x99 - Gesti\xF3n de Turnos y Control de Presencia");
  clave->writeString("DisplayIcon", raiz + "\\TurnaliaFree.exe");
  clave->writeString("Publisher", "HALVEX CORPORATION");
  clave->writeString("URLInfoAbout", vendorSiteUrl());
  clave->writeString("HelpLink", vendorSiteUrl());
  clave->writeString("URLUpdateInfo", vendorSiteUrl());
  clave->writeNumber("NoModify", 1);
  clave->writeNumber("NoRepair", 1);
  clave->writeString("InstallDate", fechaInstalacion(v.puertos.clock.now()));
  clave->writeString("InstallLocation", raiz);
  const std::string desinstalar = "\"" + v.puertos.sys.windowsDir() + "\\TurnaliaFree\\uninstall.exe\" kvt";
  clave->writeString("UninstallString", desinstalar);
  // What deployment tools run to remove the product without anyone at the machine.
  clave->writeString("QuietUninstallString", desinstalar + " -silent");
  // What Windows' program list shows beside the name, and what inventory tools read.
  clave->writeString("DisplayVersion", "19.04.002");
  clave->writeNumber("EstimatedSize", (uint32_t)(tamanoCarpeta(v.puertos.files, raiz) / 1024));
}

bool isAplicationInstalada(Ventana& v, const std::string& nombre) {
  std::unique_ptr<RegistryKey> raiz =
      v.puertos.registry.open(RegistryRoot::LocalMachine, sinBarraFinal(v.estado.claveDesinstalacion), RegistryAccess::Read);
  std::vector<std::string> subclaves;
  if (!raiz || !raiz->subkeyNames(subclaves)) return false;
  for (const std::string& s : subclaves)
    if (igualesSinMayusculas(s, nombre)) return true;
  return false;
}

void borrarAplicacionRegistro(Ventana& v, const std::string& nombre) {
  borrarClaveRegistro(v.puertos.registry, RegistryRoot::LocalMachine, v.estado.claveDesinstalacion + nombre);
}

}  // namespace tf
