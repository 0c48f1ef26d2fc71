// Program entry: the Win32 side of a run, then the program itself (app/programa.h).
#include <windows.h>

#include "app/programa.h"
#include "platform/win32/text.h"
#include "ui/win32/entorno_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int nCmdShow) {
  // Started from a downloads folder with administrator rights: never load a DLL planted beside us.
  tf::restrictDllSearchToSystem();

  // Static: the machine-wide lock is held until the process ends.
  static tf::EntornoWin32 entorno(instance, nCmdShow);
  // No system box waits for a person, from the first instant (the window makes sure again before
  // it starts any program).
  entorno.maquina.processes.switchOffErrorBoxes();

  int codigo;
  {
    tf::Programa programa(entorno);
    codigo = programa.ejecutar();
  }
  entorno.terminar();
  return codigo;
}
