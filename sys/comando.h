// The command runner: a console command run hidden through the command interpreter.
#pragma once
#include <string>

#include "platform/processes.h"
#include "platform/ui.h"

namespace tf {

// Runs COMSPEC + " /c " + command (no quoting added) in a hidden console of its own and
// returns what it wrote to standard output and error, interleaved as written, with zero
// bytes dropped. Waits until the command has ended and its output is drained; the window
// keeps answering meanwhile. A command that reads its standard input reads end-of-file.
// Empty when nothing was written or the command cannot start (also when COMSPEC is unset:
// no interpreter is substituted). Never raises.
std::string EjecutarComando(const std::string& command, Processes& processes, Ui& ui);

}  // namespace tf
