// The installation log: one line per call, appended beside the executable (or to the file
// "-log" names), never raising.
#pragma once
#include <memory>
#include <string>

#include "platform/ports.h"

namespace tf {

class Files;

// Where the steps and engines write their lines: one line per call, never raising.
class Log {
 public:
  virtual ~Log() = default;
  virtual void registrarLog(const std::string& message) = 0;
};

// Another process may hold the log's mutex (its name, the log path, is easy to guess): a line
// waits this long for it and is then written anyway. After a wait that ran out the next ones are
// short, so a mutex held for good costs one long wait, not one per line.
constexpr unsigned kEsperaMutexLogMs = 3000;
constexpr unsigned kEsperaMutexLogTrasFalloMs = 50;

// A log file given by its full path: every line goes to it, whatever the date.
struct FicheroLog {
  std::string ruta;
};

class ULog : public Log {
 public:
  // Computes the log path and creates the named mutex, as at program start. An empty executable
  // path (one the system could not name) means no log at all, as when the mutex cannot be made.
  ULog(Clock& clock, LogSink& sink, std::string exePath);
  // The same log in `fichero`; its mutex is named after that path by the same rule.
  ULog(Clock& clock, LogSink& sink, FicheroLog fichero);
  ULog(const ULog&) = delete;
  ULog& operator=(const ULog&) = delete;

  void registrarLog(const std::string& message) override;
  void escribirLog(const std::string& line);
  void anadirLineaLog(const std::string& path, const std::string& line);
  std::string getFicheroLog() const { return path_; }
  std::string mutexName() const { return mutexName_; }

  // "    [dd/mm/yyyy hh:nn:ss] " + message
  static std::string formatLine(const LocalTime& t, const std::string& message);
  // exe folder + "\" + exe name without extension + "_ddmmyy.log"
  static std::string logPathFor(const std::string& exePath, const LocalTime& t);

 private:
  void crearMutex();

  Clock& clock_;
  LogSink& sink_;
  std::string exePath_;
  bool fijo_ = false;  // one file for the whole run
  std::string path_;
  std::string mutexName_;
  std::unique_ptr<NamedMutex> mutex_;
  unsigned esperaMutexMs_ = kEsperaMutexLogMs;
};

// The file "-log <ruta>" names, made ready before the run touches anything else: a relative path
// is the working folder's, "/" and "\" both separate, "." and ".." are resolved, missing folders
// are created and the file is opened for appending (created when missing). Returns the full path,
// or "" with `error` (the reason, for the person) when that cannot be done; the folders it made
// are then removed again. Throws Error when the working folder cannot be named.
std::string prepararFicheroLog(const std::string& ruta, Files& files, LogSink& sink, std::string& error);

}  // namespace tf
