// A scriptable in-memory Internet port: answers by URL, records every call.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/internet.h"

namespace tf {

struct FakeResponse {
  uint32_t status = 200;
  std::string body;
  bool announceLength = true;   // send a Content-Length
  int64_t announced = -1;       // the length to announce when not the body's own
  std::string lengthText;       // the Content-Length text as sent, when not a number
  bool failAtEnd = false;       // the read after the last byte fails instead of reporting the end
  uint32_t chunk = 4096;        // most bytes one read returns
  bool hasDate = false;
  LocalTime lastModified;
  std::map<uint32_t, std::string> headers;  // other headers as text, by query (inet::kQuery…)
  int64_t cutAfter = -1;                   // the read after this many bytes fails (connection lost)
};

class FakeInternet : public Internet {
 public:
  std::map<std::string, FakeResponse> urls;  // by request URL; others fail with urlError
  // Answers given once each, in order, before those of `urls`; a nullopt one fails to open.
  std::map<std::string, std::deque<std::optional<FakeResponse>>> next;
  uint32_t urlError = 12007;                 // name not resolved
  bool openFails = false, connectFails = false, requestFails = false, sendFails = false;
  bool queryOptionFails = false, setOptionFails = false, readFails = false;
  uint32_t failCode = 12029;  // the error code a scripted failure leaves
  uint32_t securityFlags = 0x00000080;
  std::string answer;         // the poster's response body
  std::map<uint32_t, std::string> messages;        // the Internet library's table
  std::map<uint32_t, std::string> systemMessages;  // the system's
  std::string responseInfo;
  bool hasConnectedState = true, connected = true, dialWorks = true;

  struct Post {
    std::string server;
    uint16_t port = 0;
    std::string verb, object, referer, accept;
    uint32_t flags = 0;
    std::string headers, body;
    bool sent = false;
  };
  std::vector<Post> posts;
  std::vector<std::string> calls;  // "open", "option", "url", "autodial", "hangup", "close" … in order
  uint32_t error = 0;
  int openHandles() const { return (int)handles_.size(); }

  Handle open(const std::string& agent, uint32_t accessType, const std::string& proxy) override;
  bool setOption(Handle h, uint32_t option, uint32_t value) override;
  bool queryOption(Handle h, uint32_t option, uint32_t& value) override;
  bool connectedState(bool& available) override;
  bool autodial(uint32_t flags) override;
  void autodialHangup() override { calls.push_back("hangup"); }
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
  uint32_t lastError() override { return error; }
  std::string messageText(uint32_t code) override;
  std::string lastResponseInfo() override { return responseInfo; }
  std::string systemMessageText(uint32_t code) override;

 private:
  struct State {
    std::string what;  // "session", "connection", "request", "post"
    std::string url;
    size_t pos = 0;
    size_t post = 0;
    std::optional<FakeResponse> own = std::nullopt;  // an answer taken from `next`
  };
  // The answer a request handle reads: its own, or the URL's current one.
  const FakeResponse* response(Handle h);
  Handle add(State s);
  State* find(Handle h);
  std::map<uintptr_t, State> handles_;
  uintptr_t next_ = 0x1000;
};

}  // namespace tf
