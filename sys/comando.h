// The command runner: a console command run hidden through the command interpreter.
#pragma once
#include <string>

#include "core/log.h"
#include "platform/ports.h"
#include "platform/processes.h"
#include "platform/ui.h"

namespace tf {

// How long a command may run: the database server's commands can take minutes on a slow machine,
// but a command that waits for a person (a box, a prompt) would hold an unattended run for ever.
constexpr unsigned kLimiteComandoMs = 10 * 60 * 1000;

// What the runner works with: the interpreter by its full path (never searched for by name, nor
// taken from the environment, which the user may point anywhere), and the machine.
struct Consola {
  std::string interprete;
  Processes& processes;
  Ui& ui;
  Clock& clock;
  Log& log;
  unsigned limiteMs = kLimiteComandoMs;
};

// Runs interpreter + " /c " + command (the interpreter quoted when its path holds a blank; no
// quoting added to the command) in a hidden console of its own and returns what it wrote to
// standard output and error, interleaved as written, with zero bytes dropped. Waits until the
// command has ended and its output is drained; the window keeps answering meanwhile. A command
// that reads its standard input reads end-of-file. A command still running after the limit is
// ended with every program it started, and the log says which program and after how long; what
// it wrote until then is returned. Empty when nothing was written or the command cannot start.
// Never raises.
std::string EjecutarComando(const std::string& command, const Consola& consola);

}  // namespace tf
