// The program from its entry to its exit code, one way for setup.exe and for the tests: the
// command line read once, the log, what ends the program before the window (87, the help,
// 1618), the window and its start-up (FormCreate, procesarParametros), then the silent run or
// the wizard until the window closes.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/argumentos.h"
#include "app/principal.h"

namespace tf {

class UiDesatendida;
class UpdateUi;
class UpdateUiDesatendida;
struct UpdateEnginePorts;

// The command line as the system holds it, converted exactly to Windows-1252: the arguments
// after the program's name, and the positions of those the code page cannot hold (their "?"
// form stands in `args`, for the message only).
struct LineaSistema {
  std::vector<std::string> args;
  std::vector<size_t> inexactos;
};

// What a run takes from where it runs: setup.exe's entry gives the Win32 machine and view
// (ui/win32/entorno_win32.h), the native tests a fake machine (tests/fakes/maquina.h).
class Entorno {
 public:
  virtual ~Entorno() = default;

  virtual LineaSistema lineaComandos() = 0;
  // What start-up reads before the window's ports are put together.
  virtual SystemInfo& sistema() = 0;
  virtual Files& ficheros() = 0;
  virtual Clock& reloj() = 0;
  virtual LogSink& destinoLog() = 0;
  // The window's ports, with the run's interface and log.
  virtual Puertos puertos(Ui& ui, ULog& log) = 0;
  // The update engine's ports, with the run's dialogs.
  virtual UpdateEnginePorts puertosActualizacion(UpdateUi& dialogos) = 0;
  // The machine-wide lock, held for the rest of the run; false when another copy holds it.
  virtual bool tomarInstancia() = 0;
  // The wizard's interface and the update engine's dialogs over it: asked for only when the run
  // is not silent (a silent run makes no window at all).
  virtual Ui& interfazVentana() = 0;
  virtual UpdateUi& dialogosVentana() = 0;
  // The thread's messages, pumped while a silent run waits.
  virtual void bombear() {}
  // Another copy holds the lock: its window comes to the front (the wizard only).
  virtual void otraCopiaAlFrente() {}
  // The window object, made when its start-up may begin.
  virtual std::unique_ptr<TfrmPrincipal> crearVentana(Puertos p, const Argumentos& a);
  // The wizard, from the window shown until it closes (FormDestroy runs as it is destroyed);
  // false when the window cannot be made.
  virtual bool bucleVentana(TfrmPrincipal& frm) = 0;
};

class Programa {
 public:
  explicit Programa(Entorno& entorno);
  ~Programa();
  Programa(const Programa&) = delete;
  Programa& operator=(const Programa&) = delete;

  // The start-up, in the entry's order. False when the program ends before the window;
  // codigo() is then its exit code.
  bool arrancar();
  // arrancar, then the silent run (and FormDestroy) or the wizard: the exit code.
  int ejecutar();

  int codigo() const { return codigo_; }
  const Argumentos& argumentos() const { return argumentos_; }
  ULog& log() { return *log_; }
  bool hayVentana() const { return ventana_ != nullptr; }
  TfrmPrincipal& ventana() { return *ventana_; }

 private:
  Entorno& entorno_;
  Argumentos argumentos_;
  std::unique_ptr<ULog> log_;
  std::unique_ptr<UiDesatendida> silenciosa_;
  std::unique_ptr<UpdateUiDesatendida> dialogosSilenciosos_;
  // Last: the window holds the interface and the log above.
  std::unique_ptr<TfrmPrincipal> ventana_;
  int codigo_ = 0;
};

}  // namespace tf
