#include "install/comandos.h"

#include "core/texto.h"

namespace tf {

std::string programaSistema(Ventana& v, const std::string& nombre) {
  return unirRuta(v.puertos.sys.systemProgramsDir(), nombre);
}

std::string programaSistemaEnComando(Ventana& v, const std::string& nombre) {
  return entreComillasSiBlanco(programaSistema(v, nombre));
}

Consola consola(Ventana& v) {
  return Consola{programaSistema(v, "cmd.exe"), v.puertos.processes, v.puertos.ui, v.puertos.clock, v.puertos.log};
}

std::string rutaCortaEnCarpeta(Ventana& v, const std::string& carpeta, const std::string& nombre) {
  return entreComillasSiBlanco(v.puertos.files.shortPath(carpeta) + "\\" + nombre);
}

std::string ejecutarYRegistrar(Ventana& v, const std::string& programaCorto, const std::string& resto) {
  std::string comando = programaCorto + resto;
  if (!programaCorto.empty() && programaCorto[0] == '"') comando = "\"" + comando + "\"";
  std::string salida = EjecutarComando(comando, consola(v));
  v.registrarLog(salida);
  return salida;
}

bool ejecutarPrograma(Ventana& v, const std::string& programa, const std::string& resto) {
  if (!v.puertos.files.fileExists(programa)) return false;
  // Volumes with 8.3 names off give the long form, which may hold a blank.
  ejecutarYRegistrar(v, entreComillasSiBlanco(v.puertos.files.shortPath(programa)), resto);
  return true;
}

}  // namespace tf
