// The update engine: brings a set of files up to date from a web server, driven by a control file.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/descarga_http.h"
#include "platform/internet.h"
#include "update/control_file.h"
#include "update/update_ports.h"

namespace tf {

enum TUpdateType { ftpUpdate, httpUpdate, fileUpdate };
// The same three modes as the file transfer component's.
using TUpdateAuthenticate = THttpAuthentication;
enum TCertCheck { ccEnable, ccDisable };
enum TUpdateEngineConnect {
  ucNoConnect, ucConnectPrompt, ucConnectSilent, ucConnectPromptHangup, ucConnectSilentHangup, ucNone
};
enum TUpdateEngineUpdate { upPromptOnce, upPromptAll, upSilent };
enum TVersionCheck { vcUpdateOnly, vcAlways };
enum TLastURLRoot { lurLOCALUSER, lurLOCALMACHINE };

struct TLastURLEntry {
  bool Save = false;
  std::string Key;
  std::string Section;
  TLastURLRoot RegRoot = lurLOCALUSER;
};

struct TPostUpdateInfo {
  std::string Server;
  std::string Action;
  std::string Data;
  bool Enabled = false;
};

// The text of a status report id ("" for an unknown id).
const char* updateEngineMessage(int id);

class TUpdateEngine {
 public:
  TUpdateEngine() = default;
  virtual ~TUpdateEngine() = default;
  TUpdateEngine(const TUpdateEngine&) = delete;
  TUpdateEngine& operator=(const TUpdateEngine&) = delete;

  // The machine the engine works on; must be set before RunUpdate.
  void conectar(const UpdateEnginePorts& ports) { ports_.reset(new UpdateEnginePorts(ports)); }

  // Properties.
  std::string URL;
  TUpdateType UpdateType = httpUpdate;
  std::string Agent = "TUpdateEngine";
  std::string Proxy, ProxyUserID, ProxyPassword;
  std::string UserID, Password;
  TUpdateAuthenticate Authenticate = taNever;
  TCertCheck CertCheck = ccEnable;
  bool HTTPKeepAliveAuthentication = false;
  bool ExistingConnection = false;
  int TimeOut = 0;
  int ReceiveTimeOut = 0;
  TUpdateEngineConnect UpdateConnect = ucNoConnect;
  TUpdateEngineUpdate UpdateUpdate = upPromptOnce;
  TVersionCheck VersionCheck = vcUpdateOnly;
  bool ForceUpdate = false;
  bool UseCRC32 = false;
  bool SignatureCheck = false;
  std::string Signature = "UpdateEngine";
  bool ExtractCAB = false;
  bool KeepIntermediateFiles = false;
  bool UseWinTempDir = true;
  std::string TempDirectory = ".";
  std::string DateFormat = "dd/mm/yyyy";
  char DateSeparator = '/';
  std::string TimeFormat = "hh:nn";
  char TimeSeparator = ':';
  std::string LanguageID;
  bool Logging = false;
  std::string LogFileName = "UPDATE.LOG";
  bool ShowDownloadProgress = false;  // the engine draws no progress window of its own
  TLastURLEntry LastURLEntry;
  TPostUpdateInfo PostUpdateInfo;
  bool ApplyPatch = false;
  std::string FTPDirectory;
  bool FTPPassive = false;
  std::string Host;
  int Port = 21;
  std::string Version() const { return "2.2.1.0"; }

  // Read-only results of the last run.
  TFileList FileList;
  std::string UpdateDescription;  // [update] "descr"
  std::string PostReply;          // reply of the post-update form

  // Events.
  std::function<void(TUpdateEngine&, const std::string& FileName, int64_t Pos, int64_t Size)> OnFileProgress;
  std::function<void(TUpdateEngine&, const std::string& StatusStr, int StatusCode, int ErrCode)> OnStatus;
  std::function<void(TUpdateEngine&, const std::string& FileName)> OnFileDownloaded;
  std::function<void(TUpdateEngine&, const std::string& NewVersion, const std::string& LocalVersion, bool& IsNew)>
      OnFileVersionCheck;
  std::function<void(TUpdateEngine&, const std::string& Action)> OnProgress;  // declared; never raised
  std::function<void(TUpdateEngine&, bool& Cancel)> OnProgressCancel;
  std::function<void(TUpdateEngine&, int FileIdx, const std::string& FileDescription, std::string& URL)>
      OnBeforeFileDownload;
  std::function<void(TUpdateEngine&, const std::string& Msg, const std::string& Param, bool& Allow)> OnCustomValidate;
  std::function<void(TUpdateEngine&, const std::string& Msg, const std::string& Param)> OnCustomProcess;
  std::function<void(TUpdateEngine&, std::vector<std::string>& List)> OnGetFileList;
  std::function<void(TUpdateEngine&, std::string& Path)> OnConvertPrefix;
  std::function<void(TUpdateEngine&, std::string& AppParams)> OnSetAppParams, OnSetAppParamBefore, OnSetAppParamAfter;
  std::function<void(TUpdateEngine&, const std::vector<std::string>& Text, int& Res)> OnDownloadedWhatsNew,
      OnDownloadedEULA;
  std::function<void(TUpdateEngine&, const std::string& URL, std::string& FName)> OnFileNameFromURL;
  std::function<void(TUpdateEngine&, bool& AllowPost)> OnBeforePost;
  std::function<void(TUpdateEngine&, bool& AllowPostResult)> OnProcessPostResult;
  std::function<void(TUpdateEngine&, bool& Allow)> OnAppRestart;
  std::function<void(TUpdateEngine&)> OnAppDoClose;
  std::function<void(TUpdateEngine&)> OnThreadUpdateDone;  // declared; never raised
  std::function<void(TUpdateEngine&)> OnSuccess;

  // One whole update; reports through OnStatus. Throws only when downloaded data cannot be
  // written to disk or the local application-data folder is unknown, and then only after the
  // connection is closed, a dial-up hung up and the control-file copy deleted.
  void RunUpdate(bool SwitchToProgramFolder);
  // Downloads one URL into Folder under the name taken from the URL. A body cut short is asked
  // for again (the rest of it, or all of it once), after the rules of core/reanudacion.h.
  bool DownloadUrl(const std::string& URL, const std::string& Folder, bool Unpack);

  std::string tempDir() const;         // with a trailing "\"
  std::string logFilePath() const;     // where the component log goes
  std::string expandPath(std::string path);

  // Overridable steps, in their declared order.
  virtual int ShowWhatsNew(const std::string& Stream);
  virtual int ShowLicence(const std::string& Stream);
  virtual void ReportStatus(int MessageId, const std::string& Param, int StatusCode, int ErrCode);
  virtual bool ExtractRestartProgram();
  virtual bool ExtractPatchUtility();
  virtual bool IsNewer(std::string& NewVersion, std::string& LocalVersion, int NewSize, int NewCheckSum);
  virtual void ReportFileProgress(const std::string& FileName, int64_t Pos, int64_t Size);
  virtual void QueryCancel(bool& Cancel);
  virtual void AdjustParamsBefore(std::string& Params);
  virtual void AdjustParamsAfter(std::string& Params);
  virtual void ReportFileDownloaded(const std::string& FileName);
  virtual int OpenConnection();
  virtual void CloseConnection();
  virtual int ConnectFtpHost();
  virtual void GetControlFileUrl(std::string& Url);
  virtual int FetchControlFile();
  virtual bool CheckUpdateDue();
  virtual int RunPreActions();
  virtual std::vector<std::string> FetchWhatsNewLines();
  virtual std::string FetchWhatsNewStream();
  virtual std::vector<std::string> FetchLicenceLines();
  virtual std::string FetchLicenceStream();
  virtual void GetOsVersionText(std::string& Text);
  virtual void GetBuildTag(std::string& Text);
  virtual void GetBrowserVersionText(std::string& Text);
  virtual void GetInstalledToolsText(std::string& Text);
  virtual int ReadFileList();
  virtual int FilterFileList();
  virtual int DownloadFiles();
  virtual void GetPrefixFolder(const std::string& Name, std::string& Folder);
  virtual void RunPostActions();

 protected:
  UpdateEnginePorts& ports() const;
  void logLine(const std::string& text);
  // The run, in order.
  void startRun(bool SwitchToProgramFolder);
  bool prepareDownload();  // control file, decision, actions, texts, file list: true to download
  bool acceptTexts();      // the what's-new and licence texts; false when one is declined
  // One download.
  class Anfitrion;
  std::string requestUrl(const std::string& url) const;  // with the proxy credentials for "http://"
  UpdateRequestFlags requestFlags() const;
  // What the last request of a download that fails met.
  void reportFailedRequest(const std::string& url, const Intento& last);
  // One entry of the file list: downloaded, then moved or unpacked into place.
  bool downloadEntry(int index, const TFileDescription& d);
  bool unpackEntry(const TFileDescription& d, const std::string& ext, const std::string& current);
  // Deletes a file, clearing read-only and hidden when the first try fails.
  bool deleteOrClear(const std::string& path);
  // An existing target removed (972 when it cannot be); then `from` renamed to it (973).
  bool clearTarget(const std::string& target);
  bool replaceFile(const std::string& from, const std::string& to);
  bool fetchText(const std::string& section, bool& found, std::string& text);
  bool downloadByCopy(const std::string& source, const std::string& target);
  void restartApplication();
  std::string section(const std::string& base) const { return LanguageID.empty() ? base : base + LanguageID; }

  std::unique_ptr<UpdateEnginePorts> ports_;
  IniText ini_;
  bool sessionOpen_ = false;
  bool dialled_ = false;
  bool cancel_ = false;
  bool cancelReported_ = false;
  bool appUpdate_ = false;
  bool componentDownloaded_ = false;
  bool silentRestart_ = false;
  bool dateFromSettings_ = false;
  std::string controlFile_;
  std::string appComps_;
  std::string newDate_, newTime_;
  std::string lastTarget_;  // local path of the last DownloadUrl
};

}  // namespace tf
