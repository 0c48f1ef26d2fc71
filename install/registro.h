// The product's entry in the system's list of installed programs.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

void incluirAplicionEnElRegistro(Ventana& v);

}  // namespace tf
