// Service control port: the registered services and starting one.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tf {

enum : uint32_t { kServiceStopped = 1, kServiceStartPending = 2, kServiceStopPending = 3, kServiceRunning = 4 };

struct ServiceStatus {
  uint32_t state = kServiceStopped;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;  // milliseconds
};

// An open service (and its manager); destruction closes both. It was opened with the rights
// to start or to stop it (see Services), and to query it.
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  virtual bool start() = 0;  // false when refused (already running, disabled, no right, ...)
  virtual bool stop() = 0;   // false when refused (not running, does not accept a stop, no right, ...)
  virtual bool query(ServiceStatus& status) = 0;
};

class Services {
 public:
  virtual ~Services() = default;
  // Key names of every service and driver, running or not, in the manager's order
  // (empty machine = local). Throws Error with the system's text when the manager cannot
  // be opened or enumerated.
  virtual std::vector<std::string> serviceNames(const std::string& machine) = 0;
  // nullptr when the manager or the service cannot be opened to start and query it.
  virtual std::unique_ptr<ServiceControl> openForStart(const std::string& machine, const std::string& name) = 0;
  // nullptr when the manager or the service cannot be opened to stop and query it.
  virtual std::unique_ptr<ServiceControl> openForStop(const std::string& machine, const std::string& name) = 0;
  // Sleeps up to ms, waking early when a window message arrives.
  virtual void waitForMessages(unsigned ms) = 0;
};

}  // namespace tf
