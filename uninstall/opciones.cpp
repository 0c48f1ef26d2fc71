#include "uninstall/opciones.h"

#include <cstdio>
#include <vector>

#include "core/mensajes.h"
#include "install/registro.h"

namespace tf {

void mostrarOpcionesDesinstalacion(Ventana& v) {
  if (!isAplicationInstalada(v, "TurnaliaFree.exe")) {
    v.form.lblFinalizacion().caption = msgDesinstalacionInnecesaria;
    v.form.lblFinalizacion1().caption = msgAplicacionNoInstalada;
    v.estado.desenlace = Desenlace::NadaQueDesinstalar;
    v.mostrarPanel("pnlFinalizacion");
    return;
  }
  const std::string raiz = v.getDirectorioTurnaliaFree();
  v.form.lblQVSizeDesinstalar().caption =
      textoTamanoMB(calcularTamanoDirectorio(v.puertos.files, raiz, true), v.puertos.sys.decimalSeparator());
  v.form.lblQVDirDesinstalar().caption = raiz;
  v.mostrarPanel("pnlDesinstalar");
}

void chkKVTDesinstalarClick(Ventana& v) {
  v.form.btnDesinstalar().enabled = v.form.chkKVTDesinstalar().checked;
  v.form.touch();
}

int32_t calcularTamanoDirectorio(Files& files, const std::string& carpeta, bool recursivo) {
  std::string dir = carpeta;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  std::vector<FileEntry> entradas;
  if (!files.list(dir + "*.*", entradas)) return 0;
  uint32_t suma = 0;  // unsigned, so the wrap beyond 2 GiB is defined
  for (const FileEntry& e : entradas) {
    suma += e.sizeLow;
    if (recursivo && e.isFolder && !e.isReparsePoint && !e.name.empty() && e.name[0] != '.')
      suma += (uint32_t)calcularTamanoDirectorio(files, dir + e.name, true);
  }
  return (int32_t)suma;
}

std::string textoTamanoMB(int32_t bytes, const std::string& separador) {
  char texto[32];
  std::snprintf(texto, sizeof texto, "%3.1f", bytes / 1048576.0);
  std::string s = texto;
  size_t punto = s.find('.');
  if (punto != std::string::npos) s.replace(punto, 1, separador);
  return s + " MB";
}

}  // namespace tf
