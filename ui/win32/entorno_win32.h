// setup.exe's side of a run (app/programa.h): the Win32 machine, the view, the machine-wide
// lock and the message loop. The program's entry and the panel tool start the program on it.
#pragma once
#include <windows.h>

#include <memory>

#include "app/programa.h"
#include "platform/win32/maquina_win32.h"
#include "ui/win32/update_ui_win32.h"
#include "ui/win32/view.h"

namespace tf {

class EntornoWin32 : public Entorno {
 public:
  EntornoWin32(HINSTANCE instance, int nCmdShow) : instance_(instance), nCmdShow_(nCmdShow) {}
  ~EntornoWin32() override { terminar(); }
  // After the run: the view and COM go, the lock stays until the process ends.
  void terminar();

  // The arguments converted exactly: one Windows-1252 cannot hold is marked, never narrowed.
  LineaSistema lineaComandos() override;
  SystemInfo& sistema() override { return maquina.sys; }
  Files& ficheros() override { return maquina.files; }
  Clock& reloj() override { return maquina.clock; }
  LogSink& destinoLog() override { return sink; }
  Puertos puertos(Ui& ui, ULog& log) override { return maquina.puertos(ui, log); }
  UpdateEnginePorts puertosActualizacion(UpdateUi& dialogos) override {
    return maquina.puertosActualizacion(destinoLog(), dialogos);
  }
  // One copy at a time on the machine, as setup.exe or as uninstall.exe, from any folder.
  bool tomarInstancia() override { return instancia_.acquire(); }
  Ui& interfazVentana() override { return vista(); }
  UpdateUi& dialogosVentana() override;
  void bombear() override { pumpThreadMessages(); }
  void otraCopiaAlFrente() override { Win32View::bringRunningToFront(); }
  // Common controls and COM first; the view mirrors the window from its first change.
  std::unique_ptr<TfrmPrincipal> crearVentana(Puertos p, const Argumentos& a) override;
  bool bucleVentana(TfrmPrincipal& frm) override;

  // The view, made on first use (a silent run never asks for it).
  Win32View& vista();

  MaquinaWin32 maquina;
  Win32LogSink sink;

 protected:
  // The window shows and its message loop is about to start.
  virtual void ventanaMostrada(TfrmPrincipal&) {}

 private:
  HINSTANCE instance_;
  int nCmdShow_;
  Win32InstanceLock instancia_{"TurnaliaFree", "Instalador"};
  std::unique_ptr<Win32View> vista_;
  std::unique_ptr<Win32UpdateUi> dialogos_;
  bool com_ = false;
};

}  // namespace tf
