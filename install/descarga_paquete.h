// The package download step: the update engine fetches the packages of a full installation.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

void descargarPaqueteInstalacion(Ventana& v);

}  // namespace tf
