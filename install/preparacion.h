// The folders and the uninstaller copy that an installation writes into.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// Full installation: folders, the uninstaller copy, the update engine's folder, then the utilities.
void prepararInstalacion(Ventana& v);
// Time-clock client: the installation folder, its Temp folder and the uninstaller copy.
void prepararInstalacionTicador(Ventana& v);

}  // namespace tf
