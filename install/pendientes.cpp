// Steps not built yet: each stops the run with a clear message instead of doing nothing.
#include "install/ticador.h"
#include "platform/error.h"

namespace tf {

namespace {
[[noreturn]] void pendiente(const char* paso) {
  throw Error(std::string("Esta versi\xF3n del instalador a\xFAn no incluye el paso ") + paso);
}
}  // namespace

void descargarSoftwareTicador(Ventana&) { pendiente("descargarSoftwareTicador"); }

}  // namespace tf
