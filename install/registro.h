// The product's entry in the system's list of installed programs: writer, reader and deleter.
#pragma once
#include <string>

#include "install/ventana.h"
#include "platform/registry.h"

namespace tf {

// Writes the entry "TurnaliaFree.exe" under the uninstall root; silent when the key cannot be
// opened or created. A value that cannot be written raises the registry's error.
void incluirAplicionEnElRegistro(Ventana& v);
// True when the uninstall root holds a subkey `nombre` (letters compared without case).
bool isAplicationInstalada(Ventana& v, const std::string& nombre);
// Deletes the subkey `nombre` of the uninstall root; reports nothing.
void borrarAplicacionRegistro(Ventana& v, const std::string& nombre);

// Deletes the key at `ruta` (its last "\" separates parent and subkey); true on success.
bool borrarClaveRegistro(Registry& registro, RegistryRoot raiz, const std::string& ruta);
// 1-based position of the last `c` in `texto`; 0 when it does not occur.
int posicionUltimoCaracter(char c, const std::string& texto);

// Size of a folder and everything below it, in bytes (links are not followed).
uint64_t tamanoCarpeta(Files& files, const std::string& carpeta);

}  // namespace tf
