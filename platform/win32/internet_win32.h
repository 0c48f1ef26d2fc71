#pragma once
#include <windows.h>

#include "platform/internet.h"

namespace tf {

// The Internet port over WinINet. wininet.dll is not a KnownDLL, so it is loaded at first use
// from the system folder only, never imported.
class Win32Internet : public Internet {
 public:
  Win32Internet();
  ~Win32Internet() override;

  Handle open(const std::string& agent, uint32_t accessType, const std::string& proxy) override;
  bool setOption(Handle h, uint32_t option, uint32_t value) override;
  bool queryOption(Handle h, uint32_t option, uint32_t& value) override;
  bool connectedState(bool& available) override;
  bool autodial(uint32_t flags) override;
  void autodialHangup() override;
  Handle openUrl(Handle session, const std::string& url, const std::string& headers, uint32_t flags) override;
  bool queryNumber(Handle request, uint32_t query, uint32_t& value) override;
  bool queryText(Handle request, uint32_t query, std::string& value) override;
  bool queryTime(Handle request, uint32_t query, LocalTime& value) override;
  bool read(Handle request, void* buffer, uint32_t n, uint32_t& got) override;
  Handle connect(Handle session, const std::string& server, uint16_t port) override;
  Handle openRequest(Handle connection, const std::string& verb, const std::string& object,
                     const std::string& referer, const std::string& accept, uint32_t flags) override;
  bool send(Handle request, const std::string& headers, const std::string& body) override;
  void close(Handle h) override;
  uint32_t lastError() override { return error_; }
  std::string messageText(uint32_t code) override;
  std::string lastResponseInfo() override;
  std::string systemMessageText(uint32_t code) override;

 private:
  bool load();
  void keepError() { error_ = GetLastError(); }

  HMODULE dll_ = nullptr;
  bool tried_ = false;
  DWORD error_ = 0;
  struct Api;
  Api* api_ = nullptr;
};

}  // namespace tf
