#include "transfer/file_transfer.h"

#include "core/mensajes.h"
#include "core/texto.h"

namespace tf {

namespace {

constexpr uint32_t kBloque = 4096;

// Thrown when the run must stop at once (the target cannot be written).
struct RunAborted {};

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

std::string urlConCredencialesProxy(const std::string& url, const std::string& user, const std::string& password) {
  if (empiezaSinMayusculas(url, "http://") && !user.empty() && !password.empty())
    return "http://" + user + ":" + password + "@" + url.substr(7);
  return url;
}

std::string nombreUnico(const std::string& path, const std::function<bool(const std::string&)>& exists) {
  std::string ext = extensionFichero(path), base = path.substr(0, path.size() - ext.size());
  for (unsigned n = 1;; ++n) {
    std::string candidate = base + "(" + std::to_string(n) + ")" + ext;
    if (!exists(candidate)) return candidate;
  }
}

TFileTransfer::TFileTransfer(Internet& net, Files& files, Clock& clock, std::function<void()> pump, Log* log)
    : net_(net), files_(files), clock_(clock), pump_(std::move(pump)), log_(log) {}

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
  try {
    transferir();
  } catch (...) {
    // A handler's error or a file that cannot be written ends the run; the caller is not told.
  }
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
  InternetHandle session(net_, red ? abrirSesion() : nullptr);

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
      case tpHttp: ok = descargarHttp(item, idx, session.get()); break;
      case tpFile: ok = copiarFichero(item); break;
      default: ok = false; break;  // the FTP and upload kinds are not part of this build
    }
    item.Success = ok && !cancel_;
    item.Cancelled = cancel_;
    if (cancel_) break;
    if (OnFileDone) OnFileDone(*this, idx);
  }
  session.reset();
  if (OnCopyDone) OnCopyDone(*this);
}

Internet::Handle TFileTransfer::abrirSesion() {
  Internet::Handle session = Proxy.empty() ? net_.open(Agent, inet::kOpenPreconfig, "")
                                           : net_.open(Agent, inet::kOpenProxy, Proxy);
  if (session && Timeout > 0) {
    uint64_t ms = (uint64_t)Timeout * 1000;
    uint32_t v = ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)ms;
    for (uint32_t opt : {inet::kOptionConnectTimeout, inet::kOptionSendTimeout, inet::kOptionReceiveTimeout})
      net_.setOption(session, opt, v);
  }
  return session;
}

bool TFileTransfer::copiarFichero(TFileTransferItem& item) {
  std::string path = unirRuta(item.TargetDir, item.TargetFilename.empty() ? ultimoSegmentoURL(item.URL)
                                                                          : item.TargetFilename);
  return prepararDestino(path) && files_.copyFile(item.URL, path, false);
}

bool TFileTransfer::pedirCredenciales(TFileTransferItem& item, const std::string& url) {
  if (!LoginPrompt) return false;
  std::string user = item.HTTPUserID, password = item.HTTPPassword;
  if (!LoginPrompt(*this, "Connect to " + hostDeURL(url), user, password)) return false;
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

  InternetHandle req = abrirPeticion(item, url, session);
  if (!req) return false;
  std::string name = item.TargetFilename.empty() ? ultimoSegmentoURL(url) : item.TargetFilename;
  std::string path = unirRuta(item.TargetDir, name);
  if ((item.CopyNewerOnly || OnFileDateCheck) && !esMasNuevo(item, idx, req.get(), path)) return false;
  if (!prepararDestino(path)) return false;
  return recibirFichero(item, url, session, req, !name.empty(), path);
}

uint32_t TFileTransfer::flagsPeticion() const {
  uint32_t flags = inet::kFlagReload | inet::kFlagNoCacheWrite;
  if (HTTPKeepAliveAuthentication) flags |= inet::kFlagKeepConnection;
  return flags;
}

std::string TFileTransfer::cabecerasPeticion(const TFileTransferItem& item, const std::string& rango) const {
  std::string headers = rango;
  if (!item.HTTPUserID.empty() || !item.HTTPPassword.empty())
    headers += "Authorization: Basic " + codificarBase64(item.HTTPUserID + ":" + item.HTTPPassword) + "\r\n\r\n";
  return headers;
}

InternetHandle TFileTransfer::abrirPeticion(TFileTransferItem& item, const std::string& url,
                                            Internet::Handle session) {
  for (;;) {
    InternetHandle req(net_, session ? net_.openUrl(session, url, cabecerasPeticion(item, ""), flagsPeticion())
                                     : nullptr);
    if (pump_) pump_();
    if (!req) {
      if (OnURLNotFound) OnURLNotFound(*this, url);
      return req;
    }
    uint32_t status = 0;
    net_.queryNumber(req.get(), inet::kQueryStatusCode, status);
    if (status == 401 && (item.Authenticate == taAlways || item.Authenticate == taAuto)) {
      req.reset();
      if (!pedirCredenciales(item, url)) return req;
      continue;
    }
    if (status >= 300) {
      req.reset();
      if (OnError) OnError(*this, (int)status);
      if (OnErrorInfo) OnErrorInfo(*this, (int)status, "Returned http error code " + std::to_string(status));
    }
    return req;
  }
}

bool TFileTransfer::esMasNuevo(TFileTransferItem& item, int idx, Internet::Handle req, const std::string& path) {
  LocalTime t;
  TDateTime newdate = net_.queryTime(req, inet::kQueryLastModified, t) ? aFechaHora(t) : aFechaHora(clock_.now());
  item.Date = newdate;
  bool allow = newdate > item.FileDate;
  if (OnFileDateCheck) OnFileDateCheck(*this, idx, newdate, allow);
  if (!allow) {
    item.NotNewer = true;
    if (OnNoNewFileFound) OnNoNewFileFound(*this, path, item.FileDate, newdate);
  }
  return allow;
}

bool TFileTransfer::prepararDestino(std::string& path) {
  lastFile_ = path;
  if (files_.fileExists(path)) {
    bool allow = true;
    if (OnCopyOverWrite) OnCopyOverWrite(*this, path, allow);
    if (!allow) return false;
    if (CreateUniqueFilenames) {
      path = nombreUnico(path, [this](const std::string& p) { return files_.fileExists(p); });
      lastFile_ = path;
    }
  }
  std::string dir = extraerDirectorio(path);
  if (!dir.empty()) files_.createFolders(dir);
  return true;
}

bool TFileTransfer::recibirFichero(TFileTransferItem& item, const std::string& url, Internet::Handle session,
                                   InternetHandle& req, bool conNombre, const std::string& path) {
  // The data goes to a temporary file beside the target, moved over it only once complete, so a
  // cut connection never leaves a truncated file under the real name.
  FicheroTemporal tmp(files_);
  const std::string parte = path + ".part";
  std::unique_ptr<OutputFile> out;
  if (conNombre && !files_.folderExists(path)) {
    out = files_.createFile(parte);
    if (out) tmp.asignar(parte);
  }
  if (!out) {
    req.reset();
    errorFichero(path);
    return false;
  }
  auto total = [this](Internet::Handle r) {
    uint32_t n = 0;
    return net_.queryNumber(r, inet::kQueryContentLength, n) ? n : 0u;
  };
  uint32_t totalAnunciado = total(req.get());
  ReintentosDescarga reintentos(leerCabeceras(net_, req.get()));
  UltimoIntento ultimo;
  uint64_t received = 0;
  bool gotData = false, completo = false;
  for (;;) {
    bool endOfData = leerBloques(req.get(), *out, totalAnunciado, received, gotData);
    req.reset();
    if (cancel_) break;
    if (!reintentos.cortado(received, endOfData)) {
      completo = true;
      break;
    }
    ReintentosDescarga::Paso paso = reintentar(item, url, session, reintentos, received, req, ultimo);
    if (paso == ReintentosDescarga::Paso::DesdeCero) {
      // The bytes held belong to no file any more: the new body is written from its first byte.
      if (!out->close()) throw RunAborted();
      out = files_.createFile(parte);
      if (!out) throw RunAborted();
      totalAnunciado = total(req.get());
      received = 0;
      gotData = false;
    } else if (paso != ReintentosDescarga::Paso::Anadir) {
      break;
    }
  }
  bool written = out->close();
  out.reset();
  if (!written) throw RunAborted();
  req.reset();

  if (cancel_) return false;
  if (!completo) {
    avisarFallo(url, ultimo);
    return false;
  }
  if (totalAnunciado != 0 && received != totalAnunciado) return false;
  if (!files_.moveFile(tmp.ruta(), path, true)) {
    errorFichero(path);
    return false;
  }
  tmp.conservar();
  return gotData;
}

void TFileTransfer::avisarFallo(const std::string& url, const UltimoIntento& ultimo) {
  // Only the file that finally fails reports, with what its last request met; a cut alone says
  // nothing, as before.
  if (ultimo.sinRespuesta) {
    if (OnURLNotFound) OnURLNotFound(*this, url);
  } else if (ultimo.status >= 300) {
    if (OnError) OnError(*this, ultimo.status);
    if (OnErrorInfo) OnErrorInfo(*this, ultimo.status, "Returned http error code " + std::to_string(ultimo.status));
  }
}

ReintentosDescarga::Paso TFileTransfer::reintentar(TFileTransferItem& item, const std::string& url,
                                                   Internet::Handle session, ReintentosDescarga& reintentos,
                                                   uint64_t received, InternetHandle& req, UltimoIntento& ultimo) {
  using Paso = ReintentosDescarga::Paso;
  while (reintentos.siguiente(received)) {
    // The item's own URL: the request's may carry the proxy password.
    if (log_)
      log_->registrarLog(formatear(reintentos.pideResto() ? msgReintentoPidiendoResto : msgReintentoDesdeElPrincipio,
                                   {item.URL, std::to_string(received), std::to_string(reintentos.numero()),
                                    std::to_string(kReintentosDescarga)}));
    pausarAtendiendo(clock_, reintentos.pausaMs(), pump_, [this] { return cancel_; });
    if (cancel_) return Paso::Fallar;
    req.reset(net_.openUrl(session, url, cabecerasPeticion(item, reintentos.cabeceraRango()), flagsPeticion()));
    if (pump_) pump_();
    ultimo = UltimoIntento{};
    if (!req) {
      ultimo.sinRespuesta = true;
      continue;
    }
    CabecerasRespuesta c = leerCabeceras(net_, req.get());
    ultimo.status = c.status;
    Paso paso = reintentos.juzgar(c);
    if (paso == Paso::Anadir || paso == Paso::DesdeCero) return paso;
    req.reset();
    if (paso == Paso::Fallar) return paso;
  }
  return Paso::Fallar;
}

bool TFileTransfer::leerBloques(Internet::Handle req, OutputFile& out, uint32_t total, uint64_t& received,
                                bool& gotData) {
  if (buffer_.size() != kBloque) buffer_.assign(kBloque, 0);
  uint32_t count = kBloque;
  bool endOfData = false;
  ultimoServicio_ = clock_.tickMs();
  while (count > 0 && !cancel_) {
    servirCola();
    if (!net_.read(req, buffer_.data(), kBloque, count)) break;
    if (count > 0 && count <= kBloque && !out.write(buffer_.data(), count)) throw RunAborted();
    if (count == 0) endOfData = true;
    received += count;
    if (OnCopyProgress) OnCopyProgress(*this, fileNumber_, (uint32_t)received, total);
    servirCola();
    if (count > 0) gotData = true;
  }
  return endOfData;
}

}  // namespace tf
