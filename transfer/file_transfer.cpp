#include "transfer/file_transfer.h"

#include <cctype>

namespace tf {

namespace {

constexpr uint32_t kBloque = 4096;

// Thrown when the run must stop at once (the target cannot be written).
struct RunAborted {};

struct CerrarHandle {
  Internet& net;
  Internet::Handle h;
  ~CerrarHandle() {
    if (h) net.close(h);
  }
};

// The temporary file is removed unless the finished download was moved over the target.
struct FicheroTemporal {
  Files& files;
  std::string path;
  bool conservar = false;
  ~FicheroTemporal() {
    if (!conservar && !path.empty()) files.deleteFile(path);
  }
};

bool empiezaSinCaso(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower((unsigned char)s[i]) != std::tolower((unsigned char)prefix[i])) return false;
  return true;
}

std::string hostDe(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  size_t end = url.find_first_of("/\\?#", start);
  std::string host = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t at = host.rfind('@');
  return at == std::string::npos ? host : host.substr(at + 1);
}

std::string carpetaDe(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

TDateTime aFechaHora(const LocalTime& t) {
  // Days from 30/12/1899 through the proleptic Gregorian calendar.
  auto dias = [](int y, int m, int d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
  };
  double d = (double)(dias(t.year, t.month, t.day) - dias(1899, 12, 30));
  return d + (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) / 86400000.0;
}

void TFileTransferItem::Assign(const TFileTransferItem& o) {
  URL = o.URL;
  TargetDir = o.TargetDir;
  TargetFilename = o.TargetFilename;
  Protocol = o.Protocol;
  Active = o.Active;
  Authenticate = o.Authenticate;
  HTTPUserID = o.HTTPUserID;
  HTTPPassword = o.HTTPPassword;
  DisplayURL = o.DisplayURL;
  CopyNewerOnly = o.CopyNewerOnly;
  FileDate = o.FileDate;
  HTTPCommand = o.HTTPCommand;
  FTPHost = o.FTPHost;
  FTPUserID = o.FTPUserID;
  FTPPassword = o.FTPPassword;
  FTPPort = o.FTPPort;
}

TFileTransferItem& TFileTransferItems::Add() {
  items_.push_back(std::make_shared<TFileTransferItem>());
  return *items_.back();
}

std::string ultimoSegmentoURL(const std::string& url) {
  std::string s = url;
  size_t cut = s.rfind('/');
  if (cut != std::string::npos) s = s.substr(cut + 1);
  cut = s.rfind('\\');
  if (cut != std::string::npos) s = s.substr(cut + 1);
  return s;
}

std::string urlConCredencialesProxy(const std::string& url, const std::string& user, const std::string& password) {
  if (empiezaSinCaso(url, "http://") && !user.empty() && !password.empty())
    return "http://" + user + ":" + password + "@" + url.substr(7);
  return url;
}

std::string codificarBase64(const std::string& bytes) {
  static const char* const abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint32_t)(unsigned char)bytes[i] << 16 | (uint32_t)(unsigned char)bytes[i + 1] << 8 |
                 (unsigned char)bytes[i + 2];
    out += abc[v >> 18 & 63];
    out += abc[v >> 12 & 63];
    out += abc[v >> 6 & 63];
    out += abc[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = (uint32_t)(unsigned char)bytes[i] << 16;
    if (i + 1 < bytes.size()) v |= (uint32_t)(unsigned char)bytes[i + 1] << 8;
    out += abc[v >> 18 & 63];
    out += abc[v >> 12 & 63];
    out += i + 1 < bytes.size() ? abc[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string rutaDestino(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

std::string nombreUnico(const std::string& path, const std::function<bool(const std::string&)>& exists) {
  size_t dot = path.rfind('.');
  size_t sep = path.find_last_of("\\/:");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) dot = path.size();
  std::string base = path.substr(0, dot), ext = path.substr(dot);
  for (unsigned n = 1;; ++n) {
    std::string candidate = base + "(" + std::to_string(n) + ")" + ext;
    if (!exists(candidate)) return candidate;
  }
}

TFileTransfer::TFileTransfer(Internet& net, Files& files, Clock& clock, std::function<void()> pump)
    : net_(net), files_(files), clock_(clock), pump_(std::move(pump)) {}

void TFileTransfer::servirCola() {
  // Blocks arrive far faster than a window can use its messages, and each look at the queue
  // costs a round trip to the window system; so within the block loop the queue is serviced
  // at most every kIntervaloServicioMs (still many times per screen refresh).
  if (!pump_) return;
  uint64_t now = clock_.tickMs();
  if (now - ultimoServicio_ < kIntervaloServicioMs) return;
  ultimoServicio_ = now;
  pump_();
}

void TFileTransfer::Cancel() {
  if (!running_) return;
  if (OnCopyCancel) OnCopyCancel(*this);
  cancel_ = true;
}

void TFileTransfer::Execute() {
  if (running_) return;
  running_ = true;
  done_ = false;
  try {
    transferir();
  } catch (...) {
    // A handler's error or a file that cannot be written ends the run; the caller is not told.
  }
  done_ = true;
  running_ = false;
  if (pump_) pump_();
}

void TFileTransfer::transferir() {
  cancel_ = false;
  // The run works on the list as it was when it started.
  std::vector<std::shared_ptr<TFileTransferItem>> items = Items.items_;

  bool red = false;
  for (const auto& it : items)
    if (it->Active && it->Protocol != tpFile) red = true;
  Internet::Handle session = nullptr;
  if (red) {
    session = Proxy.empty() ? net_.open(Agent, inet::kOpenPreconfig, "")
                            : net_.open(Agent, inet::kOpenProxy, Proxy);
    if (session && Timeout > 0) {
      uint64_t ms = (uint64_t)Timeout * 1000;
      uint32_t v = ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)ms;
      for (uint32_t opt : {inet::kOptionConnectTimeout, inet::kOptionSendTimeout, inet::kOptionReceiveTimeout})
        net_.setOption(session, opt, v);
    }
  }
  CerrarHandle cerrarSesion{net_, session};

  fileNumber_ = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    TFileTransferItem& item = *items[i];
    int idx = (int)i;
    if (!item.Active) continue;
    ++fileNumber_;
    if (OnFileStart) OnFileStart(*this, idx);
    item.NotNewer = false;
    item.Date = item.FileDate;
    bool ok = false;
    switch (item.Protocol) {
      case tpHttp: ok = descargarHttp(item, idx, session); break;
      case tpFile: ok = copiarFichero(item); break;
      default: ok = false; break;  // the FTP and upload kinds are not part of this build
    }
    item.Success = ok && !cancel_;
    item.Cancelled = cancel_;
    if (cancel_) break;
    if (OnFileDone) OnFileDone(*this, idx);
  }
  if (session) {
    net_.close(session);
    cerrarSesion.h = nullptr;
  }
  if (OnCopyDone) OnCopyDone(*this);
}

bool TFileTransfer::copiarFichero(TFileTransferItem& item) {
  std::string name = item.TargetFilename.empty() ? ultimoSegmentoURL(item.URL) : item.TargetFilename;
  std::string path = rutaDestino(item.TargetDir, name);
  lastFile_ = path;
  lastDir_ = item.TargetDir;
  if (files_.fileExists(path)) {
    bool allow = true;
    if (OnCopyOverWrite) OnCopyOverWrite(*this, path, allow);
    if (!allow) return false;
    if (CreateUniqueFilenames) path = nombreUnico(path, [this](const std::string& p) { return files_.fileExists(p); });
  }
  std::string dir = carpetaDe(path);
  if (!dir.empty()) files_.createFolders(dir);
  return files_.copyFile(item.URL, path, false);
}

bool TFileTransfer::pedirCredenciales(TFileTransferItem& item, const std::string& url) {
  if (!LoginPrompt) return false;
  std::string user = item.HTTPUserID, password = item.HTTPPassword;
  if (!LoginPrompt(*this, "Connect to " + hostDe(url), user, password)) return false;
  item.HTTPUserID = user;
  item.HTTPPassword = password;
  return true;
}

void TFileTransfer::errorFichero(const std::string& path) {
  if (OnError) OnError(*this, 3);
  if (OnErrorInfo) OnErrorInfo(*this, 3, "Cannot create file " + path);
}

bool TFileTransfer::descargarHttp(TFileTransferItem& item, int idx, Internet::Handle session) {
  std::string url = urlConCredencialesProxy(item.URL, ProxyUserID, ProxyPassword);
  if (pump_) pump_();

  if (item.Authenticate == taAlways && (item.HTTPUserID.empty() || item.HTTPPassword.empty()) &&
      !pedirCredenciales(item, url))
    return false;

  CerrarHandle req{net_, nullptr};
  for (;;) {
    std::string headers;
    if (!item.HTTPUserID.empty() || !item.HTTPPassword.empty())
      headers = "Authorization: Basic " + codificarBase64(item.HTTPUserID + ":" + item.HTTPPassword) + "\r\n\r\n";
    uint32_t flags = inet::kFlagReload | inet::kFlagNoCacheWrite;
    if (HTTPKeepAliveAuthentication) flags |= inet::kFlagKeepConnection;
    req.h = session ? net_.openUrl(session, url, headers, flags) : nullptr;
    if (pump_) pump_();
    if (!req.h) {
      if (OnURLNotFound) OnURLNotFound(*this, url);
      return false;
    }
    uint32_t status = 0;
    net_.queryNumber(req.h, inet::kQueryStatusCode, status);
    if (status == 401 && (item.Authenticate == taAlways || item.Authenticate == taAuto)) {
      net_.close(req.h);
      req.h = nullptr;
      if (!pedirCredenciales(item, url)) return false;
      continue;
    }
    if (status >= 300) {
      net_.close(req.h);
      req.h = nullptr;
      if (OnError) OnError(*this, (int)status);
      if (OnErrorInfo) OnErrorInfo(*this, (int)status, "Returned http error code " + std::to_string(status));
      return false;
    }
    break;
  }

  std::string name = item.TargetFilename.empty() ? ultimoSegmentoURL(url) : item.TargetFilename;
  std::string path = rutaDestino(item.TargetDir, name);

  if (item.CopyNewerOnly || OnFileDateCheck) {
    LocalTime t;
    TDateTime newdate = net_.queryTime(req.h, inet::kQueryLastModified, t) ? aFechaHora(t) : aFechaHora(clock_.now());
    item.Date = newdate;
    bool allow = newdate > item.FileDate;
    if (OnFileDateCheck) OnFileDateCheck(*this, idx, newdate, allow);
    if (!allow) {
      item.NotNewer = true;
      if (OnNoNewFileFound) OnNoNewFileFound(*this, path, item.FileDate, newdate);
      return false;
    }
  }

  lastFile_ = path;
  lastDir_ = item.TargetDir;
  if (files_.fileExists(path)) {
    bool allow = true;
    if (OnCopyOverWrite) OnCopyOverWrite(*this, path, allow);
    if (!allow) return false;
    if (CreateUniqueFilenames) {
      path = nombreUnico(path, [this](const std::string& p) { return files_.fileExists(p); });
      lastFile_ = path;
    }
  }
  std::string dir = carpetaDe(path);
  if (!dir.empty()) files_.createFolders(dir);

  // The data goes to a temporary file beside the target, moved over it only once complete, so a
  // cut connection never leaves a truncated file under the real name.
  FicheroTemporal tmp{files_, ""};
  std::unique_ptr<OutputFile> out;
  if (!name.empty() && !files_.folderExists(path)) {
    tmp.path = path + ".part";
    out = files_.createFile(tmp.path);
  }
  if (!out) {
    tmp.path.clear();
    net_.close(req.h);
    req.h = nullptr;
    errorFichero(path);
    return false;
  }

  uint32_t total = 0;
  if (!net_.queryNumber(req.h, inet::kQueryContentLength, total)) total = 0;

  if (buffer_.size() != kBloque) buffer_.assign(kBloque, 0);
  uint64_t received = 0;
  uint32_t count = kBloque;
  bool result = false, endOfData = false;
  ultimoServicio_ = clock_.tickMs();
  while (count > 0 && !cancel_) {
    servirCola();
    if (!net_.read(req.h, buffer_.data(), kBloque, count)) break;
    if (count > 0 && count <= kBloque && !out->write(buffer_.data(), count)) throw RunAborted();
    if (count == 0) endOfData = true;
    received += count;
    if (OnCopyProgress) OnCopyProgress(*this, fileNumber_, (uint32_t)received, total);
    servirCola();
    if (count > 0) result = true;
  }
  bool written = out->close();
  out.reset();
  if (!written) throw RunAborted();
  net_.close(req.h);
  req.h = nullptr;

  bool complete = endOfData && !cancel_ && (total == 0 || received == total);
  if (!complete) return false;
  if (!files_.moveFile(tmp.path, path, true)) {
    errorFichero(path);
    return false;
  }
  tmp.conservar = true;
  return result;
}

}  // namespace tf
