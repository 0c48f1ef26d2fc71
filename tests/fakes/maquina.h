// A whole fake machine for the window and its steps: every OS port faked, the log written
// through a fake sink. New ports get their fake here, so tests build the window one way: the
// program's own start-up (app/programa.h) on this machine.
#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/programa.h"
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

struct MaquinaFalsa : Entorno {
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
  // The command line of the next run, as the system would give it.
  LineaSistema linea;
  bool otraCopia = false;  // another copy holds the machine's lock
  int bombeos = 0;         // messages pumped by a silent run
  // What the person does in the wizard, from the window shown until it closes (ejecutar).
  std::function<void(TfrmPrincipal&)> persona;

  // The program's start-up as setup.exe runs it, up to the window the test then drives.
  TfrmPrincipal& arrancar(std::vector<std::string> args = {}) {
    linea = LineaSistema{std::move(args), {}};
    programa = std::make_unique<Programa>(*this);
    if (!programa->arrancar()) throw std::logic_error("the program ended before its window");
    return programa->ventana();
  }
  // The whole program, silent or with `persona` in the wizard: its exit code.
  int ejecutar(std::vector<std::string> args) {
    linea = LineaSistema{std::move(args), {}};
    programa = std::make_unique<Programa>(*this);
    return programa->ejecutar();
  }

  // The running program's log; before any run, one made for the program's path.
  ULog& log() {
    if (programa) return programa->log();
    if (!log_) log_ = std::make_unique<ULog>(clock, sink, sys.exe);
    return *log_;
  }
  // The window's ports with the fake interface, for a window made without start-up.
  Puertos puertos() { return puertos(ui, log()); }
  UpdateEnginePorts puertosActualizacion() { return puertosActualizacion(updUi); }
  // The log's lines without their time stamps.
  std::vector<std::string> mensajes() {
    std::vector<std::string> out;
    for (const auto& l : sink.lines(log().getFicheroLog())) out.push_back(l.size() > 26 ? l.substr(26) : "");
    return out;
  }

  // Entorno
  LineaSistema lineaComandos() override { return linea; }
  SystemInfo& sistema() override { return sys; }
  Files& ficheros() override { return files; }
  Clock& reloj() override { return clock; }
  LogSink& destinoLog() override { return sink; }
  Puertos puertos(Ui& u, ULog& l) override {
    return Puertos{sys, clock, files, u, internet, processes, services, registry, links, shell, net, hashes, l};
  }
  UpdateEnginePorts puertosActualizacion(UpdateUi& dialogos) override {
    updSys.program = sys.exe.substr(0, sys.exe.find_last_of('\\'));
    return UpdateEnginePorts{files, clock, sink, updHttp, updSys, updArch, dialogos, processes};
  }
  bool tomarInstancia() override { return !otraCopia; }
  Ui& interfazVentana() override { return ui; }
  UpdateUi& dialogosVentana() override { return updUi; }
  void bombear() override { ++bombeos; }
  bool bucleVentana(TfrmPrincipal& frm) override {
    if (persona) persona(frm);
    frm.FormDestroy();  // as the view does when the window is destroyed
    return true;
  }

 private:
  std::unique_ptr<ULog> log_;

 public:
  // Last: the program's window holds the ports above.
  std::unique_ptr<Programa> programa;
};

}  // namespace tf
