#include "core/reanudacion.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "core/texto.h"

namespace tf {

namespace {

// Digits from `i` on, as a 64-bit number; false without a digit or beyond 64 bits.
bool leerNumero(const std::string& s, size_t& i, uint64_t& valor) {
  size_t inicio = i;
  uint64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    uint64_t d = (uint64_t)(s[i] - '0');
    if (v > (std::numeric_limits<uint64_t>::max() - d) / 10) return false;
    v = v * 10 + d;
  }
  valor = v;
  return i > inicio;
}

std::string sinEspacios(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "bytes first-last/total"; false for anything else, an unknown ("*") total included.
bool leerContentRange(const std::string& texto, uint64_t& primero, uint64_t& ultimo, uint64_t& total) {
  std::string s = sinEspacios(texto);
  if (!empiezaSinMayusculas(s, "bytes ")) return false;
  size_t i = s.find_first_not_of(' ', 6);
  uint64_t a = 0, b = 0, t = 0;
  if (i == std::string::npos || !leerNumero(s, i, a) || i >= s.size() || s[i++] != '-') return false;
  if (!leerNumero(s, i, b) || i >= s.size() || s[i++] != '/') return false;
  if (!leerNumero(s, i, t) || i != s.size()) return false;
  if (a > b || b >= t) return false;
  primero = a;
  ultimo = b;
  total = t;
  return true;
}

// Whether the rest of this answer's body could be asked for later: it announced byte ranges, a
// length and something that tells the same file again (a strong ETag or a Last-Modified date).
bool admiteReanudar(const CabecerasRespuesta& c) {
  bool bytes = false;
  size_t inicio = 0;
  while (inicio <= c.acceptRanges.size()) {
    size_t coma = c.acceptRanges.find(',', inicio);
    if (coma == std::string::npos) coma = c.acceptRanges.size();
    if (igualesSinMayusculas(sinEspacios(c.acceptRanges.substr(inicio, coma - inicio)), "bytes")) bytes = true;
    inicio = coma + 1;
  }
  // A weak ETag may name a file whose bytes changed: only a strong one vouches for a splice.
  bool etagFuerte = !c.etag.empty() && c.etag.compare(0, 2, "W/") != 0;
  return bytes && c.hayLongitud && c.longitud > 0 && (etagFuerte || !c.lastModified.empty());
}

// The pause before each retry, in order; its length is the number of retries. Most drops are one
// reset connection (a NAT or proxy dropping a long transfer, a Wi-Fi handover) after which the
// next one works at once, so the first retry is made at once: a resumed download then costs
// hardly more than an uncut one, however fast the line. A retry that failed means an outage that
// lasts: the later ones wait.
const unsigned kPausasReintentoMs[] = {0, 1000, 4000};

}  // namespace

const int kReintentosDescarga = (int)std::size(kPausasReintentoMs);

bool leerLongitud(const std::string& texto, uint64_t& valor) {
  std::string s = sinEspacios(texto);
  size_t i = 0;
  uint64_t v = 0;
  if (!leerNumero(s, i, v) || i != s.size()) return false;
  valor = v;
  return true;
}

unsigned pausaReintentoMs(int n) {
  if (n < 1) return 0;
  return kPausasReintentoMs[std::min(n, kReintentosDescarga) - 1];
}

void pausarAtendiendo(Clock& clock, unsigned ms, const std::function<bool()>& parar) {
  const uint64_t inicio = clock.tickMs();
  // The clock ends the wait; the count of slices only guards against a clock that stands still.
  const unsigned tramos = 2 * (ms / kTramoPausaMs + 1);
  for (unsigned t = 0; t < tramos; ++t) {
    if (parar && parar()) return;
    const uint64_t pasado = clock.tickMs() - inicio;
    if (pasado >= ms) return;
    clock.sleepMs((unsigned)std::min<uint64_t>(kTramoPausaMs, ms - pasado));
  }
}

bool ReintentosDescarga::cortado(uint64_t recibidos, bool fin) const {
  return !fin || (vigente_.hayLongitud && recibidos < vigente_.longitud);
}

bool ReintentosDescarga::siguiente(uint64_t recibidos) {
  if (numero_ >= kReintentosDescarga) return false;
  desde_ = recibidos;
  pideResto_ = !rechazado_ && recibidos > 0 && admiteReanudar(vigente_);
  // Starting over throws the bytes held away; that happens once per file.
  if (!pideResto_ && recibidos > 0 && empezadoDeNuevo_) return false;
  ++numero_;
  return true;
}

std::string ReintentosDescarga::cabeceraRango() const {
  return pideResto_ ? "Range: bytes=" + std::to_string(desde_) + "-\r\n" : std::string();
}

bool ReintentosDescarga::esElResto(const CabecerasRespuesta& r) const {
  uint64_t primero = 0, ultimo = 0, total = 0;
  if (r.status != 206 || !leerContentRange(r.contentRange, primero, ultimo, total)) return false;
  if (primero != desde_ || total != vigente_.longitud) return false;
  if (r.hayLongitud && r.longitud != ultimo - primero + 1) return false;
  // Every validator the file came with must come back unchanged.
  if (!vigente_.etag.empty() && r.etag != vigente_.etag) return false;
  if (!vigente_.lastModified.empty() && r.lastModified != vigente_.lastModified) return false;
  return true;
}

void ReintentosDescarga::empezar(const CabecerasRespuesta& r) {
  if (desde_ > 0) empezadoDeNuevo_ = true;
  vigente_ = r;
  rechazado_ = false;
}

ReintentosDescarga::Paso ReintentosDescarga::juzgar(const CabecerasRespuesta& r) {
  if (!pideResto_) {
    // A whole-file request: judged as the first one was.
    if (r.status >= 300) return Paso::Fallar;
    empezar(r);
    return Paso::DesdeCero;
  }
  if (esElResto(r)) return Paso::Anadir;
  if (r.status == 200) {
    // The range was ignored and the whole file is coming: it is the start over, if still allowed.
    if (empezadoDeNuevo_) return Paso::Fallar;
    empezar(r);
    return Paso::DesdeCero;
  }
  // Another file, a range past its end, an error: the bytes held are not to be continued.
  rechazado_ = true;
  return Paso::Reintentar;
}

}  // namespace tf
