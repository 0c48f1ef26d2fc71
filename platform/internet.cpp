#include "platform/internet.h"

namespace tf {

std::string textoErrorInternet(Internet& net, uint32_t code) {
  std::string text;
  if (code == inet::kErrorExtended) {
    text = net.lastResponseInfo();
  } else if (code >= inet::kErrorFirst && code <= inet::kErrorLast) {
    text = net.messageText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) text = "Internet error " + std::to_string(code);
  } else {
    text = net.systemMessageText(code);
  }
  return text;
}

}  // namespace tf
