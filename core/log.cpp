#include "core/log.h"

#include <cstdio>
#include <vector>

#include "core/mensajes.h"
#include "core/texto.h"
#include "platform/files.h"

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
    crearMutex();
  } catch (...) {
    mutex_.reset();
  }
}

ULog::ULog(Clock& clock, LogSink& sink, FicheroLog fichero) : clock_(clock), sink_(sink), fijo_(true) {
  path_ = std::move(fichero.ruta);
  try {
    crearMutex();
  } catch (...) {
    mutex_.reset();
  }
}

void ULog::crearMutex() {
  mutexName_ = path_;
  for (char& c : mutexName_)
    if (c == '\\') c = '/';
  mutex_.reset(sink_.createMutex(mutexName_));
}

void ULog::registrarLog(const std::string& message) {
  try {
    escribirLog(formatLine(clock_.now(), message));
  } catch (...) {
  }
}

void ULog::escribirLog(const std::string& line) {
  if (exePath_.empty() && !fijo_) return;
  try {
    if (!fijo_) path_ = logPathFor(exePath_, clock_.now());
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

namespace {

// The root `ruta` starts with (C:\ or \\servidor\recurso\), "" when it has none; the device
// and long-path prefixes (\\.\, \\?\) name no server.
std::string raizDe(const std::string& ruta) {
  if (ruta.size() >= 3 && ruta[1] == ':' && ruta[2] == '\\' &&
      ((ruta[0] >= 'A' && ruta[0] <= 'Z') || (ruta[0] >= 'a' && ruta[0] <= 'z')))
    return ruta.substr(0, 3);
  if (ruta.compare(0, 2, "\\\\") != 0) return {};
  const size_t servidor = ruta.find('\\', 2);
  if (servidor == std::string::npos || servidor == 2) return {};
  if (servidor == 3 && (ruta[2] == '.' || ruta[2] == '?')) return {};
  const size_t recurso = ruta.find('\\', servidor + 1);
  if (recurso == servidor + 1) return {};
  return recurso == std::string::npos ? ruta + "\\" : ruta.substr(0, recurso + 1);
}

}  // namespace

std::string prepararFicheroLog(const std::string& ruta, Files& files, LogSink& sink, std::string& error) {
  std::string p = ruta;
  for (char& c : p)
    if (c == '/') c = '\\';
  const std::string noValido = formatear(msgNoEscribirLog, {ruta});
  const std::string ultimo = nombreFichero(p);
  if (ultimo.empty() || ultimo == "." || ultimo == "..") {  // a folder, not a file
    error = noValido;
    return {};
  }
  // Relative to the working folder, as any command line's path; \x to its drive's root.
  std::string raiz = raizDe(p);
  if (raiz.empty() && p.compare(0, 2, "\\\\") == 0) {  // a network path without its share
    error = noValido;
    return {};
  }
  if (raiz.empty()) {
    const std::string actual = conBarraFinal(files.currentFolder());
    raiz = raizDe(actual);
    if (raiz.empty()) {
      error = noValido;
      return {};
    }
    p = p[0] == '\\' ? raiz + p.substr(1) : actual + p;
  }
  std::vector<std::string> partes;
  for (size_t i = raiz.size(); i <= p.size();) {
    size_t fin = p.find('\\', i);
    if (fin == std::string::npos) fin = p.size();
    const std::string parte = p.substr(i, fin - i);
    i = fin + 1;
    if (parte.empty() || parte == ".") continue;
    if (parte == "..") {
      if (!partes.empty()) partes.pop_back();
      continue;
    }
    // A device name or a "name:stream" would write somewhere else than a file of that name.
    if (!isPlainEntryName(parte) || esNombreDeDispositivo(parte)) {
      error = noValido;
      return {};
    }
    partes.push_back(parte);
  }
  if (partes.empty()) {
    error = noValido;
    return {};
  }
  std::string carpeta = raiz;
  for (size_t i = 0; i + 1 < partes.size(); ++i) carpeta = unirRuta(carpeta, partes[i]);
  const std::string fichero = unirRuta(carpeta, partes.back());

  // The folders this call makes, deepest first, so that a refusal leaves none behind.
  std::vector<std::string> nuevas;
  for (std::string c = carpeta; c.size() > raiz.size() && !files.folderExists(c); c = extraerDirectorio(c))
    nuevas.push_back(c);
  auto deshacer = [&] {
    for (const std::string& c : nuevas) files.removeFolder(c);
  };
  if (!files.createFolders(carpeta)) {
    deshacer();
    error = formatear(msgNoCrearDirectorio, {carpeta});
    return {};
  }
  if (!sink.appendToFile(fichero, "")) {
    deshacer();
    error = formatear(msgNoEscribirLog, {fichero});
    return {};
  }
  return fichero;
}

}  // namespace tf
