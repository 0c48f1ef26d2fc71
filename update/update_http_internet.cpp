#include "update/update_http_internet.h"

namespace tf {

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

class InternetUpdateRequest : public UpdateRequest {
 public:
  InternetUpdateRequest(Internet& net, Internet::Handle h) : net_(net), h_(net, h) {}

  int statusCode() override {
    uint32_t code = 0;
    return net_.queryNumber(h_.get(), inet::kQueryStatusCode, code) ? (int)code : 0;
  }
  // Queried as text: a package may pass 4 GB, beyond the number query.
  bool contentLength(uint64_t& length) override {
    std::string text;
    return net_.queryText(h_.get(), inet::kQueryContentLength, text) && leerLongitud(text, length);
  }
  long long read(void* data, size_t n) override {
    uint32_t want = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)n;
    uint32_t got = 0;
    if (!net_.read(h_.get(), data, want, got)) return -1;
    return got;
  }
  CabecerasRespuesta headers() override { return leerCabeceras(net_, h_.get()); }

 private:
  Internet& net_;
  InternetHandle h_;
};

}  // namespace

bool InternetUpdateHttp::dial(bool withPrompt) {
  return net_.autodial(withPrompt ? inet::kAutodialForceOnline : inet::kAutodialForceUnattended);
}

bool InternetUpdateHttp::openSession(const std::string& agent, const std::string& proxy) {
  session_.reset();
  session_.reset(proxy.empty() ? net_.open(agent, inet::kOpenPreconfig, "")
                               : net_.open(agent, inet::kOpenProxy, proxy));
  if (!session_) lastError_ = net_.lastError();
  return (bool)session_;
}

void InternetUpdateHttp::setTimeouts(int connectMs, int receiveMs) {
  if (!session_) return;
  if (connectMs > 0) net_.setOption(session_.get(), inet::kOptionConnectTimeout, (uint32_t)connectMs);
  if (receiveMs > 0) net_.setOption(session_.get(), inet::kOptionReceiveTimeout, (uint32_t)receiveMs);
}

void InternetUpdateHttp::ignoreCertificateErrors() {
  if (!session_) return;
  net_.setOption(session_.get(), inet::kOptionSecurityFlags,
                 inet::kSecurityIgnoreUnknownCa | inet::kSecurityIgnoreCertDateInvalid |
                     inet::kSecurityIgnoreCertCnInvalid);
}

std::unique_ptr<UpdateRequest> InternetUpdateHttp::openUrl(const std::string& url, const std::string& headers,
                                                           const UpdateRequestFlags& f) {
  if (!session_) {
    lastError_ = kErrorInvalidHandle;
    return nullptr;
  }
  uint32_t flags = inet::kFlagReload | inet::kFlagNoCacheWrite | inet::kFlagPragmaNoCache;
  if (f.keepAlive) flags |= inet::kFlagKeepConnection;
  if (f.existingConnection) flags |= inet::kFlagExistingConnect;
  if (f.ignoreCertNameAndDate) flags |= inet::kFlagIgnoreCertCnInvalid | inet::kFlagIgnoreCertDateInvalid;
  Internet::Handle r = net_.openUrl(session_.get(), url, headers, flags);
  if (!r) {
    lastError_ = net_.lastError();
    return nullptr;
  }
  lastError_ = 0;
  return std::unique_ptr<UpdateRequest>(new InternetUpdateRequest(net_, r));
}

uint32_t InternetUpdateHttp::lastError(std::string& text) {
  text = lastError_ == 0 ? std::string() : textoErrorInternet(net_, lastError_);
  return lastError_;
}

void InternetUpdateHttp::closeSession() { session_.reset(); }

PostResult InternetUpdateHttp::postForm(const std::string& server, const std::string& action, const std::string& data,
                                        std::string& reply) {
  if (!session_) return PostResult::CannotConnect;
  InternetHandle c(net_, net_.connect(session_.get(), server, 80));
  if (!c) return PostResult::CannotConnect;
  InternetHandle r(net_, net_.openRequest(c.get(), "POST", action, "", "text/*", inet::kFlagReload));
  if (!r) return PostResult::CannotOpenResource;
  bool ok = net_.send(r.get(), "Content-Type: application/x-www-form-urlencoded", data);
  if (ok) {
    char buf[4096];
    uint32_t got = 0;
    while (net_.read(r.get(), buf, sizeof buf, got) && got > 0) reply.append(buf, got);
  }
  return ok ? PostResult::Ok : PostResult::CannotOpenResource;
}

}  // namespace tf
