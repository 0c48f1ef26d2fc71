#include "install/comandos.h"

#include "sys/comando.h"

namespace tf {

std::string rutaCortaPrograma(Ventana& v, const std::string& programa) {
  if (!v.puertos.files.fileExists(programa)) return {};
  std::string corta = v.puertos.files.shortPath(programa);
  if (corta.find(' ') != std::string::npos) return "\"" + corta + "\"";
  return corta;
}

std::string rutaCortaEnCarpeta(Ventana& v, const std::string& carpeta, const std::string& nombre) {
  std::string ruta = v.puertos.files.shortPath(carpeta) + "\\" + nombre;
  if (ruta.find(' ') != std::string::npos) return "\"" + ruta + "\"";
  return ruta;
}

std::string ejecutarYRegistrar(Ventana& v, const std::string& programaCorto, const std::string& resto) {
  std::string comando = programaCorto + resto;
  if (!programaCorto.empty() && programaCorto[0] == '"') comando = "\"" + comando + "\"";
  std::string salida = EjecutarComando(comando, v.puertos.processes, v.puertos.ui);
  v.registrarLog(salida);
  return salida;
}

}  // namespace tf
