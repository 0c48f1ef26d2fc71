// The time-clock client: its utilities and program.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

void descargarSoftwareTicador(Ventana& v);

}  // namespace tf
