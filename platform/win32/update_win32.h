// Win32 implementations of the update engine's ports.
#pragma once
#include <windows.h>

#include "update/update_ports.h"

namespace tf {

// WinINet, loaded at run time from the system folder.
class Win32UpdateHttp : public UpdateHttp {
 public:
  Win32UpdateHttp();
  ~Win32UpdateHttp() override;
  bool available() const { return lib_ != nullptr; }
  bool connectedState(bool& available) override;
  bool dial(bool withPrompt) override;
  void hangUp() override;
  bool openSession(const std::string& agent, const std::string& proxy) override;
  void setTimeouts(int connectMs, int receiveMs) override;
  void ignoreCertificateErrors() override;
  std::unique_ptr<UpdateRequest> openUrl(const std::string& url, const std::string& headers,
                                         const UpdateRequestFlags& flags) override;
  uint32_t lastError(std::string& text) override;
  void closeSession() override;
  PostResult postForm(const std::string& server, const std::string& action, const std::string& data,
                      std::string& reply) override;

  struct Api;

 private:
  HMODULE lib_ = nullptr;
  Api* api_ = nullptr;
  void* session_ = nullptr;
  DWORD lastError_ = 0;
};

class Win32UpdateSystem : public UpdateSystem {
 public:
  std::string windowsDir() override;
  std::string systemDir() override;
  std::string programDir() override;
  std::string programPath() override;
  std::string documentsDir() override;
  bool localAppDataDir(std::string& folder) override;
  std::string environment(const std::string& name) override;
  std::string shortDate(const LocalTime& t) override;
  std::string osVersionText() override;
  bool isVistaOrLater() override;
  std::string ieVersion() override;
  bool setCurrentDir(const std::string& folder) override;
  FileVersion fileVersion(const std::string& path) override;
  bool startProgram(const std::string& program, const std::string& params, bool viaShell) override;
  bool startBrowser(const std::string& url) override;
  uint32_t processId() override;
  std::string uniqueTempFile(const std::string& folder, const std::string& prefix) override;
  bool readSetting(SettingsRoot root, const std::string& key, const std::string& name, std::string& value) override;
  bool writeSetting(SettingsRoot root, const std::string& key, const std::string& name,
                    const std::string& value) override;
  bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value) override;
};

// The system cabinet library (loaded on demand) and the system's LZ expansion routines.
class Win32UpdateArchives : public UpdateArchives {
 public:
  bool extractCabinet(const std::string& cabinet, const std::string& targetDir) override;
  LzResult lzExpand(const std::string& compressed, const std::string& folder, std::string& expandedPath) override;
};

}  // namespace tf
