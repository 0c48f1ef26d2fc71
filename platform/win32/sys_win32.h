// Win32 implementations of the process and service ports.
#pragma once
#include <cstddef>

#include "platform/processes.h"
#include "platform/services.h"

namespace tf {

class Win32Processes : public Processes {
 public:
  std::string environment(const std::string& name) override;
  void switchOffErrorBoxes() override;
  std::unique_ptr<RunningCommand> startHidden(const std::string& commandLine) override;
  bool list(std::vector<ProcessEntry>& out) override;
  bool terminate(uint32_t id) override;
  bool imagePath(uint32_t id, std::string& path) override;
};

class Win32Services : public Services {
 public:
  // The size of the first enumeration buffer; a small one makes the list come in several calls.
  Win32Services() = default;
  explicit Win32Services(size_t firstBufferBytes) : firstBufferBytes_(firstBufferBytes) {}
  std::vector<std::string> serviceNames(const std::string& machine) override;
  std::unique_ptr<ServiceControl> openForStart(const std::string& machine, const std::string& name) override;
  std::unique_ptr<ServiceControl> openForStop(const std::string& machine, const std::string& name) override;
  void waitForMessages(unsigned ms) override;

 private:
  size_t firstBufferBytes_ = 8192;
};

}  // namespace tf
