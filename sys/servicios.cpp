#include "sys/servicios.h"

#include <algorithm>

#include "core/texto.h"
#include "sys/utilidades.h"

namespace tf {

bool isServicioInstalado(const std::string& nombre, Services& services) {
  for (const std::string& clave : services.serviceNames(""))
    if (!clave.empty() && igualesSinMayusculas(clave, nombre)) return true;
  return false;
}

namespace {
// Sleeps ms while the window keeps answering.
void pausar(unsigned ms, Services& services, Ui& ui, Clock& clock) {
  uint64_t hasta = clock.tickMs() + ms;
  for (uint64_t ahora = clock.tickMs(); ahora < hasta; ahora = clock.tickMs()) {
    services.waitForMessages((unsigned)(hasta - ahora));
    ui.processMessages();
  }
}
}  // namespace

bool iniciarServicioYEsperar(const std::string& maquina, const std::string& nombre, Services& services, Ui& ui,
                             Clock& clock) {
  std::unique_ptr<ServiceControl> servicio = services.openForStart(maquina, nombre);
  if (!servicio) return false;
  ServiceStatus estado;  // stopped unless the start is accepted
  if (!servicio->start()) return false;
  if (!servicio->query(estado)) return false;
  uint64_t inicio = clock.tickMs();
  while (estado.state != kServiceRunning) {
    // A server that fails at start-up falls back to stopped: nothing more will happen.
    if (estado.state == kServiceStopped) break;
    if (clock.tickMs() - inicio >= kEsperaServicioMs) break;
    uint32_t puntoAnterior = estado.checkPoint;
    pausar(std::clamp<unsigned>(estado.waitHint, kPausaServicioMinimaMs, kPausaServicioMaximaMs), services, ui,
           clock);
    if (!servicio->query(estado)) break;
    if (estado.checkPoint < puntoAnterior) break;
  }
  return estado.state == kServiceRunning;
}

bool detenerServicioYEsperar(const std::string& maquina, const std::string& nombre, Services& services, Ui& ui,
                             Clock& clock) {
  std::unique_ptr<ServiceControl> servicio = services.openForStop(maquina, nombre);
  if (!servicio) return false;
  ServiceStatus estado;
  // Refused: either it is not running (nothing to wait for) or it cannot take a stop now.
  if (!servicio->stop()) return servicio->query(estado) && estado.state == kServiceStopped;
  if (!servicio->query(estado)) return false;
  uint64_t inicio = clock.tickMs();
  while (estado.state != kServiceStopped && clock.tickMs() - inicio < kEsperaParadaServicioMs) {
    pausar(std::clamp<unsigned>(estado.waitHint, kPausaServicioMinimaMs, kPausaServicioMaximaMs), services, ui, clock);
    if (!servicio->query(estado)) return false;
  }
  return estado.state == kServiceStopped;
}

}  // namespace tf
