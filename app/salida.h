// The program's exit code, from the table deployment tools already read (Windows Installer's).
#pragma once
#include <functional>
#include <string>

#include "app/argumentos.h"
#include "core/log.h"
#include "install/ventana.h"
#include "platform/ui.h"

namespace tf {

constexpr int kSalidaCorrecta = 0;
constexpr int kSalidaArgumentoInvalido = 87;  // ERROR_INVALID_PARAMETER
constexpr int kSalidaAbandonada = 1602;       // ERROR_INSTALL_USEREXIT
constexpr int kSalidaFallida = 1603;          // ERROR_INSTALL_FAILURE
constexpr int kSalidaOtraCopia = 1618;        // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kSalidaReiniciar = 3010;        // ERROR_SUCCESS_REBOOT_REQUIRED

// The code of a run that ended with `d`. A person who leaves before anything ran gets 1602; a
// silent run has nobody to leave, so one that reached no outcome has failed.
int codigoSalida(Desenlace d, bool silencioso);

// "Código de salida: N", the last line a silent run adds before closing.
std::string lineaCodigoSalida(int codigo);

extern const char* const kMensajeOtraCopia;

// What is settled before the window exists, in this order: arguments a silent run cannot act on
// (87), the help (0), another copy holding the machine's lock (1618; `tomarInstancia` takes the
// lock for the rest of the run and answers false when another copy holds it). Boxes go through
// `ui`, which in a silent run writes them to the log; a copy refused for another writes one log
// line instead, in either mode. True with `codigo` when the program ends here.
bool terminaAntesDeLaVentana(const Argumentos& a, const std::function<bool()>& tomarInstancia, Ui& ui, Log& log,
                             int& codigo);

}  // namespace tf
