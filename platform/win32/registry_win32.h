// Win32 implementation of the registry port.
#pragma once
#include "platform/registry.h"

namespace tf {

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> open(RegistryRoot root, const std::string& path, RegistryAccess access) override;
  std::unique_ptr<RegistryKey> create(RegistryRoot root, const std::string& path) override;
};

}  // namespace tf
