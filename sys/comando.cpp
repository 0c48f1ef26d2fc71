#include "sys/comando.h"

#include <algorithm>

namespace tf {

namespace {
// The wait sleeps on the command and the message queue. After output it looks again soon
// (a fast writer blocked on a full pipe), then backs off to this, so an idle wait costs
// about twenty wake-ups a second.
const unsigned kEsperaMaximaMs = 50;
// Enough reading per pass; the window is given its messages between passes.
const size_t kLecturaPorPasada = 64 * 1024;
}  // namespace

std::string EjecutarComando(const std::string& command, Processes& processes, Ui& ui) {
  std::string result;
  std::string interprete = processes.environment("COMSPEC");
  if (interprete.empty()) return result;
  std::unique_ptr<RunningCommand> proceso = processes.startHidden(interprete + " /c " + command);
  if (!proceso) return result;

  char buffer[4096];
  unsigned espera = 1;
  for (;;) {
    // Seen before the drain: what the command wrote before it ended is in the pipe by now.
    bool terminado = proceso->finished();
    size_t leidos = 0;
    while (leidos < kLecturaPorPasada) {
      size_t n = std::min(proceso->available(), sizeof buffer);
      if (n == 0) break;
      n = proceso->read(buffer, n);
      if (n == 0) break;
      leidos += n;
      // A zero byte would cut the log line short; every other byte is kept as written.
      for (size_t i = 0; i < n; ++i)
        if (buffer[i] != '\0') result += buffer[i];
    }
    ui.processMessages();
    if (leidos > 0) {
      espera = 1;
      continue;
    }
    if (terminado) break;
    proceso->waitForActivity(espera);
    espera = std::min(espera * 2, kEsperaMaximaMs);
  }
  return result;
}

}  // namespace tf
