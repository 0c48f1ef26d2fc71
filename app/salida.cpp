#include "app/salida.h"

#include "core/mensajes.h"

namespace tf {

const char* const kMensajeOtraCopia =
    "Ya se está ejecutando otra copia del instalador o del desinstalador de TurnaliaFree. "
    "Espere a que termine antes de volver a empezar.";

int codigoSalida(Desenlace d, bool silencioso) {
  switch (d) {
    case Desenlace::Instalado:
    case Desenlace::NadaQueDesinstalar:
    case Desenlace::Desinstalado:
      return kSalidaCorrecta;
    case Desenlace::DesinstaladoAlReiniciar:
      return kSalidaReiniciar;
    case Desenlace::Fallido:
    case Desenlace::DesinstalacionFallida:
      return kSalidaFallida;
    case Desenlace::Pendiente:
      break;
  }
  return silencioso ? kSalidaFallida : kSalidaAbandonada;
}

std::string lineaCodigoSalida(int codigo) { return "Código de salida: " + std::to_string(codigo); }

bool terminaAntesDeLaVentana(const Argumentos& a, const std::function<bool()>& tomarInstancia, Ui& ui, Log& log,
                             int& codigo) {
  if (a.rechazaErrores()) {
    for (const std::string& e : a.errores) log.registrarLog(e);
    codigo = kSalidaArgumentoInvalido;
  } else if (a.ayuda) {
    ui.messageBox(textoAyuda(), kTituloAplicacion, MessageIcon::Information);
    codigo = kSalidaCorrecta;
  } else if (!tomarInstancia()) {
    codigo = kSalidaOtraCopia;
    // The running copy may write to the same log: one line, not a block among its lines.
    log.registrarLog(std::string(kMensajeOtraCopia) + " " + lineaCodigoSalida(codigo));
    if (!a.silencioso) ui.messageBox(kMensajeOtraCopia, kTituloAplicacion, MessageIcon::Exclamation);
    return true;
  } else {
    return false;
  }
  if (a.silencioso) log.registrarLog(lineaCodigoSalida(codigo));
  return true;
}

}  // namespace tf
