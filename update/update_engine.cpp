#include "update/update_engine.h"

#include <cstdio>

#include "core/mensajes.h"
#include "core/texto.h"
#include "platform/error.h"

namespace tf {

namespace {

struct Message {
  int id;
  const char* text;
};

const Message kMessages[] = {
    {963, "Start update process with version : %s"},
    {964, "Update process cancelled"},
    {966, "OS version : %s"},
    {967, "IE version : %s"},
    {968, "Start update : %s ---------------------------"},
    {969, "Compiler : %s"},
    {970, "Installed IDEs : %s"},
    {918, "Checking for Internet connection"},
    {919, "Prompt to open new Internet connection"},
    {920, "Opening Internet connection"},
    {953, "Dialup failed"},
    {921, "Found open Internet connection"},
    {922, "Cannot open Internet connection"},
    {923, "Connect to host : %s"},
    {974, "Change FTP directory to : %s"},
    {975, "Cannot change FTP directory to : %s"},
    {915, "Download : %s"},
    {916, "Http status : %s"},
    {917, "File not found : %s"},
    {976, "System error : %s"},
    {956, "Authentication cancelled"},
    {972, "Cannot delete file : %s"},
    {973, "Cannot rename file : %s"},
    {925, "Update control file not found"},
    {926, "Update control file found"},
    {927, "Invalid signature in update control file"},
    {928, "Date based update found"},
    {931, "Checksum based update found"},
    {932, "File size based update found"},
    {933, "Version based update found"},
    {929, "New version found : %s"},
    {930, "No new version found"},
    {944, "Version check : %s"},
    {934, "Found message instruction"},
    {935, "Found HTML dialog instruction"},
    {942, "Found URL show instruction"},
    {936, "Found query instruction"},
    {937, "Found whatsnew instruction"},
    {938, "Whatsnew not accepted"},
    {939, "Found license agreement instruction"},
    {943, "Found file update instruction"},
    {971, "Processing file : %s"},
    {962, "Found application component : %s"},
    {946, "Cannot download update file : %s"},
    {947, "Error decompressing CAB file : %s"},
    {941, "Found URL redirection instruction"},
    {948, "Finished processing update control file"},
    {951, "Cannot connect to server for post"},
    {952, "Cannot access resource for post"},
    {954, "Closed FTP connection"},
    {949, "Closed Internet connection"},
    {955, "Disconnect dialup"},
    {959, "Restart app in directory : %s"},
    {958, "Spawn %s"},
    {912, "Equal source and target files : %s"},
    {913, "File not found : %s"},
    {914, "Zero length source file : %s"},
    {965, "Extract CAB file : %s"},
};

const char* const kPromptFile = "Download update file : ";
const char* const kPromptFiles = "Download update files ?";
const char* const kPromptRestart = "Shutdown application to update executable files ?";

// "\n" written in the control file stands for a line break.
std::string lineBreaks(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

bool isRichText(const std::string& text) { return empiezaSinMayusculas(text, "{\\RTF"); }

// A name that would leave the download folder or is no file name at all.
bool unsafeFileName(const std::string& n) {
  return n.empty() || n == "." || n == ".." || n.find_first_of(":*?\"<>|/\\") != std::string::npos ||
         esNombreDeDispositivo(n);
}

SettingsRoot rootOf(TLastURLRoot r) {
  return r == lurLOCALMACHINE ? SettingsRoot::LocalMachine : SettingsRoot::CurrentUser;
}

}  // namespace

const char* updateEngineMessage(int id) {
  for (const Message& m : kMessages)
    if (m.id == id) return m.text;
  return "";
}

UpdateEnginePorts& TUpdateEngine::ports() const {
  if (!ports_) throw Error("TUpdateEngine: no ports connected");
  return *ports_;
}

std::string TUpdateEngine::tempDir() const {
  return conBarraFinal(UseWinTempDir ? ports().files.tempFolder() : TempDirectory);
}

std::string TUpdateEngine::logFilePath() const {
  if (LogFileName.find_first_of("\\/:") != std::string::npos) return LogFileName;
  return unirRuta(ports().sys.documentsDir(), LogFileName);
}

void TUpdateEngine::logLine(const std::string& text) {
  if (!Logging) return;
  LocalTime t = ports().clock.now();
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                t.second);
  try {
    ports().logSink.appendToFile(logFilePath(), std::string(stamp) + " : " + text + "\r\n");
  } catch (...) {
  }
}

void TUpdateEngine::ReportStatus(int MessageId, const std::string& Param, int StatusCode, int ErrCode) {
  std::string text = formatear(updateEngineMessage(MessageId), {Param});
  logLine("[" + std::to_string(MessageId) + "] " + text + " (Status:" + std::to_string(StatusCode) + ") (Error:" +
          std::to_string(ErrCode) + ")");
  if (OnStatus) OnStatus(*this, text, StatusCode, ErrCode);
  else if (MessageId == 976 && UpdateUpdate != upSilent) ports().ui.showError(text);
}

void TUpdateEngine::GetPrefixFolder(const std::string& Name, std::string& Folder) {
  UpdateSystem& sys = ports().sys;
  if (Name == "WIN") Folder = sys.windowsDir();
  else if (Name == "SYS") Folder = sys.systemDir();
  else if (Name == "APP") Folder = sys.programDir();
  else if (Name == "TMP") Folder = tempDir();
  else if (Name == "DOC") Folder = sys.documentsDir();
  else if (Name == "PF") Folder = ports().processes.environment("ProgramFiles");
  else if (Name == "LAD") {
    if (!sys.localAppDataDir(Folder)) throw Error("Could not find Local Application Data folder location.");
  } else Folder.clear();
}

std::string TUpdateEngine::expandPath(std::string path) {
  if (OnConvertPrefix) OnConvertPrefix(*this, path);
  return expandPrefixes(path, [this](const std::string& name) {
    std::string f;
    GetPrefixFolder(name, f);
    return f;
  });
}

bool TUpdateEngine::deleteOrClear(const std::string& path) {
  Files& f = ports().files;
  if (f.deleteFile(path)) return true;
  f.clearReadOnlyAndHidden(path);
  return f.deleteFile(path);
}

// ---- the run ----

namespace {

// Closes the run's connection, hangs up its dial-up and deletes its control-file copy on every
// way out of the run, also when a step throws.
class CierreConexion {
 public:
  explicit CierreConexion(TUpdateEngine& engine) : engine_(engine) {}
  ~CierreConexion() {
    if (pendiente_) {
      try {
        engine_.CloseConnection();
      } catch (...) {
        // Already leaving with an error; a failing status handler must not hide it.
      }
    }
  }
  CierreConexion(const CierreConexion&) = delete;
  CierreConexion& operator=(const CierreConexion&) = delete;
  void cerrar() {
    pendiente_ = false;
    engine_.CloseConnection();
  }

 private:
  TUpdateEngine& engine_;
  bool pendiente_ = true;
};

}  // namespace

void TUpdateEngine::RunUpdate(bool SwitchToProgramFolder) {
  startRun(SwitchToProgramFolder);
  CierreConexion cierre(*this);
  if (OpenConnection() != 0) return;  // nothing opened: the close only hangs up a dial-up made
  bool remain = false;
  int downloaded = -1;
  if (prepareDownload()) {
    remain = FilterFileList() == 0 && FileList.count() > 0;
    if (remain) {
      downloaded = DownloadFiles();
      RunPostActions();
    }
  }
  cierre.cerrar();
  if (remain && downloaded == 0 && !cancel_ && OnSuccess) OnSuccess(*this);
  if (remain && appUpdate_ && componentDownloaded_ && !cancel_) restartApplication();
}

void TUpdateEngine::startRun(bool SwitchToProgramFolder) {
  UpdateEnginePorts& p = ports();
  cancel_ = false;
  cancelReported_ = false;
  if (SwitchToProgramFolder) p.sys.setCurrentDir(p.sys.programDir());
  std::string text;
  ReportStatus(968, "Non threaded update", 0, 0);
  GetOsVersionText(text);
  ReportStatus(966, text, 0, 0);
  GetBrowserVersionText(text);
  ReportStatus(967, text, 0, 0);
  GetBuildTag(text);
  ReportStatus(969, text, 0, 0);
  GetInstalledToolsText(text);
  ReportStatus(970, text, 0, 0);
  componentDownloaded_ = false;
  controlFile_.clear();
  ReportStatus(963, Version(), 0, 0);
}

bool TUpdateEngine::prepareDownload() {
  if (UpdateType == ftpUpdate && ConnectFtpHost() != 0) return false;
  if (UpdateType != fileUpdate && !sessionOpen_) return false;  // ucNone: nothing opened
  if (FetchControlFile() != 0) return false;
  if (!ForceUpdate && !CheckUpdateDue()) {
    appUpdate_ = false;
    return false;
  }
  if (RunPreActions() == -1) return false;
  if (!acceptTexts() || ReadFileList() <= 0) {
    appUpdate_ = false;
    return false;
  }
  return true;
}

bool TUpdateEngine::acceptTexts() {
  bool found = false, declined = false;
  std::string whatsNew;
  if (fetchText("whatsnew", found, whatsNew) && found) {
    ReportStatus(937, "", 12, 0);
    if (ShowWhatsNew(whatsNew) != 0) declined = true;
  }
  std::string licence;
  bool licenceOk = fetchText("eula", found, licence);
  if (found && !declined) {
    ReportStatus(939, "", 13, 0);
    // A licence that could not be fetched cannot be accepted.
    if (!licenceOk || ShowLicence(licence) != 0) declined = true;
  }
  return !declined;
}

int TUpdateEngine::OpenConnection() {
  UpdateEnginePorts& p = ports();
  sessionOpen_ = false;
  if (UpdateType == fileUpdate) return 0;
  ReportStatus(918, "", 3, 0);
  if (UpdateConnect == ucNone) return 0;
  bool available = true;
  bool online = URL.find("127.0.0.1") != std::string::npos || p.http.connectedState(available) || !available;
  if (!online) {
    if (UpdateConnect == ucNoConnect) return 1;
    bool prompt = UpdateConnect == ucConnectPrompt || UpdateConnect == ucConnectPromptHangup;
    ReportStatus(prompt ? 919 : 920, "", 3, 0);
    if (!p.http.dial(prompt)) {
      ReportStatus(953, "", 3, 0);
      return 3;
    }
    dialled_ = true;
  }
  ReportStatus(921, "", 3, 0);
  if (!p.http.openSession(Agent, Proxy)) {
    ReportStatus(922, "", 1, 0);
    return 2;
  }
  sessionOpen_ = true;
  p.http.setTimeouts(TimeOut > 0 ? TimeOut : 0, ReceiveTimeOut > 0 ? ReceiveTimeOut : 0);
  if (CertCheck == ccDisable) p.http.ignoreCertificateErrors();
  return 0;
}

void TUpdateEngine::CloseConnection() {
  UpdateEnginePorts& p = ports();
  if (sessionOpen_) {
    p.http.closeSession();
    sessionOpen_ = false;
    ReportStatus(949, "", 3, 0);
  }
  if (dialled_ && (UpdateConnect == ucConnectPromptHangup || UpdateConnect == ucConnectSilentHangup)) {
    p.http.hangUp();
    ReportStatus(955, "", 3, 0);
  }
  dialled_ = false;
  if (!controlFile_.empty() && p.files.fileExists(controlFile_)) p.files.deleteFile(controlFile_);
}

int TUpdateEngine::ConnectFtpHost() {
  // The FTP transport is not carried: the run ends here after saying so.
  ReportStatus(923, Host, 3, 0);
  return 1;
}

void TUpdateEngine::GetControlFileUrl(std::string& Url) {
  Url = URL;
  if (!LastURLEntry.Key.empty() && !LastURLEntry.Section.empty() && LastURLEntry.Save) {
    std::string stored;
    if (ports().sys.readSetting(rootOf(LastURLEntry.RegRoot), LastURLEntry.Key + "\\" + LastURLEntry.Section,
                                "LastURL", stored) &&
        !stored.empty())
      Url = stored;
  }
}

int TUpdateEngine::FetchControlFile() {
  std::string url;
  GetControlFileUrl(url);
  url = expandPath(url);
  if (!DownloadUrl(url, tempDir(), false)) {
    ReportStatus(925, "", 2, 0);
    return 4;
  }
  controlFile_ = lastTarget_;  // from here on the close deletes it
  ReportStatus(926, "", 3, 0);
  std::string text;
  ports().files.readFile(controlFile_, text);
  ini_ = IniText(text);
  int result = 0;
  if (SignatureCheck && ini_.readString("update", "signature", "") != Signature) {
    ReportStatus(927, "", 11, 4);
    result = 5;
  }
  appUpdate_ = ini_.readInteger("application", "appupdate", 0) == 1;
  if (expandPath(ini_.readString("application", "appname", "")).empty()) appUpdate_ = false;
  appComps_ = expandPath(ini_.readString("application", "appcomps", ""));
  silentRestart_ = ini_.readInteger("application", "silentrestart", 0) == 1;
  return result;
}

bool TUpdateEngine::CheckUpdateDue() {
  UpdateEnginePorts& p = ports();
  DateSettings ds{DateFormat, DateSeparator, TimeFormat, TimeSeparator};
  UpdateDescription = ini_.readString("update", "descr", "");
  bool due = false;
  newDate_ = ini_.readString("update", "date", "");
  newTime_ = ini_.readString("update", "time", "");
  dateFromSettings_ = false;
  if (!newDate_.empty()) {
    ReportStatus(928, "", 3, 0);
    LocalTime moment = controlMoment(newDate_, newTime_, ds);
    LocalTime reference;  // 1 January 1980
    if (!LastURLEntry.Key.empty() && !LastURLEntry.Section.empty()) {
      dateFromSettings_ = true;
      std::string key = LastURLEntry.Key + "\\" + LastURLEntry.Section, d, t;
      DateSettings stored;  // stored as dd/mm/yyyy and hh:nn
      if (p.sys.readSetting(rootOf(LastURLEntry.RegRoot), key, "LastDate", d)) {
        p.sys.readSetting(rootOf(LastURLEntry.RegRoot), key, "LastTime", t);
        reference = controlMoment(d, t, stored);
      }
    } else {
      std::string local = expandPath(ini_.readString("update", "localversion", ""));
      if (!local.empty()) p.files.lastWriteTime(local, reference);
    }
    if (compareMoments(reference, moment) < 0) {
      due = true;
      ReportStatus(929, p.sys.shortDate(moment), 5, 0);
    } else {
      ReportStatus(930, "", 4, 0);
    }
  }
  if (!due && !ini_.readString("update", "unconditional", "").empty()) due = true;
  if (!due) {
    std::string newVersion = ini_.readString("update", "newversion", "");
    int newSize = ini_.readInteger("update", "newsize", 0);
    int newSum = ini_.readInteger("update", "newchecksum", -1);
    std::string local = expandPath(ini_.readString("update", "localversion", ""));
    if (!local.empty() && (!newVersion.empty() || newSize > 0 || newSum != -1)) {
      ReportStatus(newSum != -1 ? 931 : newSize > 0 ? 932 : 933, "", 3, 0);
      if (IsNewer(newVersion, local, newSize, newSum)) {
        due = true;
        ReportStatus(929, newVersion, 5, 0);
      } else {
        ReportStatus(930, "", 4, 0);
      }
    }
  }
  if (OnCustomValidate)
    OnCustomValidate(*this, ini_.readString("custom", "validatemsg", ""), ini_.readString("custom", "validateparam", ""),
                     due);
  return due;
}

bool TUpdateEngine::IsNewer(std::string& NewVersion, std::string& LocalVersion, int NewSize, int NewCheckSum) {
  UpdateEnginePorts& p = ports();
  if (NewVersion.empty() && NewSize == 0 && NewCheckSum == -1) return true;
  if (LocalVersion.empty() && VersionCheck == vcUpdateOnly) return true;
  if (!p.files.fileExists(LocalVersion) && VersionCheck == vcAlways) return true;
  if (NewCheckSum != -1) {
    int32_t local = (int32_t)fileChecksum(p.files, LocalVersion, UseCRC32);
    ReportStatus(944,
                 "Checksum compare of " + LocalVersion + ":" + std::to_string(local) + ":" + std::to_string(NewCheckSum),
                 3, 0);
    return local != NewCheckSum;
  }
  if (NewSize > 0) {
    uint64_t size = 0;
    int64_t local = p.files.fileSize(LocalVersion, size) ? (int64_t)size : -1;
    return local != NewSize && (local > 0 || VersionCheck == vcAlways);
  }
  FileVersion local = p.sys.fileVersion(LocalVersion);
  FileVersion fresh = parseVersion(NewVersion);
  ReportStatus(944,
               "Version compare of " + LocalVersion + ":" + versionText(local) + " with " + NewVersion + ":" +
                   versionText(fresh),
               3, 0);
  if (!fresh.valid) return false;
  if (!local.valid) return VersionCheck == vcAlways;
  return fresh.hi > local.hi || (fresh.hi == local.hi && fresh.lo > local.lo);
}

void TUpdateEngine::AdjustParamsBefore(std::string& Params) {
  if (OnSetAppParamBefore) OnSetAppParamBefore(*this, Params);
}

void TUpdateEngine::AdjustParamsAfter(std::string& Params) {
  if (OnSetAppParamAfter) OnSetAppParamAfter(*this, Params);
}

int TUpdateEngine::RunPreActions() {
  UpdateEnginePorts& p = ports();
  std::string msg = ini_.readString("action", "msg", "");
  if (!msg.empty()) {
    ReportStatus(934, "", 3, 0);
    p.ui.information(lineBreaks(msg));
  }
  std::string html = ini_.readString("action", "htmldlg", "");
  if (!html.empty()) {
    ReportStatus(935, "", 7, 0);
    p.ui.showHtmlDialog(expandPath(html));
  }
  std::string before = expandPath(ini_.readString("action", "runbefore", ""));
  if (!before.empty()) {
    std::string params = ini_.readString("action", "runbeforeparam", "");
    AdjustParamsBefore(params);
    p.sys.startProgram(before, params, p.sys.isVistaOrLater());
  }
  if (OnCustomProcess)
    OnCustomProcess(*this, ini_.readString("custom", "processmsg", ""), ini_.readString("custom", "processparam", ""));
  std::string show = ini_.readString("action", "showURL", "");
  if (!show.empty()) {
    ReportStatus(942, "", 3, 0);
    if (p.ui.mayOpenBrowser(show) && !p.sys.startBrowser(show)) p.sys.startProgram(show, "", true);
  }
  std::string query = ini_.readString("action", "query", "");
  if (!query.empty()) {
    ReportStatus(936, "", 3, 0);
    if (!p.ui.askYesNo(lineBreaks(query))) {
      appUpdate_ = false;
      return -1;
    }
  }
  return cancel_ ? -1 : 0;
}

bool TUpdateEngine::fetchText(const std::string& base, bool& found, std::string& text) {
  found = false;
  text.clear();
  std::string file = ini_.readString(section(base), "file", "");
  if (file.empty()) return false;
  found = true;
  text = base == "eula" ? FetchLicenceStream() : FetchWhatsNewStream();
  return !text.empty();
}

std::string TUpdateEngine::FetchWhatsNewStream() {
  std::string url = expandPath(ini_.readString(section("whatsnew"), "file", ""));
  if (url.empty() || !DownloadUrl(url, tempDir(), false)) return {};
  std::string text;
  ports().files.readFile(lastTarget_, text);
  ports().files.deleteFile(lastTarget_);
  return text;
}

std::vector<std::string> TUpdateEngine::FetchWhatsNewLines() { return textLines(FetchWhatsNewStream()); }

std::string TUpdateEngine::FetchLicenceStream() {
  std::string url = expandPath(ini_.readString(section("eula"), "file", ""));
  if (url.empty() || !DownloadUrl(url, tempDir(), false)) return {};
  std::string text;
  ports().files.readFile(lastTarget_, text);
  ports().files.deleteFile(lastTarget_);
  return text;
}

std::vector<std::string> TUpdateEngine::FetchLicenceLines() { return textLines(FetchLicenceStream()); }

int TUpdateEngine::ShowWhatsNew(const std::string& Stream) {
  bool rich = isRichText(Stream);
  if (OnDownloadedWhatsNew && !rich) {
    int res = 0;
    OnDownloadedWhatsNew(*this, textLines(Stream), res);
    return res == 1 ? 0 : -1;
  }
  if (ports().ui.showWhatsNew(ini_.readString("whatsnew", "caption", "What's new"),
                              ini_.readString("whatsnew", "okbtn", "Ok"),
                              ini_.readString("whatsnew", "cancelbtn", "Cancel"), Stream, rich))
    return 0;
  ReportStatus(938, "", 14, 0);
  return -1;
}

int TUpdateEngine::ShowLicence(const std::string& Stream) {
  bool rich = isRichText(Stream);
  if (OnDownloadedEULA && rich) {
    int res = 0;
    OnDownloadedEULA(*this, textLines(Stream), res);
    return res == 1 ? 0 : -1;
  }
  return ports().ui.showLicence(ini_.readString("eula", "caption", ""), ini_.readString("eula", "okbtn", "Ok"),
                                ini_.readString("eula", "accept", "I accept"),
                                ini_.readString("eula", "notaccept", "I do not accept"), Stream, rich)
             ? 0
             : -1;
}

void TUpdateEngine::GetOsVersionText(std::string& Text) { Text = ports().sys.osVersionText(); }

void TUpdateEngine::GetBuildTag(std::string& Text) {
#ifdef __VERSION__
  Text = std::string("g++ ") + __VERSION__;
#else
  Text = "C++";
#endif
}

void TUpdateEngine::GetBrowserVersionText(std::string& Text) {
  Text = ports().sys.ieVersion();
  if (Text.empty()) Text = "(not found)";
}

void TUpdateEngine::GetInstalledToolsText(std::string& Text) { Text = "(none)"; }

int TUpdateEngine::ReadFileList() {
  FileList.clear();
  int count = ini_.readInteger("files", "count", 0);
  if (count <= 0) return count;
  ReportStatus(943, "", 3, 0);
  // Only sections that exist make entries: a count of a million lists no million files.
  std::vector<int> found = fileSectionNumbers(ini_, count);
  if ((int)found.size() < count)
    logLine("Files count " + std::to_string(count) + " in the update control file, " + std::to_string(found.size()) +
            " file sections found");
  auto expand = [this](const std::string& s) { return expandPath(s); };
  for (int n : found) FileList.items.push_back(readFileEntry(ini_, n, expand));
  return FileList.count();
}

int TUpdateEngine::FilterFileList() {
  Files& files = ports().files;
  DateSettings ds{DateFormat, DateSeparator, TimeFormat, TimeSeparator};
  std::vector<TFileDescription> kept;
  for (TFileDescription& d : FileList.items) {
    ReportStatus(971,
                 d.URL + "[" + d.LocalVersion + ",nv=" + d.NewVersion + ",nd=" + d.NewDate + ",ns=" +
                     std::to_string(d.NewSize) + ",nc=" + std::to_string(d.NewCheckSum) + "]",
                 0, 0);
    if (!d.LocalVersion.empty() && !d.NewDate.empty()) {
      LocalTime local;
      bool exists = files.fileExists(d.LocalVersion) && files.lastWriteTime(d.LocalVersion, local);
      if (exists && compareMoments(local, controlMoment(d.NewDate, d.NewTime, ds)) >= 0) continue;
      kept.push_back(d);
      continue;
    }
    if (!IsNewer(d.NewVersion, d.LocalVersion, d.NewSize, d.NewCheckSum)) {
      ReportStatus(930, "", 0, 0);
      continue;
    }
    bool isNew = true;
    if (OnFileVersionCheck && !d.NewCustomVer.empty()) OnFileVersionCheck(*this, d.NewCustomVer, d.LocalVersion, isNew);
    if (isNew) kept.push_back(d);
  }
  FileList.items = kept;
  if (OnGetFileList && !FileList.items.empty()) {
    std::vector<std::string> list;
    for (const TFileDescription& d : FileList.items) list.push_back(d.Description);
    OnGetFileList(*this, list);
    kept.clear();
    for (size_t i = 0; i < FileList.items.size(); ++i)
      if (FileList.items[i].Mandatory || i >= list.size() || !list[i].empty()) kept.push_back(FileList.items[i]);
    FileList.items = kept;
  }
  return FileList.items.empty() ? -1 : 0;
}

void TUpdateEngine::ReportFileProgress(const std::string& FileName, int64_t Pos, int64_t Size) {
  if (OnFileProgress) OnFileProgress(*this, FileName, Pos, Size);
}

void TUpdateEngine::QueryCancel(bool& Cancel) {
  if (OnProgressCancel) OnProgressCancel(*this, Cancel);
  if (Cancel && !cancelReported_) {
    cancelReported_ = true;
    ReportStatus(964, "", 0, 0);
  }
}

void TUpdateEngine::ReportFileDownloaded(const std::string& FileName) {
  if (OnFileDownloaded) OnFileDownloaded(*this, FileName);
}

bool TUpdateEngine::clearTarget(const std::string& target) {
  if (!ports().files.fileExists(target) || deleteOrClear(target)) return true;
  ReportStatus(972, target, 19, 6);
  logLine("Unable to delete file " + target);
  return false;
}

bool TUpdateEngine::replaceFile(const std::string& from, const std::string& to) {
  if (!clearTarget(to)) return false;
  if (ports().files.moveFile(from, to, false)) return true;
  ReportStatus(973, from + " to " + to, 19, 7);
  logLine("Unable to rename file " + from + " to " + to);
  return false;
}

bool TUpdateEngine::downloadByCopy(const std::string& source, const std::string& target) {
  Files& files = ports().files;
  uint64_t size = 0;
  if (!files.fileExists(source)) {
    ReportStatus(913, source, 2, 1);
    return false;
  }
  if (igualesSinMayusculas(source, target)) {
    ReportStatus(912, source, 10, 3);
    return false;
  }
  if (!files.fileSize(source, size) || size == 0) {
    ReportStatus(914, source, 10, 2);
    return false;
  }
  if (!clearTarget(target) || !files.copyFile(source, target, false)) return false;
  ReportFileProgress(target, (int64_t)size, (int64_t)size);
  ReportFileDownloaded(target);
  return true;
}

// ---- one download ----

// What the shared download asks of the engine: its steps QueryCancel and ReportFileProgress,
// its login dialog, its log.
class TUpdateEngine::Anfitrion : public AnfitrionDescarga {
 public:
  Anfitrion(TUpdateEngine& wu, const std::string& url, const std::string& target)
      : wu_(wu), url_(url), target_(target) {}

  void trasAbrir() override {}
  bool pedirCredenciales(const std::string& caption, std::string& user, std::string& password) override {
    if (wu_.ports().ui.login(caption, user, password)) return true;
    wu_.ReportStatus(956, "", 0, 0);
    return false;
  }
  bool antesDeLeer() override {
    wu_.ports().ui.processMessages();
    return true;
  }
  bool trasLeer(uint64_t recibidos, uint64_t longitud) override {
    wu_.ReportFileProgress(target_, (int64_t)recibidos, (int64_t)longitud);
    wu_.QueryCancel(wu_.cancel_);
    return !wu_.cancel_;
  }
  void anunciarReintento(const ReintentosDescarga& r, uint64_t recibidos) override {
    wu_.logLine("Download of " + url_ + " cut at byte " + std::to_string(recibidos) + ": retry " +
                std::to_string(r.numero()) + " of " + std::to_string(kReintentosDescarga) + ", " +
                (r.pideResto() ? "asking for the rest" : "starting over"));
  }
  bool atenderPausa() override {
    wu_.ports().ui.processMessages();
    wu_.QueryCancel(wu_.cancel_);
    return wu_.cancel_;
  }
  bool cancelado() override { return wu_.cancel_; }

 private:
  TUpdateEngine& wu_;
  const std::string& url_;  // as the control file gives it: without the proxy's login
  const std::string& target_;
};

bool TUpdateEngine::DownloadUrl(const std::string& URL_, const std::string& Folder, bool Unpack) {
  UpdateEnginePorts& p = ports();
  std::string url = URL_;
  ReportStatus(915, url, 3, 0);
  std::string name = fileNameFromUrl(url);
  if (OnFileNameFromURL) OnFileNameFromURL(*this, url, name);
  std::string target = unirRuta(Folder, name);
  lastTarget_ = target;
  if (unsafeFileName(name)) {
    ReportStatus(917, url, 2, 1);
    return false;
  }
  if (UpdateType == fileUpdate) return downloadByCopy(url, target);

  Anfitrion anfitrion(*this, url, target);
  PeticionDescarga peticion;
  peticion.url = requestUrl(url);
  peticion.opciones = requestFlags();
  peticion.pedirAntes = Authenticate == taAlways;
  peticion.pedirTras401 = Authenticate == taAuto;
  DescargaHttp descarga(p.http, p.clock, anfitrion, peticion, UserID, Password);
  std::unique_ptr<UpdateRequest> req = descarga.abrir();
  if (!req) {
    reportFailedRequest(peticion.url, descarga.ultimo());
    return false;
  }
  FicheroTemporal tmp(p.files);
  std::string path = p.sys.uniqueTempFile(tempDir(), "UPD");
  tmp.asignar(path);
  std::unique_ptr<OutputFile> out = path.empty() ? nullptr : p.files.createFile(path);
  if (!out) throw Error("Cannot create file : " + (path.empty() ? tempDir() + "UPD" : path));
  CuerpoRecibido cuerpo = descarga.recibir(std::move(req), std::move(out), p.files, path);
  // A body shorter or longer than announced, or none at all, is not the file: the old target stays.
  if (!cuerpo.completo || cancel_ || cuerpo.recibidos == 0 ||
      (cuerpo.hayLongitud && cuerpo.recibidos != cuerpo.longitud)) {
    if (!cuerpo.completo && !cancel_) reportFailedRequest(peticion.url, descarga.ultimo());
    if (!tmp.descartar()) logLine("Unable to delete file " + path);
    return false;
  }
  if (!replaceFile(tmp.ruta(), target)) return false;
  tmp.conservar();
  ReportFileDownloaded(target);
  if (Unpack && mayusculas(extensionFichero(name)) == ".CAB")
    return p.archives.extractCabinet(target, conBarraFinal(Folder));
  return true;
}

std::string TUpdateEngine::requestUrl(const std::string& url) const {
  return urlConCredencialesProxy(url, ProxyUserID, ProxyPassword, CredencialesProxy::ConUsuario);
}

UpdateRequestFlags TUpdateEngine::requestFlags() const {
  UpdateRequestFlags flags;
  flags.keepAlive = HTTPKeepAliveAuthentication;
  flags.existingConnection = ExistingConnection;
  flags.ignoreCertNameAndDate = CertCheck == ccDisable;
  return flags;
}

void TUpdateEngine::reportFailedRequest(const std::string& url, const Intento& last) {
  if (last.sinRespuesta) {
    if (last.error != 0) ReportStatus(976, last.textoError, 1, (int)last.error);
    ReportStatus(917, url, 2, 1);
  } else if (last.status >= 300) {
    ReportStatus(916, std::to_string(last.status), 6, last.status);
  }
}

// ---- the file list ----

int TUpdateEngine::DownloadFiles() {
  UpdateUi& ui = ports().ui;
  int result = 0;
  bool askedOnce = false;
  // After a cancel every remaining entry still goes through its download, which then fails
  // and is reported, so the host learns of each file that did not arrive.
  for (int i = 0; i < FileList.count(); ++i) {
    TFileDescription& d = FileList.items[i];
    if (UpdateUpdate == upPromptAll && !ui.askYesNo(kPromptFile + fileNameFromUrl(d.URL))) continue;
    if (UpdateUpdate == upPromptOnce && !askedOnce) {
      askedOnce = true;
      if (!ui.askYesNo(kPromptFiles)) break;
    }
    if (!downloadEntry(i, d)) result = -1;
  }
  FileList.activeIndex = -1;
  return result;
}

bool TUpdateEngine::downloadEntry(int index, const TFileDescription& d) {
  Files& files = ports().files;
  FileList.activeIndex = index;
  std::string url = d.URL;
  if (OnBeforeFileDownload) OnBeforeFileDownload(*this, index + 1, d.Description, url);
  if (!d.TargetDir.empty() && !files.folderExists(d.TargetDir)) files.createFolders(d.TargetDir);
  if (!DownloadUrl(url, UseWinTempDir ? tempDir() : d.TargetDir, false)) {
    ReportStatus(946, url, 2, 9);
    appUpdate_ = false;
    return false;
  }
  std::string downloaded = lastTarget_, name = nombreFichero(downloaded);
  if (!appComps_.empty() && mayusculas(appComps_).find(mayusculas(name)) != std::string::npos) {
    // A part of the running program stays where it arrived, for the restart to take.
    componentDownloaded_ = true;
    ReportStatus(962, name, 0, 0);
    return true;
  }
  std::string ext = mayusculas(extensionFichero(name));
  std::string current = downloaded;
  if (ext != ".CAB" && ext != ".PAT" && UseWinTempDir && !d.TargetDir.empty()) {
    std::string dest = unirRuta(d.TargetDir, name);
    if (!igualesSinMayusculas(dest, downloaded)) {
      if (!replaceFile(downloaded, dest)) {
        // A package of hundreds of MB must not stay behind in the temporary folder.
        if (!ports().files.deleteFile(downloaded)) logLine("Unable to delete file " + downloaded);
        return false;
      }
      current = dest;
    }
  }
  return unpackEntry(d, ext, current);
}

bool TUpdateEngine::unpackEntry(const TFileDescription& d, const std::string& ext, const std::string& current) {
  UpdateEnginePorts& p = ports();
  if (ext == ".CAB" && ExtractCAB && d.Compressed) {
    if (!p.archives.extractCabinet(current, d.TargetDir)) {
      ReportStatus(947, current, 8, 0);
      return false;
    }
    if (!KeepIntermediateFiles) p.files.deleteFile(current);
  } else if (ExtractCAB && d.Compressed) {
    // Expanded beside itself: in TargetDir once moved there, else in the download folder.
    std::string expanded;
    LzResult r = p.archives.lzExpand(current, conBarraFinal(extraerDirectorio(current)), expanded);
    if (r == LzResult::Failed) return false;
    if (r == LzResult::Expanded && !KeepIntermediateFiles && !igualesSinMayusculas(expanded, current))
      p.files.deleteFile(current);
  } else if (ext == ".PAT" && ApplyPatch && !d.LocalVersion.empty()) {
    // No patch program is carried: the patch stays where it was downloaded.
    if (!ExtractPatchUtility()) logLine("Unable to apply patch " + current);
  }
  return true;
}

void TUpdateEngine::RunPostActions() {
  UpdateEnginePorts& p = ports();
  if (cancel_) return;
  if (PostUpdateInfo.Enabled) {
    bool allow = true;
    if (OnBeforePost) OnBeforePost(*this, allow);
    if (allow) {
      PostReply.clear();
      PostResult r = p.http.postForm(PostUpdateInfo.Server, PostUpdateInfo.Action, PostUpdateInfo.Data, PostReply);
      if (r == PostResult::CannotConnect) ReportStatus(951, "", 16, 5);
      else if (r == PostResult::CannotOpenResource) ReportStatus(952, "", 17, 5);
      else {
        bool go = true;
        if (OnProcessPostResult) OnProcessPostResult(*this, go);
        if (!go) return;
      }
    }
  }
  SettingsRoot root = rootOf(LastURLEntry.RegRoot);
  std::string key = LastURLEntry.Key + "\\" + LastURLEntry.Section;
  if (dateFromSettings_ && LastURLEntry.Save) {
    DateSettings ds{DateFormat, DateSeparator, TimeFormat, TimeSeparator};
    LocalTime d;
    if (parseDate(newDate_, ds, d)) {
      p.sys.writeSetting(root, key, "LastDate", formatDayMonthYear(d));
      LocalTime t = d;
      if (!newTime_.empty() && parseTime(newTime_, ds, t)) p.sys.writeSetting(root, key, "LastTime", formatHourMinute(t));
    }
  }
  std::string updateUrl = ini_.readString("action", "updateURL", "");
  if (!updateUrl.empty()) {
    ReportStatus(941, "", 3, 0);
    if (!LastURLEntry.Key.empty() && !LastURLEntry.Section.empty() && LastURLEntry.Save)
      p.sys.writeSetting(root, key, "LastURL", updateUrl);
  }
  std::string after = expandPath(ini_.readString("action", "runafter", ""));
  if (!after.empty()) {
    std::string params = ini_.readString("action", "runafterparam", "");
    AdjustParamsAfter(params);
    p.sys.startProgram(after, params, p.sys.isVistaOrLater());
  }
  ReportStatus(948, "", 3, 0);
}

bool TUpdateEngine::ExtractRestartProgram() { return false; }  // no restart program is carried
bool TUpdateEngine::ExtractPatchUtility() { return false; }    // no patch program is carried

void TUpdateEngine::restartApplication() {
  UpdateEnginePorts& p = ports();
  ReportStatus(959, p.files.currentFolder(), 0, 0);
  bool allow = true;
  if (OnAppRestart) OnAppRestart(*this, allow);
  else if (!silentRestart_) allow = p.ui.askYesNo(kPromptRestart);
  if (!allow) return;
  // Without a restart program the new components stay in the temporary folder, and the
  // running program is left as it is.
  if (!ExtractRestartProgram()) logLine("Unable to restart application: no restart program");
}

}  // namespace tf
