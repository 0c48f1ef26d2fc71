// The installation log: one line per call, appended beside the executable, never raising.
#pragma once
#include <memory>
#include <string>

#include "platform/ports.h"

namespace tf {

class ULog {
 public:
  // Computes the log path and creates the named mutex, as at program start.
  ULog(Clock& clock, LogSink& sink, std::string exePath);
  ~ULog();

  void registrarLog(const std::string& message);
  void escribirLog(const std::string& line);
  void anadirLineaLog(const std::string& path, const std::string& line);
  std::string getFicheroLog() const { return path_; }
  std::string mutexName() const { return mutexName_; }

  // "    [dd/mm/yyyy hh:nn:ss] " + message
  static std::string formatLine(const LocalTime& t, const std::string& message);
  // exe folder + "\" + exe name without extension + "_ddmmyy.log"
  static std::string logPathFor(const std::string& exePath, const LocalTime& t);

 private:
  Clock& clock_;
  LogSink& sink_;
  std::string exePath_;
  std::string path_;
  std::string mutexName_;
  std::unique_ptr<NamedMutex> mutex_;
};

// The program's log, set at start-up; registrarLog does nothing while none is set.
void setLog(ULog* log);
ULog* currentLog();
void registrarLog(const std::string& message);
std::string getFicheroLog();

}  // namespace tf
