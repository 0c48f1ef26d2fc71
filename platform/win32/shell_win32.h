// Win32 implementations of the shell link and shell ports.
#pragma once
#include <windows.h>

#include "platform/shell.h"
#include "platform/shell_links.h"

namespace tf {

// Over the shell link object's wide interface (IShellLinkW): texts are converted with code page
// 1252 here, so links hold the same names whatever the machine's ANSI code page, which the
// narrow interface would apply instead.
class Win32ShellLinks : public ShellLinks {
 public:
  bool save(const std::string& file, const ShellLink& link) override;
  bool load(const std::string& file, ShellLink& link) override;
};

// The owner window only parents a box the shell itself may show when it cannot start a
// program; the view hands its window over once it exists (none before).
class Win32Shell : public Shell {
 public:
  explicit Win32Shell(HWND owner = nullptr) : owner_(owner) {}
  void setOwner(HWND owner) { owner_ = owner; }
  bool startHidden(const std::string& program, const std::string& parameters) override;
  bool broadcastEnvironmentChange() override;

 private:
  HWND owner_;
};

}  // namespace tf
