// Fakes of the shell link and shell ports.
#pragma once
#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/shell_links.h"
#include "tests/fakes/fakes.h"

namespace tf {

// Records the links written. Given a FakeFiles, a save needs its folder to exist there and
// leaves a file of that name (so the uninstaller's deletions see it), and a load needs the file.
class FakeShellLinks : public ShellLinks {
 public:
  explicit FakeShellLinks(FakeFiles* files = nullptr) : files_(files) {}
  struct Saved {
    std::string file;
    ShellLink link;
  };
  std::vector<Saved> saved;              // successful saves, in order
  std::vector<std::string> failFolders;  // saves into these folders fail (any letter case)

  bool save(const std::string& file, const ShellLink& link) override;
  bool load(const std::string& file, ShellLink& link) override;
  // The link last saved under `file` (any letter case); nullptr when none.
  const ShellLink* find(const std::string& file) const;

 private:
  FakeFiles* files_;
};

// Given a FakeFiles, a program named by its full path must exist there; a bare name is found on
// the system's search path.
class FakeShell : public Shell {
 public:
  explicit FakeShell(FakeFiles* files = nullptr) : files_(files) {}
  struct Started {
    std::string program, parameters;
  };
  std::vector<Started> started;
  int broadcasts = 0;
  bool startFails = false;

  bool startHidden(const std::string& program, const std::string& parameters) override {
    if (startFails) return false;
    if (files_ && program.find('\\') != std::string::npos && !files_->fileExists(program)) return false;
    started.push_back({program, parameters});
    return true;
  }
  bool broadcastEnvironmentChange() override {
    ++broadcasts;
    return true;
  }

 private:
  FakeFiles* files_;
};

}  // namespace tf
