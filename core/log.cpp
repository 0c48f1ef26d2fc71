#include "core/log.h"

#include <cstdio>

#include "core/texto.h"

namespace tf {

namespace {

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}
}  // namespace

std::string ULog::formatLine(const LocalTime& t, const std::string& message) {
  char b[40];
  std::snprintf(b, sizeof b, "    [%02d/%02d/%04d %02d:%02d:%02d] ", t.day, t.month, t.year, t.hour, t.minute,
                t.second);
  return b + message;
}

std::string ULog::logPathFor(const std::string& exePath, const LocalTime& t) {
  std::string name = nombreFichero(exePath);
  name.resize(name.size() - extensionFichero(name).size());
  return unirRuta(extraerDirectorio(exePath), name + "_" + two(t.day) + two(t.month) + two(t.year) + ".log");
}

ULog::ULog(Clock& clock, LogSink& sink, std::string exePath)
    : clock_(clock), sink_(sink), exePath_(std::move(exePath)) {
  if (exePath_.empty()) return;
  try {
    path_ = logPathFor(exePath_, clock_.now());
    mutexName_ = path_;
    for (char& c : mutexName_)
      if (c == '\\') c = '/';
    mutex_.reset(sink_.createMutex(mutexName_));
  } catch (...) {
    mutex_.reset();
  }
}

void ULog::registrarLog(const std::string& message) {
  try {
    escribirLog(formatLine(clock_.now(), message));
  } catch (...) {
  }
}

void ULog::escribirLog(const std::string& line) {
  if (exePath_.empty()) return;
  try {
    path_ = logPathFor(exePath_, clock_.now());
    anadirLineaLog(path_, line);
  } catch (...) {
  }
}

void ULog::anadirLineaLog(const std::string& path, const std::string& line) {
  if (!mutex_) return;
  bool propio = false;
  try {
    propio = mutex_->lock(esperaMutexMs_);
  } catch (...) {
  }
  esperaMutexMs_ = propio ? kEsperaMutexLogMs : kEsperaMutexLogTrasFalloMs;
  try {
    sink_.appendToFile(path, line + "\r\n");
  } catch (...) {
  }
  if (propio) mutex_->unlock();
}

}  // namespace tf
