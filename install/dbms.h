// The database server and the application: unpacking, configuration, services.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// The database server, its password and schema, then the application and its services.
void instalarSoftware(Ventana& v);

}  // namespace tf
