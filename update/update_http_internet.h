// The update engine's HTTP session over the shared Internet port.
#pragma once
#include "core/cliente_http.h"
#include "platform/internet.h"
#include "update/update_ports.h"

namespace tf {

class InternetUpdateHttp : public UpdateHttp {
 public:
  explicit InternetUpdateHttp(Internet& net) : net_(net) {}
  InternetUpdateHttp(const InternetUpdateHttp&) = delete;
  InternetUpdateHttp& operator=(const InternetUpdateHttp&) = delete;

  bool connectedState(bool& available) override { return net_.connectedState(available); }
  bool dial(bool withPrompt) override;
  void hangUp() override { net_.autodialHangup(); }
  bool openSession(const std::string& agent, const std::string& proxy) override {
    return sesion_.abrir(agent, proxy);
  }
  void setTimeouts(int connectMs, int receiveMs) override;
  void ignoreCertificateErrors() override { sesion_.ignorarErroresCertificado(); }
  std::unique_ptr<UpdateRequest> openUrl(const std::string& url, const std::string& headers,
                                         const UpdateRequestFlags& flags) override {
    return sesion_.openUrl(url, headers, flags);
  }
  uint32_t lastError(std::string& text) override { return sesion_.lastError(text); }
  void closeSession() override { sesion_.cerrar(); }
  PostResult postForm(const std::string& server, const std::string& action, const std::string& data,
                      std::string& reply) override;

 private:
  Internet& net_;
  SesionHttp sesion_{net_, true};
};

}  // namespace tf
