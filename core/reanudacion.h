// Downloads that survive a dropped connection. When a body is cut, the file transfer engine and
// the update engine keep what arrived, ask for the rest with a byte range, and append the answer
// only when it is the same file from the right byte; otherwise the file starts over, once.
// These are the rules; core/descarga_http.h makes the requests they ask for.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ports.h"

namespace tf {

// What the rules read of an answer (texts "" when the header is absent).
struct CabecerasRespuesta {
  int status = 0;
  bool hayLongitud = false;
  uint64_t longitud = 0;  // Content-Length
  std::string acceptRanges, contentRange, etag, lastModified;
};

// A Content-Length text (digits only, 64 bits).
bool leerLongitud(const std::string& texto, uint64_t& valor);

// Retries of one file: as many as the pauses in the table of reanudacion.cpp.
extern const int kReintentosDescarga;
// The pause before retry n (1-based).
unsigned pausaReintentoMs(int n);
constexpr unsigned kTramoPausaMs = 50;

// Waits `ms` on the clock in slices of kTramoPausaMs, asking `parar` before each slice (which
// services the window) and returning early once it says so.
void pausarAtendiendo(Clock& clock, unsigned ms, const std::function<bool()>& parar);

// The retries of one file.
class ReintentosDescarga {
 public:
  enum class Paso {
    Anadir,      // the answer is the rest of the same file: append its body
    DesdeCero,   // the answer is the whole file: write its body from byte 0
    Reintentar,  // nothing usable in it: the next retry, if one is left
    Fallar       // the file fails, as a first request with this answer would
  };

  // `primera`: the answer to the whole-file request whose body is being written.
  explicit ReintentosDescarga(const CabecerasRespuesta& primera) : vigente_(primera) {}

  // A body that ended (`fin`: its end was read, no read failed) after `recibidos` bytes.
  bool cortado(uint64_t recibidos, bool fin) const;
  // Starts the next retry with `recibidos` bytes held. False when none is left, or when it would
  // start the file over a second time.
  bool siguiente(uint64_t recibidos);
  int numero() const { return numero_; }
  unsigned pausaMs() const { return pausaReintentoMs(numero_); }
  bool pideResto() const { return pideResto_; }
  // The request header of this retry: "Range: bytes=N-" and its line end, or "".
  std::string cabeceraRango() const;
  // Judges the answer to this retry's request.
  Paso juzgar(const CabecerasRespuesta& r);

 private:
  bool esElResto(const CabecerasRespuesta& r) const;
  void empezar(const CabecerasRespuesta& r);

  CabecerasRespuesta vigente_;  // the answer whose body is being written
  int numero_ = 0;
  uint64_t desde_ = 0;
  bool pideResto_ = false;
  bool rechazado_ = false;        // the bytes held cannot be continued: the next request is whole
  bool empezadoDeNuevo_ = false;  // bytes were already thrown away once
};

}  // namespace tf
