// The uninstall run: services, their processes, the installation folder (backups kept), the
// installed-programs entry and the shortcuts, in that order.
#pragma once
#include <string>

#include "install/ventana.h"
#include "sys/utilidades.h"

namespace tf {

// "Continuar": the run with the hourglass, then the success outcome, which asks for a restart
// when files in use wait for it. A file in use that could not be left to the restart ends on
// the failure outcome instead, once the run is over. An error ends the run where it happened:
// the cursor is restored, the error is logged and raised again for the window's standard error
// box, and no success is shown.
void btnDesinstalarClick(Ventana& v);

// Raises Error, before removing anything, when the installation root is not an absolute folder
// below a drive's root: emptying it could empty a drive. Files in use are left to the next
// restart; the answer lists them, and those the system would not take.
BorradoAlReiniciar desinstalarKVT(Ventana& v);

// Deletes the product's shortcut files and its Start menu folders (when empty); silent.
void eliminarAccesosDirectos(Ventana& v);

}  // namespace tf
