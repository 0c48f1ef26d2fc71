#include "core/cliente_http.h"

namespace tf {

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

class PeticionInternet : public PeticionHttp {
 public:
  PeticionInternet(Internet& net, Internet::Handle h) : net_(net), h_(net, h) {}

  int statusCode() override {
    uint32_t code = 0;
    return net_.queryNumber(h_.get(), inet::kQueryStatusCode, code) ? (int)code : 0;
  }
  // Queried as text: a package may pass 4 GB, beyond the number query.
  bool contentLength(uint64_t& length) override {
    std::string text;
    return net_.queryText(h_.get(), inet::kQueryContentLength, text) && leerLongitud(text, length);
  }
  bool lastModified(LocalTime& t) override { return net_.queryTime(h_.get(), inet::kQueryLastModified, t); }
  long long read(void* data, size_t n) override {
    uint32_t want = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)n;
    uint32_t got = 0;
    if (!net_.read(h_.get(), data, want, got)) return -1;
    return got;
  }
  CabecerasRespuesta headers() override {
    CabecerasRespuesta c;
    c.status = statusCode();
    c.hayLongitud = contentLength(c.longitud);
    const std::pair<uint32_t, std::string*> textos[] = {{inet::kQueryAcceptRanges, &c.acceptRanges},
                                                        {inet::kQueryContentRange, &c.contentRange},
                                                        {inet::kQueryETag, &c.etag},
                                                        {inet::kQueryLastModified, &c.lastModified}};
    for (const auto& t : textos)
      if (!net_.queryText(h_.get(), t.first, *t.second)) t.second->clear();
    return c;
  }

 private:
  Internet& net_;
  InternetHandle h_;
};

}  // namespace

bool SesionHttp::abrir(const std::string& agent, const std::string& proxy) {
  session_.reset();
  session_.reset(proxy.empty() ? net_.open(agent, inet::kOpenPreconfig, "")
                               : net_.open(agent, inet::kOpenProxy, proxy));
  if (!session_) lastError_ = net_.lastError();
  return (bool)session_;
}

void SesionHttp::fijarTiempos(uint32_t conectarMs, uint32_t enviarMs, uint32_t recibirMs) {
  if (!session_) return;
  const std::pair<uint32_t, uint32_t> tiempos[] = {{inet::kOptionConnectTimeout, conectarMs},
                                                   {inet::kOptionSendTimeout, enviarMs},
                                                   {inet::kOptionReceiveTimeout, recibirMs}};
  for (const auto& t : tiempos)
    if (t.second > 0) net_.setOption(session_.get(), t.first, t.second);
}

void SesionHttp::ignorarErroresCertificado() {
  if (!session_) return;
  net_.setOption(session_.get(), inet::kOptionSecurityFlags,
                 inet::kSecurityIgnoreUnknownCa | inet::kSecurityIgnoreCertDateInvalid |
                     inet::kSecurityIgnoreCertCnInvalid);
}

std::unique_ptr<PeticionHttp> SesionHttp::openUrl(const std::string& url, const std::string& headers,
                                                  const OpcionesPeticion& o) {
  if (!session_) {
    lastError_ = kErrorInvalidHandle;
    return nullptr;
  }
  uint32_t flags = inet::kFlagReload | inet::kFlagNoCacheWrite;
  if (sinCache_) flags |= inet::kFlagPragmaNoCache;
  if (o.keepAlive) flags |= inet::kFlagKeepConnection;
  if (o.existingConnection) flags |= inet::kFlagExistingConnect;
  if (o.ignoreCertNameAndDate) flags |= inet::kFlagIgnoreCertCnInvalid | inet::kFlagIgnoreCertDateInvalid;
  Internet::Handle r = net_.openUrl(session_.get(), url, headers, flags);
  if (!r) {
    lastError_ = net_.lastError();
    return nullptr;
  }
  lastError_ = 0;
  return std::unique_ptr<PeticionHttp>(new PeticionInternet(net_, r));
}

uint32_t SesionHttp::lastError(std::string& text) {
  text = lastError_ == 0 ? std::string() : textoErrorInternet(net_, lastError_);
  return lastError_;
}

}  // namespace tf
