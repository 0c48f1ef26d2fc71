// The shortcuts of an installation, and the small shortcut unit they are written with.
#pragma once
#include <cstdint>
#include <string>

#include "core/log.h"
#include "install/ventana.h"
#include "platform/ports.h"
#include "platform/shell_links.h"

namespace tf {

void crearAccesosDirectos(Ventana& v);
void crearAccesosDirectosTicador(Ventana& v);

// True for a folder links may be written in (and removed from): an absolute drive path below the
// root, or a network path "\\server\share\..."; no empty, "." or ".." parts.
bool isCarpetaDeAccesos(const std::string& carpeta);

// A special folder for links, by its probe: "" when the system cannot name it (a link would land
// at the drive's root) or names it only in characters Windows-1252 lacks (the reason goes to
// `log` when given). Such a folder gets no link, as when a link cannot be saved.
std::string carpetaDeAccesos(SystemInfo& sys, std::string (SystemInfo::*consulta)(), Log* log);

// Writes one ".lnk"; `codigoVentana` 1 stores "minimised, not activated", 2 "maximised",
// anything else "normal". True when the file was saved.
bool CreateShellLink(ShellLinks& links, const std::string& fichero, const std::string& destino,
                     const std::string& descripcion, int codigoVentana, uint16_t teclaRapida, int indiceIcono,
                     const std::string& ficheroIcono, const std::string& argumentos, const std::string& carpetaTrabajo);
// folder + "\" + name + ".lnk", working in the target's folder, with the target's first icon.
bool CreateShortcut(ShellLinks& links, const std::string& nombre, const std::string& carpeta,
                    const std::string& destino, const std::string& argumentos, const std::string& descripcion);

}  // namespace tf
