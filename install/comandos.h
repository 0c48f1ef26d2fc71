// Console commands of the installation and uninstall steps: program paths in their short form,
// and each command's output as one log line.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// The short (8.3) form of an existing program, for a command line; empty when the program is
// missing. Quoted when it still holds a blank (volumes with 8.3 names off give the long form).
std::string rutaCortaPrograma(Ventana& v, const std::string& programa);

// The short (8.3) form of a folder, then "\" and a file name as given (its long form), for a
// command line; quoted when it holds a blank.
std::string rutaCortaEnCarpeta(Ventana& v, const std::string& carpeta, const std::string& nombre);

// Runs `programaCorto` + `resto` through the command interpreter and logs its output as one
// line. A quoted program gets the whole command wrapped in one more pair of quotes, because
// "cmd /c" drops the first and the last quote of a line that starts with one.
std::string ejecutarYRegistrar(Ventana& v, const std::string& programaCorto, const std::string& resto);

}  // namespace tf
