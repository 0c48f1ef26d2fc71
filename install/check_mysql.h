// The check for a running database server of this product, before anything is installed.
#pragma once
#include <string>

#include "install/ventana.h"

namespace tf {

// Looks for a running "mysqld.exe" and, when one runs, whether the product's own server answers
// with the derived password. False when the installation must not go on (the failure outcome
// is already shown); true otherwise. Creates the database server's parent folder.
bool checkMySQL(Ventana& v);

}  // namespace tf
