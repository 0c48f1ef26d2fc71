// Process port: console commands with captured output, the process table, termination.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tf {

// A console command started hidden, its standard output and error joined in one pipe; its
// standard input is an empty pipe, so a command that reads it sees end-of-file at once.
// Closing it (destruction) closes the pipes and handles; it never ends the command.
class RunningCommand {
 public:
  virtual ~RunningCommand() = default;
  // Bytes waiting in the output pipe right now (0 when none or when the pipe is broken).
  virtual size_t available() = 0;
  // Reads up to n bytes already waiting; the count read.
  virtual size_t read(char* buffer, size_t n) = 0;
  virtual bool finished() = 0;
  // Sleeps until the command ends, a window message arrives, or maxMs pass.
  virtual void waitForActivity(unsigned maxMs) = 0;
  // Ends the command and every program it started (and theirs), without waiting for them.
  virtual void endTree() = 0;
};

struct ProcessEntry {
  uint32_t id = 0;
  std::string exeFile;  // the executable text the process table holds
};

class Processes {
 public:
  virtual ~Processes() = default;
  virtual std::string environment(const std::string& name) = 0;  // "" when unset
  // No system box (critical error, program fault, file not found) for this process or the
  // programs it starts from now on: such a box would wait for a person who may not be there.
  virtual void switchOffErrorBoxes() = 0;
  // Starts a command line in a hidden console of its own; nullptr when the pipes or the
  // process cannot be created.
  virtual std::unique_ptr<RunningCommand> startHidden(const std::string& commandLine) = 0;
  // The running processes; false when the table cannot be read.
  virtual bool list(std::vector<ProcessEntry>& out) = 0;
  // Ends a process with exit code 0, without waiting for it; false when refused.
  virtual bool terminate(uint32_t id) = 0;
  // The full path of a running process's executable, in its long form; false when it cannot
  // be read (process gone, no rights, a name the program's text cannot hold).
  virtual bool imagePath(uint32_t id, std::string& path) = 0;
};

}  // namespace tf
