#pragma once
#include <string>

#include "platform/files.h"
#include "platform/ports.h"

namespace tf {

class Win32Clock : public Clock {
 public:
  LocalTime now() override;
  uint64_t tickMs() override;
  void sleepMs(unsigned ms) override;
};

class Win32SystemInfo : public SystemInfo {
 public:
  std::string windowsProductId() override;
  bool isWow64() override;
  std::string processorName() override;
  uint64_t totalPhysicalMemory() override;
  std::string computerName() override;
  bool localeCountryCode(std::string& code, std::string& error) override;
  std::string programFilesDir() override;
  std::string windowsDir() override;
  std::string systemDir() override;
  std::string desktopDir() override;
  std::string startMenuProgramsDir() override;
  std::string commonStartMenuProgramsDir() override;
  std::string commonDesktopDir() override;
  std::string exePath() override;
  std::string decimalSeparator() override;
};

class Win32LogSink : public LogSink {
 public:
  NamedMutex* createMutex(const std::string& name) override;
  bool appendToFile(const std::string& path, const std::string& bytes) override;
};

// The machine-wide lock one copy of the setup program or uninstaller holds for its whole run:
// a named mutex, owned until the process ends (the system releases it however the process ends).
class Win32InstanceLock {
 public:
  explicit Win32InstanceLock(const std::string& name) : name_(name) {}
  ~Win32InstanceLock();
  Win32InstanceLock(const Win32InstanceLock&) = delete;
  Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;
  // False when another copy holds it (also one of another account, whose mutex we may not open).
  // A mutex the system cannot make at all does not stop the run: true.
  bool acquire();

 private:
  std::string name_;
  void* handle_ = nullptr;
  bool owned_ = false;
};

class Win32Files : public Files {
 public:
  bool fileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  bool list(const std::string& pattern, std::vector<FileEntry>& out) override;
  bool deleteFile(const std::string& path) override;
  bool removeFolder(const std::string& path) override;
  bool createFolders(const std::string& path) override;
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool moveFile(const std::string& from, const std::string& to, bool replace) override;
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;
  std::unique_ptr<InputFile> openRead(const std::string& path) override;
  bool setReadOnly(const std::string& path, bool readOnly) override;
  bool clearReadOnlyAndHidden(const std::string& path) override;
  bool fileSize(const std::string& path, uint64_t& size) override;
  bool lastWriteTime(const std::string& path, LocalTime& t) override;
  std::string shortPath(const std::string& path) override;
  std::string tempFolder() override;
  std::string currentFolder() override;
};

}  // namespace tf
