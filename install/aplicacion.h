// The application package and the product's services.
#pragma once
#include "install/ventana.h"

namespace tf {

// Unpacks the application, installs and starts its two services, writes the
// installed-programs entry. True unless an error is raised.
bool EjecutarComando4N(Ventana& v);

}  // namespace tf
