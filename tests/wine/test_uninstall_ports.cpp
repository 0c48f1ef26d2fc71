// What the uninstaller asks of the real (Wine) system beyond the installation: the full path of
// a running program, ending only the copies in one folder, and stopping a service with a wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "sys/comando.h"
#include "sys/servicios.h"
#include "core/texto.h"
#include "sys/utilidades.h"

using namespace tf;

namespace {

std::string fixture(const std::string& name) {
  wchar_t buf[MAX_PATH];
  std::wstring self(buf, GetModuleFileNameW(nullptr, buf, MAX_PATH));
  return narrow(self.substr(0, self.find_last_of(L'\\') + 1)) + "fixtures\\" + name;
}

struct QuietUi : Ui {
  void messageBox(const std::string&, const std::string&, MessageIcon) override {}
  void standardError(const std::string&) override {}
  void setBusyCursor(bool) override {}
  void processMessages() override {}
  void closeWindow() override {}
  void setFocus(const std::string&) override {}
  bool shellOpen(const std::string&, std::string&) override { return false; }
};

struct LineLog : Log {
  std::vector<std::string> lines;
  void registrarLog(const std::string& m) override { lines.push_back(m); }
};

// Programs started here and ended when the test ends, whatever it did.
struct Started {
  std::vector<PROCESS_INFORMATION> procs;
  ~Started() {
    for (auto& p : procs) {
      TerminateProcess(p.hProcess, 1);
      CloseHandle(p.hProcess);
    }
  }
  bool start(const std::string& exe, const std::string& args) {
    std::wstring line = L"\"" + widen(exe) + L"\" " + widen(args);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(widen(exe).c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi))
      return false;
    CloseHandle(pi.hThread);
    procs.push_back(pi);
    return true;
  }
  bool running(size_t i) { return WaitForSingleObject(procs[i].hProcess, 0) == WAIT_TIMEOUT; }
};

// A copy of the output stand-in named `name` in folder `dir` (created).
std::string copyTo(const std::string& dir, const std::string& name) {
  Win32Files files;
  files.createFolders(dir);
  std::string path = dir + "\\" + name;
  files.copyFile(fixture("stub_output.exe"), path, false);
  return path;
}

}  // namespace

TEST(UninstallProcesses, OnlyTheCopyInsideTheFolderEnds) {
  Win32Files files;
  Win32Processes procs;
  LineLog log;
  const std::string propia = files.tempFolder() + "tf_propia con espacios\\bin";
  const std::string ajena = files.tempFolder() + "tf_ajena";
  const std::string exePropio = copyTo(propia, "tf_srv.exe");
  const std::string exeAjeno = copyTo(ajena, "tf_srv.exe");
  Started p;
  ASSERT_TRUE(p.start(exePropio, "sleep:60000"));
  ASSERT_TRUE(p.start(exeAjeno, "sleep:60000"));

  std::string ruta;
  ASSERT_TRUE(procs.imagePath(p.procs[0].dwProcessId, ruta));
  EXPECT_TRUE(igualesSinMayusculas(ruta, exePropio)) << ruta;
  ASSERT_TRUE(procs.imagePath(p.procs[1].dwProcessId, ruta));
  EXPECT_TRUE(igualesSinMayusculas(ruta, exeAjeno)) << ruta;
  EXPECT_FALSE(procs.imagePath(0x7FFFFFF0u, ruta));

  EXPECT_TRUE(terminarProcesosEnCarpeta("TF_SRV.EXE", propia.substr(0, propia.size() - 4), procs, log));
  EXPECT_EQ(WaitForSingleObject(p.procs[0].hProcess, 10000), WAIT_OBJECT_0);
  Sleep(300);
  EXPECT_TRUE(p.running(1));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("no pertenece a"), std::string::npos) << log.lines[0];
}

// A program started through its 8.3 path (as a service registered with one is) still counts
// as inside its long-named folder.
TEST(UninstallProcesses, ShortPathStartIsReadInItsLongForm) {
  Win32Files files;
  Win32Processes procs;
  const std::string dir = files.tempFolder() + "tf carpeta larga de servidor";
  const std::string exe = copyTo(dir, "tf_servidor_largo.exe");
  const std::string corto = files.shortPath(exe);
  Started p;
  ASSERT_TRUE(p.start(corto, "sleep:60000"));
  std::string ruta;
  ASSERT_TRUE(procs.imagePath(p.procs[0].dwProcessId, ruta));
  EXPECT_TRUE(isRutaDentroDe(ruta, dir)) << corto << " -> " << ruta;
}

TEST(UninstallServices, StopWaitsUntilStoppedAndAStoppedServiceCountsAsStopped) {
  Win32Processes procs;
  Win32Services services;
  Win32Clock clock;
  QuietUi ui;
  const std::string stub = fixture("stub_service.exe");
  ASSERT_NE(EjecutarComando(stub + " -install -silent -name TfStubParar", procs, ui).find("installed"),
            std::string::npos);
  ASSERT_TRUE(iniciarServicioYEsperar("", "TfStubParar", services, ui, clock));
  uint64_t t0 = clock.tickMs();
  EXPECT_TRUE(detenerServicioYEsperar("", "TfStubParar", services, ui, clock));
  EXPECT_LT(clock.tickMs() - t0, (uint64_t)kEsperaParadaServicioMs);
  ServiceStatus estado;
  auto s = services.openForStop("", "TfStubParar");
  ASSERT_TRUE(s);
  ASSERT_TRUE(s->query(estado));
  EXPECT_EQ(estado.state, (uint32_t)kServiceStopped);
  s.reset();
  EXPECT_TRUE(detenerServicioYEsperar("", "TfStubParar", services, ui, clock));  // already stopped
  EXPECT_FALSE(detenerServicioYEsperar("", "TfStubNoExiste", services, ui, clock));
  EjecutarComando(stub + " -uninstall -silent -name TfStubParar", procs, ui);
  EXPECT_FALSE(isServicioInstalado("TfStubParar", services));
}
