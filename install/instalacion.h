// The installation run: the steps of a full or a time-clock client installation, in order.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// What "Instalar" does: the progress panel, the road chosen at start-up, the outcome.
void instalar(Ventana& v);
// Packages (downloaded, or copied for an offline installation), software, shortcuts.
void instalarKVT(Ventana& v);
// The client program and its shortcuts.
void instalarSoftwareTicador(Ventana& v);

}  // namespace tf
