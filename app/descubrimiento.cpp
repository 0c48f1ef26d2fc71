#include "app/descubrimiento.h"

#include <algorithm>

namespace tf {

bool preguntarServidorRed(Network& net, std::unique_ptr<UdpSocket>& socket, Clock& clock, Ui& ui,
                          std::string& nombre, std::string& error) {
  nombre.clear();
  if (!socket) socket = net.openUdp(error);
  if (!socket) return false;
  if (!socket->broadcast(kPuertoDescubrimiento, std::string(), error)) return false;

  const uint64_t inicio = clock.tickMs();
  // The clock ends the wait; the count of slices only guards against a clock that stands still.
  const unsigned tramosMaximos = 2 * (kEsperaDescubrimientoMs / kTramoDescubrimientoMs);
  for (unsigned tramo = 0; tramo < tramosMaximos; ++tramo) {
    const uint64_t pasado = clock.tickMs() - inicio;
    if (pasado >= kEsperaDescubrimientoMs) break;
    const unsigned espera = (unsigned)std::min<uint64_t>(kTramoDescubrimientoMs, kEsperaDescubrimientoMs - pasado);
    std::string carga;
    switch (socket->receive(carga, kRespuestaMaxima, espera, error)) {
      case UdpSocket::Received::data:
        nombre = carga;
        return true;
      case UdpSocket::Received::failed:
        return false;
      case UdpSocket::Received::timedOut:
        break;
    }
    ui.processMessages();
  }
  return true;
}

}  // namespace tf
