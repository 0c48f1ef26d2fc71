// The uninstaller's first page: is the product installed, how much it takes, and the
// confirmation that enables "Continuar".
#pragma once
#include <cstdint>
#include <string>

#include "install/ventana.h"

namespace tf {

// Nothing installed: the outcome panel says so. Installed: the uninstall panel, with the
// installation folder and its size in the two (hidden) labels.
void mostrarOpcionesDesinstalacion(Ventana& v);

// "Continuar" is enabled exactly while the confirmation box is ticked.
void chkKVTDesinstalarClick(Ventana& v);

// Bytes below a folder: the low 32 bits of each listed size, summed in a signed 32-bit number
// that wraps beyond 2 GiB. Folders whose names begin with "." are not entered, nor are links
// (their targets lie elsewhere). A folder that cannot be listed counts 0.
int32_t calcularTamanoDirectorio(Files& files, const std::string& carpeta, bool recursivo);

// Bytes as megabytes with one decimal and the given decimal separator: "47,8 MB".
std::string textoTamanoMB(int32_t bytes, const std::string& separador);

}  // namespace tf
