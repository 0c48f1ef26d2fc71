// A whole fake machine for the window and its steps: every OS port faked, the log written
// through a fake sink. New ports get their fake here, so tests build the window one way.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "install/ventana.h"
#include "tests/fakes/fake_internet.h"
#include "tests/fakes/fakes.h"
#include "tests/fakes/fake_net.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/posix_net.h"
#include "tests/fakes/update_fakes.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fakes_sys.h"

namespace tf {

struct MaquinaFalsa {
  FakeSystemInfo sys;
  FakeClock clock;
  FakeFiles files;
  FakeUi ui;
  FakeInternet internet;
  FakeProcesses processes;
  FakeServices services{clock};
  FakeRegistry registry;
  FakeShellLinks links{&files};
  FakeShell shell;
  FakeNetwork net{&clock};
  OpenSslHashes hashes;
  // The update engine's own ports; its program folder is the installer's.
  FakeUpdateHttp updHttp;
  FakeUpdateSystem updSys{files};
  FakeUpdateArchives updArch{files};
  FakeUpdateUi updUi;
  FakeLogSink sink;
  // A run's own interface in place of the fakes (the silent run's), when set.
  Ui* otraUi = nullptr;
  UpdateUi* otraUpdUi = nullptr;

  // Made on first use, so a test can set the program's path first.
  ULog& log() {
    if (!log_) log_ = std::make_unique<ULog>(clock, sink, sys.exe);
    return *log_;
  }
  Puertos puertos() { return Puertos{sys, clock, files, otraUi ? *otraUi : ui, internet, processes, services, registry, links, shell, net, hashes, log()}; }
  UpdateEnginePorts puertosActualizacion() {
    updSys.program = sys.exe.substr(0, sys.exe.find_last_of('\\'));
    return UpdateEnginePorts{files, clock, sink, updHttp, updSys, updArch, otraUpdUi ? *otraUpdUi : updUi, processes};
  }
  // The log's lines without their time stamps.
  std::vector<std::string> mensajes() {
    std::vector<std::string> out;
    for (const auto& l : sink.lines(log().getFicheroLog())) out.push_back(l.size() > 26 ? l.substr(26) : "");
    return out;
  }

 private:
  std::unique_ptr<ULog> log_;
};

}  // namespace tf
