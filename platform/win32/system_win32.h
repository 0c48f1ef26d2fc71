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
  std::string systemProgramsDir() override;
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

// The machine-wide lock one copy of the setup program or uninstaller holds for its whole run: the
// mutex `space`\`name` in a private namespace bounded by the Administrators group, which only
// administrators and LocalSystem may create or open, so a standard user's process can neither
// take the lock's name nor hold it. Where the system offers no private namespaces (Wine), the
// named mutex "Global\`space`.`name`". Owned until the process ends (the system releases it
// however the process ends).
class Win32InstanceLock {
 public:
  Win32InstanceLock(const std::string& space, const std::string& name) : space_(space), name_(name) {}
  ~Win32InstanceLock();
  Win32InstanceLock(const Win32InstanceLock&) = delete;
  Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;
  // False when another copy holds it, and also when the lock cannot be made or opened at all
  // (for example an object of another type squatting its name): a run without the lock could
  // run beside another copy.
  bool acquire();

 private:
  enum class Attempt { Taken, Held, Again, Failed };
  Attempt attemptInNamespace(void* security);
  bool acquireGlobal();
  void close();
  std::string space_, name_;
  void* boundary_ = nullptr;
  void* namespace_ = nullptr;
  void* handle_ = nullptr;
  bool owned_ = false;
};

class Win32Files : public Files {
 public:
  bool fileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  bool list(const std::string& pattern, std::vector<FileEntry>& out) override;
  bool deleteFile(const std::string& path) override;
  FileDeletion deleteFileTellingWhy(const std::string& path) override;
  bool deleteAtRestart(const std::string& path) override;
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
  std::string storedName(const std::string& path) override;
  std::string tempFolder() override;
  std::string currentFolder() override;
};

}  // namespace tf
