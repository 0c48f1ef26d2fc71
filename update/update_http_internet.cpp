#include "update/update_http_internet.h"

namespace tf {

bool InternetUpdateHttp::dial(bool withPrompt) {
  return net_.autodial(withPrompt ? inet::kAutodialForceOnline : inet::kAutodialForceUnattended);
}

void InternetUpdateHttp::setTimeouts(int connectMs, int receiveMs) {
  sesion_.fijarTiempos(connectMs > 0 ? (uint32_t)connectMs : 0, 0, receiveMs > 0 ? (uint32_t)receiveMs : 0);
}

PostResult InternetUpdateHttp::postForm(const std::string& server, const std::string& action, const std::string& data,
                                        std::string& reply) {
  if (!sesion_.abierta()) return PostResult::CannotConnect;
  InternetHandle c(net_, net_.connect(sesion_.handle(), server, 80));
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
