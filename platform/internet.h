// Internet port: the HTTP(S) client calls the transfer engine and the form poster make.
// Numbers (flags, options, queries) are the system's own values so the engine states exactly
// what it asks for; handles are opaque and owned by the caller until close().
#pragma once
#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace tf {

// When an HTTP client asks the user for credentials: never, before every request, or after a 401.
enum THttpAuthentication { taNever = 0, taAlways, taAuto };

namespace inet {
// Access types of open().
constexpr uint32_t kOpenPreconfig = 0;
constexpr uint32_t kOpenProxy = 3;
// Options of setOption()/queryOption().
constexpr uint32_t kOptionConnectTimeout = 2;
constexpr uint32_t kOptionSendTimeout = 5;
constexpr uint32_t kOptionReceiveTimeout = 6;
constexpr uint32_t kOptionSecurityFlags = 31;
// Request flags.
constexpr uint32_t kFlagReload = 0x80000000u;
constexpr uint32_t kFlagExistingConnect = 0x20000000u;
constexpr uint32_t kFlagNoCacheWrite = 0x04000000u;
constexpr uint32_t kFlagKeepConnection = 0x00400000u;
constexpr uint32_t kFlagPragmaNoCache = 0x00000100u;
constexpr uint32_t kFlagSecure = 0x00800000u;
constexpr uint32_t kFlagIgnoreCertDateInvalid = 0x00002000u;
constexpr uint32_t kFlagIgnoreCertCnInvalid = 0x00001000u;
// Values of kOptionSecurityFlags.
constexpr uint32_t kSecurityIgnoreUnknownCa = 0x00000100u;
constexpr uint32_t kSecurityIgnoreCertDateInvalid = 0x00002000u;
constexpr uint32_t kSecurityIgnoreCertCnInvalid = 0x00001000u;
// Flags of autodial().
constexpr uint32_t kAutodialForceOnline = 1;
constexpr uint32_t kAutodialForceUnattended = 2;
// Header queries.
constexpr uint32_t kQueryContentLength = 5;
constexpr uint32_t kQueryLastModified = 11;
constexpr uint32_t kQueryStatusCode = 19;
constexpr uint32_t kQueryAcceptRanges = 42;
constexpr uint32_t kQueryContentRange = 53;
constexpr uint32_t kQueryETag = 54;
// Error codes: the Internet library's own lie in kErrorFirst..kErrorLast.
constexpr uint32_t kErrorFirst = 12000;
constexpr uint32_t kErrorExtended = 12003;
constexpr uint32_t kErrorLast = 12174;
}  // namespace inet

class Internet {
 public:
  using Handle = void*;  // nullptr: no handle
  virtual ~Internet() = default;

  // Session handle. `proxy` is used only with kOpenProxy.
  virtual Handle open(const std::string& agent, uint32_t accessType, const std::string& proxy) = 0;
  virtual bool setOption(Handle h, uint32_t option, uint32_t value) = 0;
  virtual bool queryOption(Handle h, uint32_t option, uint32_t& value) = 0;

  // The system's connected-state query; false with `available` false when the system has none.
  virtual bool connectedState(bool& available) = 0;
  // Dials the default connection; false when dialling fails or the system cannot dial.
  virtual bool autodial(uint32_t flags) = 0;
  virtual void autodialHangup() = 0;

  // A GET request by URL; `headers` is raw header text, each line ended by CR LF ("" for none).
  virtual Handle openUrl(Handle session, const std::string& url, const std::string& headers, uint32_t flags) = 0;
  // A header as a number (false when absent or not a number).
  virtual bool queryNumber(Handle request, uint32_t query, uint32_t& value) = 0;
  // A header as the server sent it (false when absent); for values beyond 32 bits.
  virtual bool queryText(Handle request, uint32_t query, std::string& value) = 0;
  // A header as a date (false when the answer holds none).
  virtual bool queryTime(Handle request, uint32_t query, LocalTime& value) = 0;
  // Reads up to `n` bytes; `got` 0 with true means the end of the data.
  virtual bool read(Handle request, void* buffer, uint32_t n, uint32_t& got) = 0;

  // Form posting: an HTTP connection (port as given), a request on it, and the send.
  virtual Handle connect(Handle session, const std::string& server, uint16_t port) = 0;
  // `accept`: the one media type accepted ("" sends none).
  virtual Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                             const std::string& referer, const std::string& accept, uint32_t flags) = 0;
  virtual bool send(Handle request, const std::string& headers, const std::string& body) = 0;

  virtual void close(Handle h) = 0;

  // The calling thread's last error code, as the failing call left it.
  virtual uint32_t lastError() = 0;
  // The message text of an Internet error code (from the Internet library's message table).
  virtual std::string messageText(uint32_t code) = 0;
  // The server's last response text, for the extended error ("" when none).
  virtual std::string lastResponseInfo() = 0;
  // The system's message text of any other error code.
  virtual std::string systemMessageText(uint32_t code) = 0;
};

// Owns one handle of the port and closes it when it goes, on every way out of a scope.
class InternetHandle {
 public:
  explicit InternetHandle(Internet& net, Internet::Handle h = nullptr) : net_(&net), h_(h) {}
  ~InternetHandle() { reset(); }
  InternetHandle(InternetHandle&& o) noexcept : net_(o.net_), h_(o.h_) { o.h_ = nullptr; }
  InternetHandle& operator=(InternetHandle&& o) noexcept {
    if (this != &o) {
      reset();
      net_ = o.net_;
      h_ = o.h_;
      o.h_ = nullptr;
    }
    return *this;
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  Internet::Handle get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  // Closes the handle held (if any) and takes `h`.
  void reset(Internet::Handle h = nullptr) {
    if (h_) net_->close(h_);
    h_ = h;
  }

 private:
  Internet* net_;
  Internet::Handle h_;
};

// The text of an error code left by the port: the server's last response for the extended
// error; the library's table for its own codes ("Internet error " + code when it has none); the
// system's text for any other code. No line end.
std::string textoErrorInternet(Internet& net, uint32_t code);

}  // namespace tf
