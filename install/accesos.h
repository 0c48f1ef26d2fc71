// The shortcuts of an installation, and the small shortcut unit they are written with.
#pragma once
#include <cstdint>
#include <string>

#include "install/ventana.h"
#include "platform/shell_links.h"

namespace tf {

void crearAccesosDirectos(Ventana& v);
void crearAccesosDirectosTicador(Ventana& v);

// Writes one ".lnk"; `codigoVentana` 1 stores "minimised, not activated", 2 "maximised",
// anything else "normal". True when the file was saved.
bool CreateShellLink(ShellLinks& links, const std::string& fichero, const std::string& destino,
                     const std::string& descripcion, int codigoVentana, uint16_t teclaRapida, int indiceIcono,
                     const std::string& ficheroIcono, const std::string& argumentos, const std::string& carpetaTrabajo);
// folder + "\" + name + ".lnk", working in the target's folder, with the target's first icon.
bool CreateShortcut(ShellLinks& links, const std::string& nombre, const std::string& carpeta,
                    const std::string& destino, const std::string& argumentos, const std::string& descripcion);

}  // namespace tf
