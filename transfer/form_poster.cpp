#include "transfer/form_poster.h"

#include "core/cliente_http.h"
#include "core/mensajes.h"

namespace tf {

const char* const TFormPoster::kCabecera = "Content-Type: application/x-www-form-urlencoded";

TFormPoster::TFormPoster(Internet& net, Ui& ui, std::function<void()> pump) : net_(net), ui_(ui), pump_(std::move(pump)) {}

std::string TFormPoster::Cuerpo(const TFormPosterItems& items) {
  // Only spaces are encoded: the form's wire format, which the vendor's report script reads.
  std::string body;
  for (int i = 0; i < items.Count(); ++i) {
    if (!body.empty()) body += '&';
    std::string value = items[i].Value;
    for (char& c : value)
      if (c == ' ') c = '+';
    body += items[i].Name + "=" + value;
  }
  return body;
}

void TFormPoster::informarError() {
  uint32_t code = net_.lastError();
  if (code == 0) return;
  // A code outside the Internet library's table gets the system's text, never an empty box.
  std::string text = textoErrorInternet(net_, code);
  if (text.empty()) return;  // an extended error without the server's words
  if (text.size() > 1024) text.resize(1024);  // the report's buffer holds 1025 bytes with its end mark
  if (OnError) {
    OnError(*this, text, (int)code);
  } else {
    ui_.messageBox(text, kTituloAplicacion, MessageIcon::Error);
  }
}

bool TFormPoster::Execute() {
  std::string body = Cuerpo(Items);

  // Always the system's own Internet and proxy settings.
  SesionHttp sesion(net_);
  if (!sesion.abrir(Agent, "")) {
    informarError();
    return false;
  }
  if (TimeOut > 0) sesion.fijarTiempos((uint32_t)TimeOut, (uint32_t)TimeOut, (uint32_t)TimeOut);

  InternetHandle con(net_, net_.connect(sesion.handle(), Server, (uint16_t)(Port == 0 ? 80 : Port)));
  if (!con) {
    informarError();
    return false;
  }
  bool tls = Port == 443;
  uint32_t flags = tls ? inet::kFlagSecure | inet::kFlagIgnoreCertDateInvalid | inet::kFlagIgnoreCertCnInvalid : 0;
  InternetHandle req(net_, net_.openRequest(con.get(), "POST", Action, Referer, "", flags));
  if (req && tls) {
    uint32_t security = 0;
    if (net_.queryOption(req.get(), inet::kOptionSecurityFlags, security)) {
      if (!net_.setOption(req.get(), inet::kOptionSecurityFlags, security | inet::kSecurityIgnoreUnknownCa))
        informarError();
    } else {
      informarError();
    }
  }
  if (!req) {
    informarError();
    return false;
  }

  response_.clear();
  if (!net_.send(req.get(), kCabecera, body)) {
    informarError();
    return false;
  }
  bool result = false;
  if (WaitResponse) {
    result = true;
    char buffer[4096];
    for (;;) {
      if (pump_) pump_();
      uint32_t got = 0;
      if (!net_.read(req.get(), buffer, sizeof buffer, got)) {
        result = false;
        break;
      }
      if (got >= 1 && got <= sizeof buffer) response_.append(buffer, got);
      if (got == 0) break;
    }
  }
  // Closed request first, then the connection, then the session (reverse order of the guards).
  return result;
}

}  // namespace tf
