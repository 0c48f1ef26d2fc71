// The reports to the vendor.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// Posts the installation report; with `flag`, the error report (e-mail and log added).
void confirmar_instalacion(Ventana& v, bool flag);

}  // namespace tf
