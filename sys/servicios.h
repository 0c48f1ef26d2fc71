// Service queries and start.
#pragma once
#include <string>

#include "platform/ports.h"
#include "platform/services.h"
#include "platform/ui.h"

namespace tf {

// True when a service or driver with exactly that key name (letters without case) is
// registered on the local machine. Display names do not count. Throws Error with the
// system's text when the service manager cannot be opened or enumerated.
bool isServicioInstalado(const std::string& nombre, Services& services);

// Starts a registered service and waits until it runs. False when it cannot be opened,
// the start is refused (already running, disabled), it stops while starting, its check
// point goes back, or it is still not running after kEsperaServicioMs. Never raises.
bool iniciarServicioYEsperar(const std::string& maquina, const std::string& nombre, Services& services, Ui& ui,
                             Clock& clock);

// Asks a service to stop and waits until it is stopped, so that a server can shut down cleanly
// before its process could be ended. A stop refused because the service is still starting is
// asked again once it runs; one refused because it is already stopping is waited for. True when
// it is stopped (also when it was not running); false when it cannot be opened, refuses while
// running, or the wait runs out: kEsperaParadaServicioMs without progress (a new state or a
// higher check point), kEsperaParadaServicioMaximaMs in all. Never raises.
bool detenerServicioYEsperar(const std::string& maquina, const std::string& nombre, Services& services, Ui& ui,
                             Clock& clock);

constexpr unsigned kEsperaParadaServicioMs = 30000;
constexpr unsigned kEsperaParadaServicioMaximaMs = 300000;

// The bound on the wait: a service stuck in its start state must not hang the installer.
constexpr unsigned kEsperaServicioMs = 120000;
// Each sleep follows the service's wait hint within these limits.
constexpr unsigned kPausaServicioMinimaMs = 100;
constexpr unsigned kPausaServicioMaximaMs = 1000;

}  // namespace tf
