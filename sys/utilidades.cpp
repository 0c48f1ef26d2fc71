#include "sys/utilidades.h"

#include <vector>

#include "core/mensajes.h"
#include "core/texto.h"
#include "platform/codepage.h"

namespace tf {

namespace {

// Matches one mask element at m (not "*") against c; sets `largo` to the element's length.
bool coincideElemento(const std::string& m, size_t i, unsigned char c, size_t& largo) {
  if (m[i] == '[') {
    size_t cierre = m.find(']', i + 1);
    if (cierre != std::string::npos) {
      largo = cierre - i + 1;
      size_t j = i + 1;
      bool negado = j < cierre && m[j] == '!';
      if (negado) ++j;
      bool dentro = false;
      unsigned char x = lowerCp1252(c);
      for (; j < cierre; ++j) {
        unsigned char desde = lowerCp1252((unsigned char)m[j]), hasta = desde;
        if (j + 2 < cierre && m[j + 1] == '-') {
          hasta = lowerCp1252((unsigned char)m[j + 2]);
          j += 2;
        }
        if (x >= desde && x <= hasta) dentro = true;
      }
      return dentro != negado;
    }
    // An unclosed "[" stands for itself.
  }
  largo = 1;
  return m[i] == '?' || lowerCp1252((unsigned char)m[i]) == lowerCp1252(c);
}

}  // namespace

bool coincideMascara(const std::string& nombre, const std::string& mascara) {
  // Every element but "*" takes exactly one character, so going back to the last "*" is enough.
  size_t m = 0, s = 0, estrella = std::string::npos, desdeEstrella = 0;
  while (s < nombre.size()) {
    size_t largo = 1;
    if (m < mascara.size() && mascara[m] == '*') {
      estrella = ++m;
      desdeEstrella = s;
    } else if (m < mascara.size() && coincideElemento(mascara, m, (unsigned char)nombre[s], largo)) {
      m += largo;
      ++s;
    } else if (estrella != std::string::npos) {
      m = estrella;
      s = ++desdeEstrella;
    } else {
      return false;
    }
  }
  while (m < mascara.size() && mascara[m] == '*') ++m;
  return m == mascara.size();
}

bool isProcesoEnEjecucion(const std::string& ejecutable, Processes& processes) {
  std::vector<ProcessEntry> lista;
  if (!processes.list(lista)) return false;
  for (const ProcessEntry& p : lista)
    if (igualesSinMayusculas(nombreFichero(p.exeFile), ejecutable)) return true;
  return false;
}

bool terminarProcesos(const std::string& ejecutable, Processes& processes) {
  std::vector<ProcessEntry> lista;
  if (!processes.list(lista)) return false;
  std::string buscado = mayusculasAscii(ejecutable);
  bool resultado = false;
  for (const ProcessEntry& p : lista) {
    if (mayusculasAscii(nombreFichero(p.exeFile)) == buscado || mayusculasAscii(p.exeFile) == buscado)
      resultado = processes.terminate(p.id);
  }
  return resultado;
}

bool isRutaAbsoluta(const std::string& ruta) {
  if (ruta.size() < 4 || ruta[1] != ':' || ruta[2] != '\\') return false;
  char unidad = (char)(ruta[0] | 0x20);
  if (unidad < 'a' || unidad > 'z') return false;
  std::string resto = ruta.substr(3);
  if (!resto.empty() && resto.back() == '\\') resto.pop_back();
  if (resto.empty()) return false;
  for (size_t inicio = 0;;) {
    size_t fin = resto.find('\\', inicio);
    std::string parte = resto.substr(inicio, fin == std::string::npos ? std::string::npos : fin - inicio);
    if (parte.empty() || parte == "." || parte == ".." || parte.find_first_of("/:") != std::string::npos) return false;
    if (fin == std::string::npos) return true;
    inicio = fin + 1;
  }
}

bool isRutaDentroDe(const std::string& ruta, const std::string& carpeta) {
  if (!isRutaAbsoluta(ruta) || !isRutaAbsoluta(carpeta)) return false;
  std::string base = carpeta;
  if (base.back() != '\\') base += '\\';
  return ruta.size() > base.size() && igualesSinMayusculas(ruta.substr(0, base.size()), base);
}

bool terminarProcesosEnCarpeta(const std::string& ejecutable, const std::string& carpeta, Processes& processes,
                               Log& log) {
  std::vector<ProcessEntry> lista;
  if (!processes.list(lista)) return false;
  bool resultado = false;
  for (const ProcessEntry& p : lista) {
    if (!igualesSinMayusculas(nombreFichero(p.exeFile), ejecutable)) continue;
    std::string ruta;
    const std::string id = " (" + std::to_string(p.id) + ")";
    if (!processes.imagePath(p.id, ruta))
      log.registrarLog("No se finaliza el proceso " + ejecutable + id + ": no se pudo leer su ruta");
    else if (!isRutaDentroDe(ruta, carpeta))
      log.registrarLog("No se finaliza el proceso " + ruta + id + ": no pertenece a " + carpeta);
    else
      resultado = processes.terminate(p.id);
  }
  return resultado;
}

bool isDirectorioVacio(const std::string& carpeta, Files& files) {
  std::vector<FileEntry> entradas;
  std::string patron = carpeta;
  if (patron.empty() || patron.back() != '\\') patron += '\\';
  if (!files.list(patron + "*.*", entradas)) return false;
  return entradas.size() == 2;
}

namespace {

// The folder itself is a link (junction, symbolic link): its own listing entry carries the bit.
bool esEnlace(const std::string& carpeta, Files& files) {
  std::vector<FileEntry> propia;
  return isRutaAbsoluta(carpeta) && carpeta.find_first_of("*?") == std::string::npos && files.list(carpeta, propia) &&
         propia.size() == 1 && propia[0].isReparsePoint;
}

// What a folder still holds once its deletion pass is over.
enum class Resto { Nada, AlReiniciar, Algo };

// A file that failed to go: when it is in use and `reinicio` asks for it, the restart takes it.
bool programarArchivo(const std::string& ruta, bool enUso, Files& files, Log& log, BorradoAlReiniciar* reinicio) {
  if (!reinicio || !enUso) return false;
  if (files.deleteAtRestart(ruta)) {
    log.registrarLog(formatear(msgArchivoAlReiniciar, {ruta}));
    reinicio->programados.push_back(ruta);
    return true;
  }
  log.registrarLog(formatear(msgArchivoNoProgramado, {ruta}));
  reinicio->sinProgramar.push_back(ruta);
  return false;
}

Resto borrarCarpeta(const std::string& carpeta, bool recursivo, const std::string& mascara, Files& files, Log& log,
                    BorradoAlReiniciar* reinicio) {
  std::string dir = carpeta;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  if (!files.folderExists(dir)) return Resto::Nada;
  bool queda = false, alReiniciar = false;
  std::vector<FileEntry> entradas;
  files.list(dir + "*.*", entradas);
  for (const FileEntry& e : entradas) {
    // A name that is not the file's own would delete (or descend into) another file.
    if (e.nameNotRepresentable || !isPlainEntryName(e.name)) {
      log.registrarLog("No se eliminó el archivo " + dir + e.name + " porque su nombre tiene caracteres no admitidos");
      queda = true;
      continue;
    }
    if (e.isFolder && recursivo) {
      if (e.name == "." || e.name == "..") continue;
      // A link's target lies outside this folder: only the link itself may go.
      if (!e.isReparsePoint) {
        Resto r = borrarCarpeta(dir + e.name, true, mascara, files, log, reinicio);
        queda |= r == Resto::Algo;
        alReiniciar |= r == Resto::AlReiniciar;
        continue;
      }
    }
    if (e.isVolumeLabel) continue;
    if (!mascara.empty() && coincideMascara(e.name, mascara)) {
      queda = true;
      continue;
    }
    // Without recursion a sub-folder entry (".", "..", a link too) is not deleted: only logged.
    const std::string ruta = dir + e.name;
    FileDeletion borrado = FileDeletion::Failed;
    if (e.isFolder) borrado = recursivo && files.deleteFile(ruta) ? FileDeletion::Deleted : FileDeletion::Failed;
    else if (reinicio && !e.isReparsePoint) borrado = files.deleteFileTellingWhy(ruta);
    else if (files.deleteFile(ruta)) borrado = FileDeletion::Deleted;
    if (borrado == FileDeletion::Deleted) continue;
    log.registrarLog("No se pudó eliminar el archivo " + ruta);
    if (programarArchivo(ruta, borrado == FileDeletion::InUse, files, log, reinicio)) alReiniciar = true;
    else queda = true;
  }
  if (files.removeFolder(dir)) return Resto::Nada;
  if (isDirectorioVacio(dir, files)) {
    log.registrarLog(formatear(msgNoEliminarDirectorio, {dir}));
    return Resto::Algo;
  }
  if (queda || !alReiniciar) return Resto::Algo;
  // What it holds goes at the restart, before it: the system deletes in the order it was asked.
  const std::string sinBarra = sinBarraFinal(dir);
  if (!files.deleteAtRestart(sinBarra)) {
    log.registrarLog(formatear(msgNoEliminarDirectorio, {dir}));
    return Resto::Algo;
  }
  log.registrarLog(formatear(msgDirectorioAlReiniciar, {sinBarra}));
  reinicio->programados.push_back(sinBarra);
  return Resto::AlReiniciar;
}

}  // namespace

void borrarDirectorio(const std::string& carpeta, bool recursivo, const std::string& mascara, Files& files, Log& log,
                      BorradoAlReiniciar* reinicio) {
  const std::string sinBarra = sinBarraFinal(carpeta);
  // Reached through a link, the folder's contents belong to wherever it points: only the link goes.
  if (esEnlace(sinBarra, files)) {
    if (!files.deleteFile(sinBarra)) log.registrarLog("No se pudó eliminar el archivo " + sinBarra);
    return;
  }
  borrarCarpeta(carpeta, recursivo, mascara, files, log, reinicio);
}

}  // namespace tf
