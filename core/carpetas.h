// Installation folders: composed paths only; nothing is created or checked.
#pragma once
#include <string>

#include "core/texto.h"

namespace tf {

inline std::string getDirectorioTemporal(const std::string& raiz) { return raiz + "\\Temp"; }
inline std::string getDirectorioUtilidades(const std::string& raiz) { return raiz + "\\Utils"; }
inline std::string getDirectorioBackUp(const std::string& raiz) { return raiz + "\\BackUp"; }

inline std::string getDirectorioTemporalInstalador(const std::string& exePath) {
  return extraerDirectorio(exePath) + "\\Temp";
}

}  // namespace tf
