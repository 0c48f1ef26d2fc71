// What the update engine asks of the machine: HTTP, folders and system facts, unpacking, dialogs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/cliente_http.h"
#include "platform/ports.h"
#include "platform/processes.h"
#include "update/control_file.h"

namespace tf {

// The engine's requests are those of the shared HTTP core.
using UpdateRequest = PeticionHttp;
using UpdateRequestFlags = OpcionesPeticion;

enum class PostResult { Ok, CannotConnect, CannotOpenResource };

// The Internet session of one run. Requests always reload from the server, skip the cache
// and send no-cache.
class UpdateHttp : public ClienteHttp {
 public:
  virtual ~UpdateHttp() = default;
  // The system's connected-state query; `available` false when the system has none.
  virtual bool connectedState(bool& available) = 0;
  virtual bool dial(bool withPrompt) = 0;
  virtual void hangUp() = 0;
  // Empty proxy: the system's preconfigured settings.
  virtual bool openSession(const std::string& agent, const std::string& proxy) = 0;
  virtual void setTimeouts(int connectMs, int receiveMs) = 0;  // a value of 0 keeps the system's
  virtual void ignoreCertificateErrors() = 0;  // untrusted issuer, wrong date, wrong name
  virtual void closeSession() = 0;
  // Form post to `server`, port 80 (the optional post-update step).
  virtual PostResult postForm(const std::string& server, const std::string& action, const std::string& data,
                              std::string& reply) = 0;
};

enum class SettingsRoot { CurrentUser, LocalMachine };

// Folders and facts of the machine the engine reads.
class UpdateSystem {
 public:
  virtual ~UpdateSystem() = default;
  virtual std::string windowsDir() = 0;
  virtual std::string systemDir() = 0;
  virtual std::string programDir() = 0;     // folder of the running program
  virtual std::string documentsDir() = 0;
  virtual bool localAppDataDir(std::string& folder) = 0;
  virtual std::string shortDate(const LocalTime& t) = 0;  // the system's short date format
  virtual std::string osVersionText() = 0;                // "6.1 (Win 7)"
  virtual bool isVistaOrLater() = 0;
  virtual std::string ieVersion() = 0;                    // "" when absent
  virtual bool setCurrentDir(const std::string& folder) = 0;
  // The fixed version of a file's version resource; invalid when it has none.
  virtual FileVersion fileVersion(const std::string& path) = 0;
  // Shell "open" with parameters (Vista and later) or program + " " + parameters.
  virtual bool startProgram(const std::string& program, const std::string& params, bool viaShell) = 0;
  virtual bool startBrowser(const std::string& url) = 0;  // "iexplore.exe -new url"
  // Creates a uniquely named empty file in `folder` whose name starts with `prefix`; "" on failure.
  virtual std::string uniqueTempFile(const std::string& folder, const std::string& prefix) = 0;
  virtual bool readSetting(SettingsRoot root, const std::string& key, const std::string& name, std::string& value) = 0;
  virtual bool writeSetting(SettingsRoot root, const std::string& key, const std::string& name,
                            const std::string& value) = 0;
};

enum class LzResult { Expanded, NotLz, Failed };

// Packed files of an update.
class UpdateArchives {
 public:
  virtual ~UpdateArchives() = default;
  // Unpacks every file of the cabinet under `targetDir` (created as needed); false when the
  // library is missing, the file is not a cabinet or copying fails.
  virtual bool extractCabinet(const std::string& cabinet, const std::string& targetDir) = 0;
  // Expands a Windows LZ-compressed file into `folder` under the name stored in its header.
  // A file that is not LZ-compressed is left as it is (NotLz).
  virtual LzResult lzExpand(const std::string& compressed, const std::string& folder, std::string& expandedPath) = 0;
};

// Questions and dialogs of the engine.
class UpdateUi {
 public:
  virtual ~UpdateUi() = default;
  virtual void processMessages() = 0;
  virtual void information(const std::string& text) = 0;
  virtual bool askYesNo(const std::string& text) = 0;
  virtual void showError(const std::string& text) = 0;
  virtual void showHtmlDialog(const std::string& page) = 0;
  // 400 x 400, centred, read-only text (rich when `rich`); true when accepted.
  virtual bool showWhatsNew(const std::string& caption, const std::string& okText, const std::string& cancelText,
                            const std::string& text, bool rich) = 0;
  virtual bool showLicence(const std::string& caption, const std::string& okText, const std::string& acceptText,
                           const std::string& notAcceptText, const std::string& text, bool rich) = 0;
  // Credentials; false when cancelled.
  virtual bool login(const std::string& caption, std::string& user, std::string& password) = 0;
  // Asked before a page is opened in a new browser window: false where nobody would see one,
  // the interface then telling of the page its own way.
  virtual bool mayOpenBrowser(const std::string& url) {
    (void)url;
    return true;
  }
};

struct UpdateEnginePorts {
  Files& files;
  Clock& clock;
  LogSink& logSink;
  UpdateHttp& http;
  UpdateSystem& sys;
  UpdateArchives& archives;
  UpdateUi& ui;
  Processes& processes;  // the environment
};

}  // namespace tf
