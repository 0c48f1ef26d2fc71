// The hash port over the system's CryptoAPI (advapi32, a KnownDLL).
#pragma once
#include <cstdint>

#include "platform/crypto.h"

namespace tf {

class Win32Hashes : public Hashes {
 public:
  ~Win32Hashes() override;
  bool sha1(const std::string& data, std::string& digest) override;

 private:
  uintptr_t provider_ = 0;  // acquired at first use, released with the object
};

}  // namespace tf
