// Win32 implementations of the update engine's ports.
#pragma once
#include <windows.h>

#include "update/update_ports.h"

namespace tf {

class Win32UpdateSystem : public UpdateSystem {
 public:
  std::string windowsDir() override;
  std::string systemDir() override;
  std::string programDir() override;
  std::string documentsDir() override;
  bool localAppDataDir(std::string& folder) override;
  std::string shortDate(const LocalTime& t) override;
  std::string osVersionText() override;
  bool isVistaOrLater() override;
  std::string ieVersion() override;
  bool setCurrentDir(const std::string& folder) override;
  FileVersion fileVersion(const std::string& path) override;
  bool startProgram(const std::string& program, const std::string& params, bool viaShell) override;
  bool startBrowser(const std::string& url) override;
  std::string uniqueTempFile(const std::string& folder, const std::string& prefix) override;
  bool readSetting(SettingsRoot root, const std::string& key, const std::string& name, std::string& value) override;
  bool writeSetting(SettingsRoot root, const std::string& key, const std::string& name,
                    const std::string& value) override;
};

// The system cabinet library (loaded on demand) and the system's LZ expansion routines.
class Win32UpdateArchives : public UpdateArchives {
 public:
  bool extractCabinet(const std::string& cabinet, const std::string& targetDir) override;
  LzResult lzExpand(const std::string& compressed, const std::string& folder, std::string& expandedPath) override;
};

}  // namespace tf
