// The update engine's HTTP session over WinINet. wininet.dll is not a KnownDLL, so it is loaded
// at run time from the system folder and never imported statically.
#include <windows.h>
#include <wininet.h>

#include "platform/win32/text.h"
#include "platform/win32/update_win32.h"

namespace tf {

struct Win32UpdateHttp::Api {
  decltype(&InternetGetConnectedState) getConnectedState = nullptr;
  decltype(&InternetAutodial) autodial = nullptr;
  decltype(&InternetAutodialHangup) autodialHangup = nullptr;
  decltype(&InternetOpenW) open = nullptr;
  decltype(&InternetSetOptionW) setOption = nullptr;
  decltype(&InternetOpenUrlW) openUrl = nullptr;
  decltype(&HttpQueryInfoW) queryInfo = nullptr;
  decltype(&InternetReadFile) readFile = nullptr;
  decltype(&InternetCloseHandle) closeHandle = nullptr;
  decltype(&InternetGetLastResponseInfoW) lastResponseInfo = nullptr;
  decltype(&InternetConnectW) connect = nullptr;
  decltype(&HttpOpenRequestW) openRequest = nullptr;
  decltype(&HttpSendRequestW) sendRequest = nullptr;
};

namespace {

template <typename F>
void bind(HMODULE lib, F& f, const char* name) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

class Win32UpdateRequest : public UpdateRequest {
 public:
  Win32UpdateRequest(Win32UpdateHttp::Api& api, HINTERNET h) : api_(api), h_(h) {}
  ~Win32UpdateRequest() override { api_.closeHandle(h_); }
  int statusCode() override {
    DWORD code = 0, size = sizeof code, index = 0;
    if (!api_.queryInfo(h_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, &index)) return 0;
    return (int)code;
  }
  bool contentLength(uint64_t& length) override {
    wchar_t buf[32];
    DWORD size = sizeof buf, index = 0;
    if (!api_.queryInfo(h_, HTTP_QUERY_CONTENT_LENGTH, buf, &size, &index)) return false;
    uint64_t v = 0;
    bool any = false;
    for (const wchar_t* p = buf; *p; ++p) {
      if (*p < L'0' || *p > L'9') return false;
      v = v * 10 + (uint64_t)(*p - L'0');
      any = true;
    }
    length = v;
    return any;
  }
  long long read(void* data, size_t n) override {
    DWORD got = 0;
    if (!api_.readFile(h_, data, (DWORD)n, &got)) return -1;
    return got;
  }

 private:
  Win32UpdateHttp::Api& api_;
  HINTERNET h_;
};

}  // namespace

Win32UpdateHttp::Win32UpdateHttp() {
  lib_ = loadSystemLibrary(L"wininet.dll");
  if (!lib_) return;
  api_ = new Api;
  bind(lib_, api_->getConnectedState, "InternetGetConnectedState");
  bind(lib_, api_->autodial, "InternetAutodial");
  bind(lib_, api_->autodialHangup, "InternetAutodialHangup");
  bind(lib_, api_->open, "InternetOpenW");
  bind(lib_, api_->setOption, "InternetSetOptionW");
  bind(lib_, api_->openUrl, "InternetOpenUrlW");
  bind(lib_, api_->queryInfo, "HttpQueryInfoW");
  bind(lib_, api_->readFile, "InternetReadFile");
  bind(lib_, api_->closeHandle, "InternetCloseHandle");
  bind(lib_, api_->lastResponseInfo, "InternetGetLastResponseInfoW");
  bind(lib_, api_->connect, "InternetConnectW");
  bind(lib_, api_->openRequest, "HttpOpenRequestW");
  bind(lib_, api_->sendRequest, "HttpSendRequestW");
  if (!api_->open || !api_->openUrl || !api_->queryInfo || !api_->readFile || !api_->closeHandle) {
    delete api_;
    api_ = nullptr;
  }
}

Win32UpdateHttp::~Win32UpdateHttp() {
  closeSession();
  delete api_;
  if (lib_) FreeLibrary(lib_);
}

bool Win32UpdateHttp::connectedState(bool& available) {
  available = api_ && api_->getConnectedState;
  if (!available) return false;
  DWORD flags = 0;
  return api_->getConnectedState(&flags, 0) != FALSE;
}

bool Win32UpdateHttp::dial(bool withPrompt) {
  if (!api_ || !api_->autodial) return false;
  return api_->autodial(withPrompt ? INTERNET_AUTODIAL_FORCE_ONLINE : INTERNET_AUTODIAL_FORCE_UNATTENDED, nullptr) !=
         FALSE;
}

void Win32UpdateHttp::hangUp() {
  if (api_ && api_->autodialHangup) api_->autodialHangup(0);
}

bool Win32UpdateHttp::openSession(const std::string& agent, const std::string& proxy) {
  closeSession();
  if (!api_) {
    lastError_ = ERROR_MOD_NOT_FOUND;
    return false;
  }
  std::wstring a = widen(agent), p = widen(proxy);
  session_ = api_->open(a.c_str(), proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                        proxy.empty() ? nullptr : p.c_str(), nullptr, 0);
  if (!session_) lastError_ = GetLastError();
  return session_ != nullptr;
}

void Win32UpdateHttp::setTimeouts(int connectMs, int receiveMs) {
  if (!session_ || !api_->setOption) return;
  DWORD c = (DWORD)connectMs, r = (DWORD)receiveMs;
  if (connectMs > 0) api_->setOption(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &c, sizeof c);
  if (receiveMs > 0) api_->setOption(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &r, sizeof r);
}

void Win32UpdateHttp::ignoreCertificateErrors() {
  if (!session_ || !api_->setOption) return;
  DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
  api_->setOption(session_, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

std::unique_ptr<UpdateRequest> Win32UpdateHttp::openUrl(const std::string& url, const std::string& headers,
                                                        const UpdateRequestFlags& f) {
  if (!session_) {
    lastError_ = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  if (f.keepAlive) flags |= INTERNET_FLAG_KEEP_CONNECTION;
  if (f.existingConnection) flags |= INTERNET_FLAG_EXISTING_CONNECT;
  if (f.ignoreCertNameAndDate) flags |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  std::wstring u = widen(url), h = widen(headers);
  HINTERNET r = api_->openUrl(session_, u.c_str(), h.empty() ? nullptr : h.c_str(), h.empty() ? 0 : (DWORD)-1L,
                              flags, 0);
  if (!r) {
    lastError_ = GetLastError();
    return nullptr;
  }
  lastError_ = 0;
  return std::unique_ptr<UpdateRequest>(new Win32UpdateRequest(*api_, r));
}

uint32_t Win32UpdateHttp::lastError(std::string& text) {
  text.clear();
  if (lastError_ == 0) return 0;
  if (lastError_ == ERROR_INTERNET_EXTENDED_ERROR && api_ && api_->lastResponseInfo) {
    DWORD code = 0, len = 0;
    api_->lastResponseInfo(&code, nullptr, &len);
    std::wstring buf(len + 1, L'\0');
    len = (DWORD)buf.size();
    if (api_->lastResponseInfo(&code, &buf[0], &len)) text = narrow(buf.c_str());
    return lastError_;
  }
  if (lastError_ >= INTERNET_ERROR_BASE && lastError_ <= INTERNET_ERROR_LAST && lib_) {
    wchar_t* msg = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                             lib_, lastError_, 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
    if (n && msg) {
      text = narrow(msg);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    if (msg) LocalFree(msg);
    if (text.empty()) text = "Internet error " + std::to_string(lastError_);
    return lastError_;
  }
  text = systemErrorText(lastError_);
  return lastError_;
}

void Win32UpdateHttp::closeSession() {
  if (session_ && api_) api_->closeHandle(session_);
  session_ = nullptr;
}

PostResult Win32UpdateHttp::postForm(const std::string& server, const std::string& action, const std::string& data,
                                     std::string& reply) {
  if (!session_ || !api_->connect || !api_->openRequest || !api_->sendRequest) return PostResult::CannotConnect;
  std::wstring s = widen(server), a = widen(action);
  HINTERNET c = api_->connect(session_, s.c_str(), 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!c) return PostResult::CannotConnect;
  const wchar_t* accept[] = {L"text/*", nullptr};
  HINTERNET r = api_->openRequest(c, L"POST", a.c_str(), nullptr, nullptr, accept, INTERNET_FLAG_RELOAD, 0);
  if (!r) {
    api_->closeHandle(c);
    return PostResult::CannotOpenResource;
  }
  static const wchar_t kType[] = L"Content-Type: application/x-www-form-urlencoded";
  std::string body = data;
  BOOL ok = api_->sendRequest(r, kType, (DWORD)-1L, body.empty() ? nullptr : &body[0], (DWORD)body.size());
  if (ok) {
    char buf[4096];
    DWORD got = 0;
    while (api_->readFile(r, buf, sizeof buf, &got) && got > 0) reply.append(buf, got);
  }
  api_->closeHandle(r);
  api_->closeHandle(c);
  return ok ? PostResult::Ok : PostResult::CannotOpenResource;
}

}  // namespace tf
