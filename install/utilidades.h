// The utilities: the archive's DLLs, controls and tools, their registration, and the Path.
#pragma once
#include "install/ventana.h"

namespace tf {

void instalarUtilidades(Ventana& v);

}  // namespace tf
