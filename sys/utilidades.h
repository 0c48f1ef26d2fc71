// Process and folder utilities. None raises; folder problems become log lines.
#pragma once
#include <string>
#include <vector>

#include "core/log.h"
#include "core/texto.h"  // the name and case helpers callers compare with
#include "platform/files.h"
#include "platform/processes.h"

namespace tf {

// True when a running process has exactly that executable file name (letters without case).
bool isProcesoEnEjecucion(const std::string& ejecutable, Processes& processes);

// Terminates every process whose executable file name, or whole executable text, equals the
// argument (ASCII letters without case), without waiting for them. The outcome of the last
// termination attempt; false when none matched.
bool terminarProcesos(const std::string& ejecutable, Processes& processes);

// Like terminarProcesos, but only processes whose executable (its full path, read from the
// process) lies inside `carpeta`: a program of the same name elsewhere belongs to someone else.
// A process whose path cannot be read is left running. Each spared process is logged.
bool terminarProcesosEnCarpeta(const std::string& ejecutable, const std::string& carpeta, Processes& processes,
                               Log& log);

// True when `ruta` names something strictly inside the absolute folder `carpeta` (letters
// without case).
bool isRutaDentroDe(const std::string& ruta, const std::string& carpeta);

// True for an absolute drive path below the root ("C:\x", not "", "C:", "C:\", "x" or "\x"),
// with no empty, "." or ".." parts.
bool isRutaAbsoluta(const std::string& ruta);

// True when the folder (without trailing "\") lists exactly two entries: "." and ".." of an
// empty folder, or any two entries of a drive root. False when it does not exist.
bool isDirectorioVacio(const std::string& carpeta, Files& files);

// Deletes the folder's files, and with `recursivo` its sub-folders, except the entries whose
// names match `mascara` ("" keeps nothing); then removes the folder when it ends up empty.
// Links (junctions, symbolic links) are removed themselves, never descended into; so is the folder
// itself when it is one, and what it points to is left alone. An entry whose name the program
// cannot represent is left alone (nor descended into) and logged.
// Failures are logged: "No se pudó eliminar el archivo " + path, and the folder message.
// With `reinicio`, a file in use (see Files::deleteFileTellingWhy) is also handed to the system
// for deletion at the next restart, and so is each folder left holding only such files, after
// them; both are logged and listed there.
struct BorradoAlReiniciar {
  std::vector<std::string> programados;    // files, then the folders that held only them
  std::vector<std::string> sinProgramar;   // files in use the system would not take
};
void borrarDirectorio(const std::string& carpeta, bool recursivo, const std::string& mascara, Files& files, Log& log,
                      BorradoAlReiniciar* reinicio = nullptr);

// File-name mask: "*" any run, "?" one character, "[a-z]" / "[!a-z]" sets; letters without case.
bool coincideMascara(const std::string& nombre, const std::string& mascara);

}  // namespace tf
