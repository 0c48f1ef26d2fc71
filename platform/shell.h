// Shell port: starting a program through the shell, and telling other programs that the
// environment changed.
#pragma once
#include <string>

namespace tf {

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `program` with `parameters` through the shell's "open" verb, hidden, in no particular
  // working folder, and returns at once; false when the shell refused to start it.
  virtual bool startHidden(const std::string& program, const std::string& parameters) = 0;
  // Sends the settings-change message for "Environment" to every top-level window, giving up on
  // a window that hangs and waiting at most 5 s for each; false when the message was not sent.
  virtual bool broadcastEnvironmentChange() = 0;
};

}  // namespace tf
