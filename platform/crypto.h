// Hash port: the digests the installer computes (SHA-1 for the database login).
#pragma once
#include <string>

namespace tf {

class Hashes {
 public:
  virtual ~Hashes() = default;
  // The 20-byte SHA-1 digest of `data` into `digest`; false when the system cannot hash.
  virtual bool sha1(const std::string& data, std::string& digest) = 0;
};

}  // namespace tf
