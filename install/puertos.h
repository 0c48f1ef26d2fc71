// The OS ports the window holds (implemented in platform/win32/, faked in tests/fakes/).
#pragma once
#include "core/log.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/net.h"
#include "platform/ports.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/shell_links.h"
#include "platform/ui.h"

namespace tf {

struct Puertos {
  SystemInfo& sys;
  Clock& clock;
  Files& files;
  Ui& ui;
  Internet& internet;
  Processes& processes;
  Services& services;
  Registry& registry;
  ShellLinks& links;
  Shell& shell;
  Network& net;
  Hashes& hashes;
  ULog& log;
};

}  // namespace tf
