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

namespace {
// A wait on a stopping (or still starting) service: kEsperaParadaServicioMs from the last sign of
// progress (a new state or a higher check point), never more than kEsperaParadaServicioMaximaMs
// in all. A server flushing its data reports progress; one that stopped reporting is stuck.
class EsperaParada {
 public:
  EsperaParada(Clock& clock, const ServiceStatus& estado)
      : clock_(clock), inicio_(clock.tickMs()), avance_(inicio_), ultimo_(estado) {}
  bool vencida() {
    const uint64_t ahora = clock_.tickMs();
    return ahora - avance_ >= kEsperaParadaServicioMs || ahora - inicio_ >= kEsperaParadaServicioMaximaMs;
  }
  void visto(const ServiceStatus& estado) {
    if (estado.state != ultimo_.state || estado.checkPoint > ultimo_.checkPoint) avance_ = clock_.tickMs();
    ultimo_ = estado;
  }

 private:
  Clock& clock_;
  uint64_t inicio_, avance_;
  ServiceStatus ultimo_;
};

// Queries until `seguir` is false for the state, the wait runs out or a query fails.
template <typename Seguir>
bool esperarMientras(ServiceControl& servicio, ServiceStatus& estado, EsperaParada& espera, Seguir seguir,
                     Services& services, Ui& ui, Clock& clock) {
  while (seguir(estado.state) && !espera.vencida()) {
    pausar(std::clamp<unsigned>(estado.waitHint, kPausaServicioMinimaMs, kPausaServicioMaximaMs), services, ui, clock);
    if (!servicio.query(estado)) return false;
    espera.visto(estado);
  }
  return true;
}
}  // namespace

bool detenerServicioYEsperar(const std::string& maquina, const std::string& nombre, Services& services, Ui& ui,
                             Clock& clock) {
  std::unique_ptr<ServiceControl> servicio = services.openForStop(maquina, nombre);
  if (!servicio) return false;
  ServiceStatus estado;
  bool aceptada = servicio->stop();
  if (!servicio->query(estado)) return false;
  EsperaParada espera(clock, estado);
  // Refused because it is still starting: once it runs it can take the stop.
  if (!aceptada && estado.state == kServiceStartPending) {
    if (!esperarMientras(*servicio, estado, espera, [](uint32_t s) { return s == kServiceStartPending; }, services,
                         ui, clock))
      return false;
    if (estado.state == kServiceRunning) {
      aceptada = servicio->stop();
      if (!servicio->query(estado)) return false;
      espera.visto(estado);
    }
  }
  // Refused because it is already stopping: that stop is waited for as if it were ours.
  if (aceptada || estado.state == kServiceStopPending) {
    if (!esperarMientras(*servicio, estado, espera, [](uint32_t s) { return s != kServiceStopped; }, services, ui,
                         clock))
      return false;
  }
  return estado.state == kServiceStopped;
}

}  // namespace tf
