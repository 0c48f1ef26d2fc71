// In-memory fakes of the OS ports for native tests.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/ports.h"
#include "platform/ui.h"

namespace tf {

class FakeClock : public Clock {
 public:
  LocalTime time{2024, 12, 8, 10, 31, 5, 0};
  uint64_t ticks = 0;
  LocalTime now() override { return time; }
  uint64_t tickMs() override { return ticks; }
  // Sleeping only moves the fake time on; the total tells a test how long a run paused.
  void sleepMs(unsigned ms) override {
    ticks += ms;
    slept += ms;
  }
  uint64_t slept = 0;
};

class FakeSystemInfo : public SystemInfo {
 public:
  std::string productId = "00330-80000-00000-AA123";
  bool wow64 = true;
  bool wow64Fails = false;
  std::string processor = "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz";
  uint64_t memory = 8589934592ull;
  std::string computer = "OFICINA-01";
  std::string country = "34";
  bool countryFails = false;
  std::string programFiles = "C:\\Program Files (x86)";
  std::string windows = "C:\\windows";
  std::string system = "C:\\windows\\syswow64";
  std::string systemPrograms = "C:\\Windows\\SysWOW64";  // spelled apart from `system`: tests tell which one
  std::string desktop = "C:\\Users\\Public\\Desktop";
  std::string programs = "C:\\Users\\Admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  std::string commonPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
  std::string commonDesktop = "C:\\Users\\Public\\Desktop";
  bool desktopUnnameable = false;  // named only in characters Windows-1252 lacks: the probe throws
  std::string exe = "C:\\Descargas\\setup.exe";
  std::string decimal = ",";

  std::string windowsProductId() override { return productId; }
  bool isWow64() override;
  std::string processorName() override { return processor; }
  uint64_t totalPhysicalMemory() override { return memory; }
  std::string computerName() override { return computer; }
  bool localeCountryCode(std::string& code, std::string& error) override;
  std::string programFilesDir() override { return programFiles; }
  std::string windowsDir() override { return windows; }
  std::string systemDir() override { return system; }
  std::string systemProgramsDir() override { return systemPrograms; }
  std::string desktopDir() override {
    if (desktopUnnameable)
      throw Error("No se puede usar la ruta " + desktop + ": contiene caracteres que el instalador no admite");
    return desktop;
  }
  std::string startMenuProgramsDir() override { return programs; }
  std::string commonStartMenuProgramsDir() override { return commonPrograms; }
  std::string commonDesktopDir() override { return commonDesktop; }
  std::string exePath() override { return exe; }
  std::string decimalSeparator() override { return decimal; }
};

class FakeLogSink : public LogSink {
 public:
  bool mutexFails = false;
  std::vector<std::string> readOnlyFolders;  // appends under these fail
  std::map<std::string, std::string> files;  // path -> content
  std::vector<std::string> mutexNames;
  int locks = 0, unlocks = 0;
  bool mutexHeldElsewhere = false;  // every wait for the mutex runs out
  std::vector<unsigned> waits;      // the bound of each wait, in ms
  NamedMutex* createMutex(const std::string& name) override;
  bool appendToFile(const std::string& path, const std::string& bytes) override;
  // Lines of a file, without their CR LF.
  std::vector<std::string> lines(const std::string& path) const;
};

class FakeUi : public Ui {
 public:
  struct Box {
    std::string text, caption;
    MessageIcon icon;
  };
  std::vector<Box> boxes;
  std::vector<std::string> errors;  // standard error boxes, with the "." appended
  std::vector<std::string> opened;
  bool busy = false;
  int pumps = 0;
  bool closed = false;
  std::string focused;
  bool shellFails = false;
  void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override {
    boxes.push_back({text, caption, icon});
  }
  void standardError(const std::string& message) override {
    errors.push_back(message.empty() || message.back() != '.' ? message + "." : message);
  }
  void setBusyCursor(bool b) override { busy = b; }
  void processMessages() override { ++pumps; }
  void closeWindow() override { closed = true; }
  void setFocus(const std::string& control) override { focused = control; }
  bool shellOpen(const std::string& target, std::string& error) override {
    if (shellFails) {
      error = "No se encontró la aplicación";
      return false;
    }
    opened.push_back(target);
    return true;
  }
};

// An in-memory Windows-like file system: names compare without case, "\" separates.
// Every call holds `guard`, so threads may share it as they share a real file system (the
// unzipper's workers do); tests reading `nodes` directly do so while no worker runs.
class FakeFiles : public Files {
 public:
  mutable std::recursive_mutex guard;
  struct Node {
    bool folder = false;
    bool readOnly = false;
    bool hidden = false;
    bool reparse = false;  // a link: listed with the reparse bit, never descended
    bool inUse = false;    // held open by another program: not deleted
    std::string data;
    LocalTime time;
  };
  // Creates a file (and its folders).
  void put(const std::string& path, const std::string& data, bool readOnly = false);
  void mkdir(const std::string& path) { createFolders(path); }
  void link(const std::string& path);  // a folder entry carrying the reparse bit
  bool has(const std::string& path) const;
  std::string content(const std::string& path) const;
  std::vector<std::string> paths() const;  // every entry, as stored
  std::string temp = "C:\\Temp\\";
  std::string current = "C:\\";
  uint64_t room = UINT64_MAX;  // bytes the disk still takes; a write beyond fails
  std::vector<std::string> atRestart;  // what deleteAtRestart took, in order
  bool restartRefused = false;         // deleteAtRestart fails

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
  bool readFile(const std::string& path, std::string& out) override;
  bool writeFile(const std::string& path, const std::string& data) override;
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;
  std::unique_ptr<InputFile> openRead(const std::string& path) override;
  bool setReadOnly(const std::string& path, bool readOnly) override;
  bool clearReadOnlyAndHidden(const std::string& path) override;
  bool fileSize(const std::string& path, uint64_t& size) override;
  bool lastWriteTime(const std::string& path, LocalTime& t) override;
  // The 8.3 form where a test gave one; otherwise the long form, as on a volume without 8.3 names.
  std::map<std::string, std::string> shortNames;
  std::string shortPath(const std::string& path) override {
    auto it = shortNames.find(path);
    return it == shortNames.end() ? path : it->second;
  }
  // The name as put, found by the path in any case or by its short form.
  std::string storedName(const std::string& path) override;
  std::string tempFolder() override { return temp; }
  std::string currentFolder() override { return current; }

  static std::string key(const std::string& path);
  static std::string parentOf(const std::string& path);
  std::map<std::string, std::pair<std::string, Node>> nodes;  // key -> (display path, node)
};

}  // namespace tf
