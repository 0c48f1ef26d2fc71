#include "install/comandos.h"

#include "core/texto.h"

namespace tf {

std::string rutaCortaPrograma(Ventana& v, const std::string& programa) {
  if (!v.puertos.files.fileExists(programa)) return {};
  std::string corta = v.puertos.files.shortPath(programa);
  if (corta.find(' ') != std::string::npos) return "\"" + corta + "\"";
  return corta;
}

std::string programaSistema(Ventana& v, const std::string& nombre) {
  return unirRuta(v.puertos.sys.systemProgramsDir(), nombre);
}

std::string programaSistemaEnComando(Ventana& v, const std::string& nombre) {
  const std::string ruta = programaSistema(v, nombre);
  return ruta.find(' ') == std::string::npos ? ruta : "\"" + ruta + "\"";
}

Consola consola(Ventana& v) {
  return Consola{programaSistema(v, "cmd.exe"), v.puertos.processes, v.puertos.ui, v.puertos.clock, v.puertos.log};
}

std::string rutaCortaEnCarpeta(Ventana& v, const std::string& carpeta, const std::string& nombre) {
  std::string ruta = v.puertos.files.shortPath(carpeta) + "\\" + nombre;
  if (ruta.find(' ') != std::string::npos) return "\"" + ruta + "\"";
  return ruta;
}

std::string ejecutarYRegistrar(Ventana& v, const std::string& programaCorto, const std::string& resto) {
  std::string comando = programaCorto + resto;
  if (!programaCorto.empty() && programaCorto[0] == '"') comando = "\"" + comando + "\"";
  std::string salida = EjecutarComando(comando, consola(v));
  v.registrarLog(salida);
  return salida;
}

}  // namespace tf
