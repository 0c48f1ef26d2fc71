// The update engine's HTTP session over the shared Internet port.
#pragma once
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
  bool openSession(const std::string& agent, const std::string& proxy) override;
  void setTimeouts(int connectMs, int receiveMs) override;
  void ignoreCertificateErrors() override;
  std::unique_ptr<UpdateRequest> openUrl(const std::string& url, const std::string& headers,
                                         const UpdateRequestFlags& flags) override;
  uint32_t lastError(std::string& text) override;
  void closeSession() override;
  PostResult postForm(const std::string& server, const std::string& action, const std::string& data,
                      std::string& reply) override;

 private:
  Internet& net_;
  InternetHandle session_{net_};
  uint32_t lastError_ = 0;
};

}  // namespace tf
