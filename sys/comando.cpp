#include "sys/comando.h"

#include <algorithm>

#include "core/mensajes.h"
#include "core/texto.h"

namespace tf {

namespace {
// The wait sleeps on the command and the message queue. After output it looks again soon
// (a fast writer blocked on a full pipe), then backs off to this, so an idle wait costs
// about twenty wake-ups a second.
const unsigned kEsperaMaximaMs = 50;
// Enough reading per pass; the window is given its messages between passes.
const size_t kLecturaPorPasada = 64 * 1024;

// Appends what waits in the pipe, up to one pass's worth; the count of bytes read.
size_t leer(RunningCommand& proceso, std::string& result) {
  char buffer[4096];
  size_t leidos = 0;
  while (leidos < kLecturaPorPasada) {
    size_t n = std::min(proceso.available(), sizeof buffer);
    if (n == 0) break;
    n = proceso.read(buffer, n);
    if (n == 0) break;
    leidos += n;
    // A zero byte would cut the log line short; every other byte is kept as written.
    for (size_t i = 0; i < n; ++i)
      if (buffer[i] != '\0') result += buffer[i];
  }
  return leidos;
}

// The program a command line starts, for the log: its first word, without quotes (the rest may
// carry a password).
std::string programaDeComando(const std::string& command) {
  std::string s = command;
  // As "cmd /c" reads a line that starts with a quote: without its first and its last quote.
  if (!s.empty() && s[0] == '"') {
    const size_t ultima = s.rfind('"');
    if (ultima > 0) s.erase(ultima, 1);
    s.erase(0, 1);
  }
  if (!s.empty() && s[0] == '"') return s.substr(1, s.find('"', 1) - 1);
  return s.substr(0, s.find(' '));
}

}  // namespace

std::string EjecutarComando(const std::string& command, const Consola& c) {
  std::string result;
  if (c.interprete.empty()) return result;
  std::unique_ptr<RunningCommand> proceso = c.processes.startHidden(entreComillasSiBlanco(c.interprete) + " /c " + command);
  if (!proceso) return result;

  const uint64_t inicio = c.clock.tickMs();
  unsigned espera = 1;
  for (;;) {
    // Seen before the drain: what the command wrote before it ended is in the pipe by now.
    bool terminado = proceso->finished();
    size_t leidos = leer(*proceso, result);
    c.ui.processMessages();
    if (leidos > 0) {
      espera = 1;
      continue;
    }
    if (terminado) break;
    const uint64_t transcurrido = c.clock.tickMs() - inicio;
    if (transcurrido >= c.limiteMs) {
      proceso->endTree();
      c.log.registrarLog(
          formatear(msgComandoDetenido, {programaDeComando(command), std::to_string(transcurrido / 1000)}));
      leer(*proceso, result);
      break;
    }
    proceso->waitForActivity(espera);
    espera = std::min(espera * 2, kEsperaMaximaMs);
  }
  return result;
}

}  // namespace tf
