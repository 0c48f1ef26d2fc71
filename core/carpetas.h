// Installation folders: composed paths only; nothing is created or checked.
#pragma once
#include <string>

namespace tf {

inline std::string getDirectorioTemporal(const std::string& raiz) { return raiz + "\\Temp"; }
inline std::string getDirectorioUtilidades(const std::string& raiz) { return raiz + "\\Utils"; }
inline std::string getDirectorioBackUp(const std::string& raiz) { return raiz + "\\BackUp"; }

// Folder part of a path: no trailing "\" except for a drive root ("C:\").
inline std::string extraerDirectorio(const std::string& path) {
  size_t cut = path.find_last_of("\\:");
  if (cut == std::string::npos) return {};
  if (path[cut] == '\\' && cut > 0 && path[cut - 1] != ':' && path[cut - 1] != '\\') return path.substr(0, cut);
  return path.substr(0, cut + 1);
}

// A folder and a name joined with exactly one "\" (the bare name when the folder is empty).
inline std::string unirRuta(const std::string& carpeta, const std::string& nombre) {
  if (carpeta.empty()) return nombre;
  return carpeta.back() == '\\' ? carpeta + nombre : carpeta + "\\" + nombre;
}

inline std::string getDirectorioTemporalInstalador(const std::string& exePath) {
  return extraerDirectorio(exePath) + "\\Temp";
}

}  // namespace tf
