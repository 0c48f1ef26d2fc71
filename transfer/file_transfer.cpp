#include "transfer/file_transfer.h"

#include "core/mensajes.h"
#include "core/texto.h"

namespace tf {

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
  SesionHttp sesion(net_);
  if (red && sesion.abrir(Agent, Proxy) && Timeout > 0) {
    uint64_t ms = (uint64_t)Timeout * 1000;
    uint32_t v = ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)ms;
    sesion.fijarTiempos(v, v, v);
  }

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
      case tpHttp: ok = descargarHttp(item, idx, sesion); break;
      case tpFile: ok = copiarFichero(item); break;
      default: ok = false; break;  // the FTP and upload kinds are not part of this build
    }
    item.Success = ok && !cancel_;
    item.Cancelled = cancel_;
    if (cancel_) break;
    if (OnFileDone) OnFileDone(*this, idx);
  }
  sesion.cerrar();
  if (OnCopyDone) OnCopyDone(*this);
}

bool TFileTransfer::copiarFichero(TFileTransferItem& item) {
  std::string path = unirRuta(item.TargetDir, item.TargetFilename.empty() ? ultimoSegmentoURL(item.URL)
                                                                          : item.TargetFilename);
  return prepararDestino(path) && files_.copyFile(item.URL, path, false);
}

void TFileTransfer::errorFichero(const std::string& path) {
  if (OnError) OnError(*this, 3);
  if (OnErrorInfo) OnErrorInfo(*this, 3, "Cannot create file " + path);
}

// What the shared download asks of this engine for one item.
class TFileTransfer::Anfitrion : public AnfitrionDescarga {
 public:
  Anfitrion(TFileTransfer& wc, const TFileTransferItem& item) : wc_(wc), item_(item) {}

  void trasAbrir() override {
    if (wc_.pump_) wc_.pump_();
    wc_.ultimoServicio_ = wc_.clock_.tickMs();
  }
  bool pedirCredenciales(const std::string& caption, std::string& user, std::string& password) override {
    if (!wc_.LoginPrompt) return false;
    std::string u = user, p = password;
    if (!wc_.LoginPrompt(wc_, caption, u, p)) return false;
    user = u;
    password = p;
    return true;
  }
  bool antesDeLeer() override {
    if (wc_.cancel_) return false;
    wc_.servirCola();
    return true;
  }
  bool trasLeer(uint64_t recibidos, uint64_t longitud) override {
    // A length beyond 32 bits cannot be given: the event then says none was announced.
    uint32_t total = longitud > 0xFFFFFFFFu ? 0 : (uint32_t)longitud;
    if (wc_.OnCopyProgress) wc_.OnCopyProgress(wc_, wc_.fileNumber_, (uint32_t)recibidos, total);
    wc_.servirCola();
    return true;
  }
  void anunciarReintento(const ReintentosDescarga& r, uint64_t recibidos) override {
    // The item's own URL: the request's may carry the proxy password.
    if (wc_.log_)
      wc_.log_->registrarLog(formatear(r.pideResto() ? msgReintentoPidiendoResto : msgReintentoDesdeElPrincipio,
                                       {item_.URL, std::to_string(recibidos), std::to_string(r.numero()),
                                        std::to_string(kReintentosDescarga)}));
  }
  bool atenderPausa() override {
    if (wc_.pump_) wc_.pump_();
    return wc_.cancel_;
  }
  bool cancelado() override { return wc_.cancel_; }

 private:
  TFileTransfer& wc_;
  const TFileTransferItem& item_;
};

bool TFileTransfer::descargarHttp(TFileTransferItem& item, int idx, SesionHttp& sesion) {
  std::string url = urlConCredencialesProxy(item.URL, ProxyUserID, ProxyPassword);
  if (pump_) pump_();
  Anfitrion anfitrion(*this, item);
  PeticionDescarga peticion;
  peticion.url = url;
  peticion.opciones.keepAlive = HTTPKeepAliveAuthentication;
  peticion.pedirAntes = item.Authenticate == taAlways;
  peticion.pedirTras401 = item.Authenticate == taAlways || item.Authenticate == taAuto;
  DescargaHttp descarga(sesion, clock_, anfitrion, peticion, item.HTTPUserID, item.HTTPPassword);

  std::unique_ptr<PeticionHttp> req = descarga.abrir();
  if (!req) {
    avisarFallo(url, descarga.ultimo());
    return false;
  }
  std::string name = item.TargetFilename.empty() ? ultimoSegmentoURL(url) : item.TargetFilename;
  std::string path = unirRuta(item.TargetDir, name);
  if ((item.CopyNewerOnly || OnFileDateCheck) && !esMasNuevo(item, idx, *req, path)) return false;
  if (!prepararDestino(path)) return false;
  return recibirFichero(descarga, std::move(req), url, !name.empty(), path);
}

bool TFileTransfer::esMasNuevo(TFileTransferItem& item, int idx, PeticionHttp& req, const std::string& path) {
  LocalTime t;
  TDateTime newdate = req.lastModified(t) ? aFechaHora(t) : aFechaHora(clock_.now());
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

bool TFileTransfer::recibirFichero(DescargaHttp& descarga, std::unique_ptr<PeticionHttp> req, const std::string& url,
                                   bool conNombre, const std::string& path) {
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
  CuerpoRecibido cuerpo = descarga.recibir(std::move(req), std::move(out), files_, parte);
  if (cancel_) return false;
  if (!cuerpo.completo) {
    avisarFallo(url, descarga.ultimo());
    return false;
  }
  if (cuerpo.longitud != 0 && cuerpo.recibidos != cuerpo.longitud) return false;
  if (!files_.moveFile(tmp.ruta(), path, true)) {
    errorFichero(path);
    return false;
  }
  tmp.conservar();
  return cuerpo.recibidos > 0;
}

void TFileTransfer::avisarFallo(const std::string& url, const Intento& ultimo) {
  // Only the file that finally fails reports, with what its last request met; a cut alone says
  // nothing.
  if (ultimo.sinRespuesta) {
    if (OnURLNotFound) OnURLNotFound(*this, url);
  } else if (ultimo.status >= 300) {
    if (OnError) OnError(*this, ultimo.status);
    if (OnErrorInfo) OnErrorInfo(*this, ultimo.status, "Returned http error code " + std::to_string(ultimo.status));
  }
}

}  // namespace tf
