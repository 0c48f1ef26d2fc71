// The HTTP session and requests both download engines use, and its implementation over the
// Internet port. The engines see only ClienteHttp and PeticionHttp, so a test can stand in for
// the whole HTTP layer without scripting the port's handles.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/reanudacion.h"
#include "platform/internet.h"
#include "platform/ports.h"

namespace tf {

// Every request reloads from the server and is not written to the cache; these add to that.
struct OpcionesPeticion {
  bool keepAlive = false;           // keep-alive authentication
  bool existingConnection = false;  // reuse an open connection
  bool ignoreCertNameAndDate = false;
};

// One open HTTP request.
class PeticionHttp {
 public:
  virtual ~PeticionHttp() = default;
  virtual int statusCode() = 0;
  // The announced body length; false when the response carries none.
  virtual bool contentLength(uint64_t& length) = 0;
  // The Last-Modified date; false when the answer holds none (or the request cannot tell).
  virtual bool lastModified(LocalTime& t) {
    (void)t;
    return false;
  }
  // Bytes read (0 at the end of the body); -1 when the read fails.
  virtual long long read(void* data, size_t n) = 0;
  // Status, length, byte ranges and validators: what decides whether a cut body can be continued.
  virtual CabecerasRespuesta headers() = 0;
};

class ClienteHttp {
 public:
  virtual ~ClienteHttp() = default;
  // nullptr when the request cannot be opened (see lastError). `headers`: raw header lines.
  virtual std::unique_ptr<PeticionHttp> openUrl(const std::string& url, const std::string& headers,
                                                const OpcionesPeticion& opciones) = 0;
  // Code and text of the last failure (0 and "" after a success); for the extended error the
  // server's last response text.
  virtual uint32_t lastError(std::string& text) = 0;
};

// A session of the Internet port: through `proxy` when one is given, else with the system's
// own settings.
class SesionHttp : public ClienteHttp {
 public:
  // `sinCache`: every request also sends no-cache to the proxies on the way.
  explicit SesionHttp(Internet& net, bool sinCache = false) : net_(net), sinCache_(sinCache) {}
  SesionHttp(const SesionHttp&) = delete;
  SesionHttp& operator=(const SesionHttp&) = delete;

  // Closes a session already open first.
  bool abrir(const std::string& agent, const std::string& proxy);
  // Milliseconds; 0 keeps the system's.
  void fijarTiempos(uint32_t conectarMs, uint32_t enviarMs, uint32_t recibirMs);
  // Accepts an untrusted issuer, a wrong date and a wrong name.
  void ignorarErroresCertificado();
  void cerrar() { session_.reset(); }
  bool abierta() const { return (bool)session_; }
  Internet::Handle handle() const { return session_.get(); }

  std::unique_ptr<PeticionHttp> openUrl(const std::string& url, const std::string& headers,
                                        const OpcionesPeticion& opciones) override;
  uint32_t lastError(std::string& text) override;

 private:
  Internet& net_;
  bool sinCache_;
  InternetHandle session_{net_};
  uint32_t lastError_ = 0;
};

}  // namespace tf
