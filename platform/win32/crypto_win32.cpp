#include "platform/win32/crypto_win32.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

namespace tf {

Win32Hashes::~Win32Hashes() {
  if (provider_) CryptReleaseContext((HCRYPTPROV)provider_, 0);
}

bool Win32Hashes::sha1(const std::string& data, std::string& digest) {
  digest.clear();
  // No key container: hashing needs none, and this works for any account.
  if (!provider_) {
    HCRYPTPROV p = 0;
    if (!CryptAcquireContextW(&p, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
    provider_ = (uintptr_t)p;
  }
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash((HCRYPTPROV)provider_, CALG_SHA1, 0, 0, &hash)) return false;
  bool ok = true;
  const BYTE* p = reinterpret_cast<const BYTE*>(data.data());
  for (size_t left = data.size(); ok && left > 0;) {
    DWORD n = (DWORD)std::min<size_t>(left, 1u << 30);
    ok = CryptHashData(hash, p, n, 0) != FALSE;
    p += n;
    left -= n;
  }
  BYTE value[20];
  DWORD size = sizeof value;
  ok = ok && CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0) && size == sizeof value;
  CryptDestroyHash(hash);
  if (ok) digest.assign(reinterpret_cast<const char*>(value), size);
  return ok;
}

}  // namespace tf
