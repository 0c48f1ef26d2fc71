// File transfer component: fetches files by URL into local folders, one item after another,
// reporting through events and through flags left on each item. Never throws to its caller.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/descarga_http.h"
#include "core/log.h"
#include "core/texto.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/ports.h"

namespace tf {

class TFileTransfer;

// Days since 30/12/1899, fraction for the time of day (the classic date-time number).
using TDateTime = double;
TDateTime aFechaHora(const LocalTime& t);

enum TFileTransferProtocol {
  tpHttp = 0, tpFtp, tpFile, tpFtpUpload, tpHttpUpload, tpMultiFtp, tpMultiFtpUpload, tpFtpDelete, tpFtpList, tpFtpTest
};
using TFileTransferAuthentication = THttpAuthentication;
enum TFileTransferHTTPCommand { hcPost = 0, hcPut };

class TFileTransferItem {
 public:
  std::string URL;
  std::string TargetDir;
  std::string TargetFilename;
  TFileTransferProtocol Protocol = tpHttp;
  bool Active = true;
  TFileTransferAuthentication Authenticate = taNever;
  std::string HTTPUserID;
  std::string HTTPPassword;
  std::string DisplayURL;
  bool CopyNewerOnly = false;
  TDateTime FileDate = 0;
  TFileTransferHTTPCommand HTTPCommand = hcPost;
  std::string FTPHost, FTPUserID, FTPPassword;
  int FTPPort = 21;

  // Outcome of the last run that reached the item.
  bool Success = false;    // data delivered completely and the run not cancelled
  bool Cancelled = false;
  bool NotNewer = false;   // the newer-only check found nothing newer
  TDateTime Date = 0;      // the server's date when the newer-only check ran, else FileDate

  // Copies every setting (not the outcome).
  void Assign(const TFileTransferItem& other);
};

class TFileTransferItems {
 public:
  explicit TFileTransferItems(TFileTransfer& owner) : owner_(owner) {}
  void Clear() { items_.clear(); }
  TFileTransferItem& Add();
  int Count() const { return (int)items_.size(); }
  TFileTransferItem& operator[](int i) { return *items_.at((size_t)i); }
  TFileTransfer& Owner() { return owner_; }

 private:
  friend class TFileTransfer;
  TFileTransfer& owner_;
  // Shared so a run keeps the list it started with even if a handler edits Items meanwhile.
  std::vector<std::shared_ptr<TFileTransferItem>> items_;
};

class TFileTransfer {
 public:
  // `pump` services the caller's window event queue; `log`, when given, gets one line per retry
  // of a download whose connection dropped.
  TFileTransfer(Internet& net, Files& files, Clock& clock, std::function<void()> pump, Log* log = nullptr);
  TFileTransfer(const TFileTransfer&) = delete;
  TFileTransfer& operator=(const TFileTransfer&) = delete;

  std::string Agent = "FileTransfer";
  std::string Proxy;
  std::string ProxyUserID;
  std::string ProxyPassword;
  int Timeout = 0;  // seconds
  TFileTransferItems Items{*this};
  bool ShowDialog = true;
  bool CreateUniqueFilenames = false;
  bool HTTPKeepAliveAuthentication = false;
  bool FTPPassive = false;
  std::string Version() const { return "2.4.0.3"; }

  // Settings of the progress dialog. This build shows no dialog; they are kept for callers that set them.
  bool AlwaysOnTop = false, ShowDialogOnTop = false, ShowOpenFile = false, ShowOpenFolder = false;
  bool ShowCompletion = false, ShowElapsedTime = true, ShowFileName = true, ShowServer = true, ShowTime = true;
  bool DlgShowCancel = true, DlgShowCloseBtn = false;
  std::string DlgCaption = "Downloading ...", DlgFileLabel = "File:", DlgFileOfLabel = "of",
              DlgFromServerLabel = "From:", DlgToServerLabel = "To:", DlgProgressLabel = "Progress:",
              DlgRateLabel = "Rate:", DlgTimeLabel = "Time left:", DlgElapsedTimeLabel = "Elapsed time:",
              DlgCopying = "Copying", DlgDwnload = "Downloading", DlgUpload = "Uploading",
              DlgCompleted = "Completed", DlgCancel = "Cancel", DlgClose = "Close", DlgOpenFile = "Open file",
              DlgOpenFolder = "Open folder";

  // Events; the component is always the first argument.
  std::function<void(TFileTransfer& Sender, int idx)> OnFileStart;
  std::function<void(TFileTransfer& Sender, int fileidx, uint32_t size, uint32_t totsize)> OnCopyProgress;
  std::function<void(TFileTransfer& Sender, int idx)> OnFileDone;
  std::function<void(TFileTransfer& Sender)> OnCopyDone;
  std::function<void(TFileTransfer& Sender, int ErrorCode)> OnError;
  std::function<void(TFileTransfer& Sender, int ErrorCode, const std::string& ErrorInfo)> OnErrorInfo;
  std::function<void(TFileTransfer& Sender, const std::string& url)> OnURLNotFound;
  std::function<void(TFileTransfer& Sender, const std::string& tgtfile, bool& allow)> OnCopyOverWrite;
  std::function<void(TFileTransfer& Sender)> OnCopyCancel;
  std::function<void(TFileTransfer& Sender, int idx, TDateTime newdate, bool& allow)> OnFileDateCheck;
  std::function<void(TFileTransfer& Sender, const std::string& tgtfile, TDateTime curdate, TDateTime newdate)>
      OnNoNewFileFound;
  // Asks for HTTP credentials (caption "Connect to " + host); false means Cancel. Unassigned: Cancel.
  std::function<bool(TFileTransfer& Sender, const std::string& caption, std::string& user, std::string& password)>
      LoginPrompt;

  // Runs the whole list on the calling thread; returns when the run is over. A call made while a
  // run is active (from an event handler) does nothing.
  void Execute();
  // What the dialog's cancel button does: the block loop stops before its next read, the partial
  // file is removed and the run stops after the current item.
  void Cancel();

  bool Running() const { return running_; }
  const std::string& LastFile() const { return lastFile_; }  // the last target path

 private:
  class Anfitrion;
  void transferir();
  bool copiarFichero(TFileTransferItem& item);
  // The steps of an HTTP download, in order.
  bool descargarHttp(TFileTransferItem& item, int idx, SesionHttp& sesion);
  bool esMasNuevo(TFileTransferItem& item, int idx, PeticionHttp& req, const std::string& path);
  bool prepararDestino(std::string& path);
  bool recibirFichero(DescargaHttp& descarga, std::unique_ptr<PeticionHttp> req, const std::string& url,
                      bool conNombre, const std::string& path);
  // The events of a file that fails, from what its last request met.
  void avisarFallo(const std::string& url, const Intento& ultimo);
  void errorFichero(const std::string& path);
  void servirCola();

  Internet& net_;
  Files& files_;
  Clock& clock_;
  std::function<void()> pump_;
  Log* log_;
  bool running_ = false;
  bool cancel_ = false;
  int fileNumber_ = 0;
  std::string lastFile_;
  uint64_t ultimoServicio_ = 0;

 public:
  static constexpr uint64_t kIntervaloServicioMs = 10;
};

// The first of "name(1).ext", "name(2).ext" … for which `exists` is false.
std::string nombreUnico(const std::string& path, const std::function<bool(const std::string&)>& exists);

}  // namespace tf
