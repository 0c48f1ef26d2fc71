// Console commands of the installation and uninstall steps: program paths in their short form,
// system programs by their full path, and each command's output as one log line.
#pragma once
#include <string>

#include "install/ventana.h"
#include "sys/comando.h"

namespace tf {

// A system program ("cmd.exe", "regsvr32.exe", "sc.exe") by its full path in the folder of the
// programs this process starts: by its bare name the system would look in the program's own and
// current folders first, where anyone may have put a program of that name.
std::string programaSistema(Ventana& v, const std::string& nombre);
// The same for a command line: quoted when the path holds a blank.
std::string programaSistemaEnComando(Ventana& v, const std::string& nombre);

// The command runner on the window's machine, with the system's command interpreter.
Consola consola(Ventana& v);

// The short (8.3) form of a folder, then "\" and a file name as given (its long form), for a
// command line; quoted when it holds a blank.
std::string rutaCortaEnCarpeta(Ventana& v, const std::string& carpeta, const std::string& nombre);

// Runs `programaCorto` + `resto` through the command interpreter and logs its output as one
// line. A quoted program gets the whole command wrapped in one more pair of quotes, because
// "cmd /c" drops the first and the last quote of a line that starts with one.
std::string ejecutarYRegistrar(Ventana& v, const std::string& programaCorto, const std::string& resto);

// The same for `programa` by its short (8.3) form, quoted when that still holds a blank. False,
// running nothing, when the program is missing: the bare arguments would start whatever their
// first word names in the current folder or the Path.
bool ejecutarPrograma(Ventana& v, const std::string& programa, const std::string& resto);

}  // namespace tf
