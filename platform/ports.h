// OS ports: what the installer asks of the machine, shaped by the installer's needs.
// Texts are Windows-1252 bytes; paths are Windows paths with "\" separators.
#pragma once
#include <cstdint>
#include <string>

namespace tf {

struct LocalTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime now() = 0;
  virtual uint64_t tickMs() = 0;  // monotonic milliseconds
  virtual void sleepMs(unsigned ms) = 0;
};

// The folder probes (program files, Windows, system, desktop, Start menu, the executable) throw
// Error when a folder cannot be named in Windows-1252 (neither as it is nor in its short form):
// a look-alike would name another place.
class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual std::string windowsProductId() = 0;  // "" when absent
  // Throws SystemError when the probe itself fails.
  virtual bool isWow64() = 0;
  virtual std::string processorName() = 0;
  virtual uint64_t totalPhysicalMemory() = 0;  // bytes
  virtual std::string computerName() = 0;
  // Country code of the thread's locale as text; false when the query fails
  // (then `error` holds the system's text for the last error).
  virtual bool localeCountryCode(std::string& code, std::string& error) = 0;
  virtual std::string programFilesDir() = 0;
  virtual std::string windowsDir() = 0;
  virtual std::string systemDir() = 0;
  // Where the system programs this process starts live (cmd.exe, regsvr32.exe, sc.exe): the
  // system folder, and for a 32-bit program on 64-bit Windows the one of 32-bit programs.
  virtual std::string systemProgramsDir() = 0;
  virtual std::string desktopDir() = 0;                  // all users' when running as LocalSystem
  virtual std::string startMenuProgramsDir() = 0;        // the user's (all users' as LocalSystem)
  virtual std::string commonStartMenuProgramsDir() = 0;  // all users'
  virtual std::string commonDesktopDir() = 0;            // all users'
  virtual std::string exePath() = 0;  // full path of the running executable
  // The user's decimal separator (for example "," on a Spanish system); "." when unknown.
  virtual std::string decimalSeparator() = 0;
};

// A named, cross-process mutex.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // Waits up to maxMs; true when the mutex is now ours (also when its last owner ended without
  // releasing it). unlock() only after a true lock().
  virtual bool lock(unsigned maxMs) = 0;
  virtual void unlock() = 0;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  // nullptr when the mutex cannot be created.
  virtual NamedMutex* createMutex(const std::string& name) = 0;
  // Opens the file for appending, else creates it, writes `bytes`, closes it.
  virtual bool appendToFile(const std::string& path, const std::string& bytes) = 0;
};

}  // namespace tf
