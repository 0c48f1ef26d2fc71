#include "platform/win32/internet_win32.h"

#include <wininet.h>

#include "platform/win32/text.h"

namespace tf {

struct Win32Internet::Api {
  decltype(&InternetOpenW) open;
  decltype(&InternetSetOptionW) setOption;
  decltype(&InternetQueryOptionW) queryOption;
  decltype(&InternetOpenUrlW) openUrl;
  decltype(&HttpQueryInfoW) queryInfo;
  decltype(&InternetReadFile) read;
  decltype(&InternetConnectW) connect;
  decltype(&HttpOpenRequestW) openRequest;
  decltype(&HttpSendRequestW) send;
  decltype(&InternetCloseHandle) close;
  decltype(&InternetGetLastResponseInfoW) lastResponseInfo;
  // Optional: absent ones leave the machine "not able to tell" or "not able to dial".
  decltype(&InternetGetConnectedState) connectedState;
  decltype(&InternetAutodial) autodial;
  decltype(&InternetAutodialHangup) autodialHangup;
};

Win32Internet::Win32Internet() = default;

Win32Internet::~Win32Internet() {
  delete api_;
  if (dll_) FreeLibrary(dll_);
}

bool Win32Internet::load() {
  if (tried_) return api_ != nullptr;
  tried_ = true;
  dll_ = loadSystemLibrary(L"wininet.dll");
  if (!dll_) {
    keepError();
    return false;
  }
  Api a;
  bool ok = true;
  auto get = [&](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    if (!fn) ok = false;
  };
  get(a.open, "InternetOpenW");
  get(a.setOption, "InternetSetOptionW");
  get(a.queryOption, "InternetQueryOptionW");
  get(a.openUrl, "InternetOpenUrlW");
  get(a.queryInfo, "HttpQueryInfoW");
  get(a.read, "InternetReadFile");
  get(a.connect, "InternetConnectW");
  get(a.openRequest, "HttpOpenRequestW");
  get(a.send, "HttpSendRequestW");
  get(a.close, "InternetCloseHandle");
  get(a.lastResponseInfo, "InternetGetLastResponseInfoW");
  if (!ok) {
    error_ = ERROR_PROC_NOT_FOUND;
    return false;
  }
  get(a.connectedState, "InternetGetConnectedState");
  get(a.autodial, "InternetAutodial");
  get(a.autodialHangup, "InternetAutodialHangup");
  api_ = new Api(a);
  return true;
}

static const wchar_t* orNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

Internet::Handle Win32Internet::open(const std::string& agent, uint32_t accessType, const std::string& proxy) {
  if (!load()) return nullptr;
  std::wstring a = widen(agent), p = widen(proxy);
  HINTERNET h = api_->open(a.c_str(), accessType, accessType == INTERNET_OPEN_TYPE_PROXY ? p.c_str() : nullptr,
                           nullptr, 0);
  keepError();
  return h;
}

bool Win32Internet::setOption(Handle h, uint32_t option, uint32_t value) {
  if (!load()) return false;
  DWORD v = value;
  BOOL ok = api_->setOption(h, option, &v, sizeof v);
  keepError();
  return ok != FALSE;
}

bool Win32Internet::queryOption(Handle h, uint32_t option, uint32_t& value) {
  if (!load()) return false;
  DWORD v = 0, size = sizeof v;
  BOOL ok = api_->queryOption(h, option, &v, &size);
  keepError();
  if (ok) value = v;
  return ok != FALSE;
}

bool Win32Internet::connectedState(bool& available) {
  available = load() && api_->connectedState;
  if (!available) return false;
  DWORD flags = 0;
  BOOL ok = api_->connectedState(&flags, 0);
  keepError();
  return ok != FALSE;
}

bool Win32Internet::autodial(uint32_t flags) {
  if (!load() || !api_->autodial) return false;
  BOOL ok = api_->autodial(flags, nullptr);
  keepError();
  return ok != FALSE;
}

void Win32Internet::autodialHangup() {
  if (load() && api_->autodialHangup) api_->autodialHangup(0);
}

Internet::Handle Win32Internet::openUrl(Handle session, const std::string& url, const std::string& headers,
                                        uint32_t flags) {
  if (!load()) return nullptr;
  std::wstring u = widen(url), hd = widen(headers);
  HINTERNET h = api_->openUrl(session, u.c_str(), orNull(hd), (DWORD)hd.size(), flags, 0);
  keepError();
  return h;
}

bool Win32Internet::queryNumber(Handle request, uint32_t query, uint32_t& value) {
  if (!load()) return false;
  DWORD v = 0, size = sizeof v;
  BOOL ok = api_->queryInfo(request, query | HTTP_QUERY_FLAG_NUMBER, &v, &size, nullptr);
  keepError();
  if (ok) value = v;
  return ok != FALSE;
}

bool Win32Internet::queryText(Handle request, uint32_t query, std::string& value) {
  if (!load()) return false;
  std::wstring buf(64, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = (DWORD)(buf.size() * sizeof(wchar_t));
    if (api_->queryInfo(request, query, &buf[0], &size, nullptr)) {
      keepError();
      buf.resize(size / sizeof(wchar_t));
      value = narrow(buf);
      return true;
    }
    keepError();
    if (error_ != ERROR_INSUFFICIENT_BUFFER) return false;
    buf.assign(size / sizeof(wchar_t) + 1, L'\0');  // the size asked for, in bytes
  }
  return false;
}

bool Win32Internet::queryTime(Handle request, uint32_t query, LocalTime& value) {
  if (!load()) return false;
  SYSTEMTIME st = {};
  DWORD size = sizeof st;
  BOOL ok = api_->queryInfo(request, query | HTTP_QUERY_FLAG_SYSTEMTIME, &st, &size, nullptr);
  keepError();
  if (!ok || st.wYear == 0) return false;
  value = LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return true;
}

bool Win32Internet::read(Handle request, void* buffer, uint32_t n, uint32_t& got) {
  if (!load()) return false;
  DWORD g = 0;
  BOOL ok = api_->read(request, buffer, n, &g);
  keepError();
  got = g;
  return ok != FALSE;
}

Internet::Handle Win32Internet::connect(Handle session, const std::string& server, uint16_t port) {
  if (!load()) return nullptr;
  std::wstring s = widen(server);
  HINTERNET h = api_->connect(session, s.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
  keepError();
  return h;
}

Internet::Handle Win32Internet::openRequest(Handle connection, const std::string& verb, const std::string& object,
                                            const std::string& referer, const std::string& accept,
                                            uint32_t flags) {
  if (!load()) return nullptr;
  std::wstring v = widen(verb), o = widen(object), r = widen(referer), a = widen(accept);
  const wchar_t* types[] = {a.c_str(), nullptr};
  HINTERNET h =
      api_->openRequest(connection, v.c_str(), o.c_str(), nullptr, orNull(r), a.empty() ? nullptr : types, flags, 1);
  keepError();
  return h;
}

bool Win32Internet::send(Handle request, const std::string& headers, const std::string& body) {
  if (!load()) return false;
  std::wstring hd = widen(headers);
  BOOL ok = api_->send(request, orNull(hd), (DWORD)hd.size(), body.empty() ? nullptr : (void*)body.data(),
                       (DWORD)body.size());
  keepError();
  return ok != FALSE;
}

void Win32Internet::close(Handle h) {
  if (h && load()) api_->close(h);
}

std::string Win32Internet::messageText(uint32_t code) {
  load();
  if (!dll_) return {};
  wchar_t buf[1025];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, dll_, code, 0, buf,
                           sizeof buf / sizeof buf[0], nullptr);
  return n ? narrow(std::wstring(buf, n)) : std::string();
}

std::string Win32Internet::lastResponseInfo() {
  if (!load()) return {};
  DWORD err = 0, len = 0;
  api_->lastResponseInfo(&err, nullptr, &len);
  if (len == 0) return {};
  std::wstring buf(len + 1, L'\0');
  DWORD size = len + 1;
  if (!api_->lastResponseInfo(&err, &buf[0], &size)) return {};
  buf.resize(size < len + 1 ? size : len);
  return narrow(buf);
}

std::string Win32Internet::systemMessageText(uint32_t code) { return systemErrorText(code); }

}  // namespace tf
