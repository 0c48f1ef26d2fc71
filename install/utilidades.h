// The utilities: the archive's DLLs, controls and tools, their registration, and the Path.
#pragma once
#include <string>

#include "install/ventana.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace tf {

void instalarUtilidades(Ventana& v);
// Adds the Utils folder to the machine's Path when no entry of the Path names it already. A
// Path that is not text (REG_SZ, REG_EXPAND_SZ) or cannot be read is logged and left as it is.
void incluirUtilidadesEnPath(Ventana& v);

// The machine's Path as stored (references unexpanded); type None when the value is missing.
// Throws Error when the key cannot be opened or the value cannot be read.
RegistryValue leerPathSistema(Registry& registro);
// Writes the Path as an expandable string and tells running programs the environment changed.
// Throws Error when the key cannot be opened or the value written.
void escribirPathSistema(Registry& registro, Shell& shell, const std::string& path);
// True when one of the Path's ";"-separated entries names `carpeta` (letters without case, a
// final "\" and enclosing quotes ignored).
bool pathContieneCarpeta(const std::string& path, const std::string& carpeta);

}  // namespace tf
