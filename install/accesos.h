// The shortcuts of an installation.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

void crearAccesosDirectos(Ventana& v);
void crearAccesosDirectosTicador(Ventana& v);

}  // namespace tf
