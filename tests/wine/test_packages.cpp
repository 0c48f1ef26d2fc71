// The vendor test server's packages (tests/fixtures/make_packages.py, served from the docroot
// tests/wine/run_all.sh writes): their programs do what the installer relies on, on the real
// (Wine) service manager and registration tool.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "sys/comando.h"
#include "sys/servicios.h"
#include "sys/utilidades.h"
#include "vendor_test.h"
#include "zip/unzipper.h"

using namespace tf;

namespace {

struct AtEnd {
  std::function<void()> run;
  ~AtEnd() { run(); }
};

bool sameText(const std::string& a, const std::string& b) { return lstrcmpiW(widen(a).c_str(), widen(b).c_str()) == 0; }

DWORD serviceState(const std::string& name) {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE s = scm ? OpenServiceW(scm, widen(name).c_str(), SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS st = {};
  DWORD state = s && QueryServiceStatus(s, &st) ? st.dwCurrentState : 0;
  if (s) CloseServiceHandle(s);
  if (scm) CloseServiceHandle(scm);
  return state;
}

// Stops a service (bounded wait) and deletes it: what a failed test leaves is cleared too.
void stopService(const std::string& name, bool remove) {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE s = scm ? OpenServiceW(scm, widen(name).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE) : nullptr;
  if (s) {
    SERVICE_STATUS st;
    ControlService(s, SERVICE_CONTROL_STOP, &st);
    for (int i = 0; i < 100 && QueryServiceStatus(s, &st) && st.dwCurrentState != SERVICE_STOPPED; ++i) Sleep(100);
    if (remove) DeleteService(s);
    CloseServiceHandle(s);
  }
  if (scm) CloseServiceHandle(scm);
}

struct Packages : ::testing::Test {
  Win32Files files;
  Win32Processes procs;
  Win32Services services;
  Win32Clock clock;
  Win32SystemInfo sys;
  NoUi ui;
  struct SinLog : Log {
    void registrarLog(const std::string&) override {}
  } log;
  std::string served, dir;
  std::string run(const std::string& command) {
    return EjecutarComando(command, Consola{sys.systemProgramsDir() + "\\cmd.exe", procs, ui, clock, log});
  }

  void SetUp() override {
    std::string docroot = env("TF_VENDOR_DOCROOT");
    served = docroot.empty() ? "" : winPath(docroot) + "\\version\\";
    if (served.empty() || !files.fileExists(served + "downloads\\utils.zip"))
      GTEST_SKIP() << "no vendor packages (tests/wine/run_all.sh makes them)";
    dir = files.tempFolder() + "tf_paquetes\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
    ASSERT_TRUE(files.createFolders(dir));
  }

  int extract(const std::string& archive, const std::string& base, const std::string& mask) {
    UnZipper zip(files);
    zip.open(archive);
    zip.baseDirectory = base;
    int n = zip.extractFiles(mask);
    zip.close();
    return n;
  }

  static UINT iconCount(const std::string& exe) { return ExtractIconExW(widen(exe).c_str(), -1, nullptr, nullptr, 0); }

  // The registration tool as the installer starts it: shell "open", hidden, no working folder,
  // the component by its bare name. Waits (bounded) and returns its exit code.
  static DWORD regsvr32(const std::string& params) {
    std::wstring p = widen(params);
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = L"open";
    sei.lpFile = L"regsvr32.exe";
    sei.lpParameters = p.c_str();
    sei.nShow = SW_HIDE;
    if (!ShellExecuteExW(&sei) || !sei.hProcess) return (DWORD)-1;
    DWORD code = (DWORD)-2;
    if (WaitForSingleObject(sei.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(sei.hProcess, &code);
    CloseHandle(sei.hProcess);
    return code;
  }
};

}  // namespace

TEST_F(Packages, ApplicationUnpacksWithPathsAndItsServicesRegisterRunAndRemoveThemselves) {
  extract(served + "packages\\TurnaliaFree.zip", dir, "*.*");
  for (const char* f : {"TurnaliaFree.exe", "KVT_service.exe", "KVT_zkteco.exe", "Informes\\plantilla.txt",
                        "Informes\\Mensual\\resumen.txt"})
    EXPECT_TRUE(files.fileExists(dir + f)) << f;
  EXPECT_FALSE(files.folderExists(dir + "BackUp"));

  // The main program: the icon shortcuts show, and a window of its name that ends it when closed.
  EXPECT_GE(iconCount(dir + "TurnaliaFree.exe"), 1u);
  std::wstring exe = widen(dir + "TurnaliaFree.exe"), line = L"\"" + exe + L"\" -close-after 1500";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  HWND w = nullptr;
  for (int i = 0; i < 100 && !(w = FindWindowW(L"TfStubApp", L"TurnaliaFree")); ++i) Sleep(100);
  EXPECT_TRUE(w);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  const struct {
    const char* service;
    const char* program;
  } table[] = {{"srvKVT_service", "KVT_service.exe"}, {"srvKVT_zkteco", "KVT_zkteco.exe"}};
  for (const auto& t : table) {
    SCOPED_TRACE(t.service);
    // As the installer writes it: the folder in its short form, the program's name in its long one.
    std::string program = files.shortPath(dir.substr(0, dir.size() - 1)) + "\\" + t.program;
    std::string out = run(program + " -install -silent");
    EXPECT_TRUE(isServicioInstalado(t.service, services)) << out;
    EXPECT_TRUE(iniciarServicioYEsperar("", t.service, services, ui, clock));
    EXPECT_EQ(serviceState(t.service), (DWORD)SERVICE_RUNNING);
    EXPECT_TRUE(isProcesoEnEjecucion(t.program, procs));  // the name the uninstaller ends
    stopService(t.service, false);
    EXPECT_EQ(serviceState(t.service), (DWORD)SERVICE_STOPPED);
    out = run(files.shortPath(dir + t.program) + " -uninstall -silent");  // all short
    EXPECT_FALSE(isServicioInstalado(t.service, services)) << out;
    stopService(t.service, true);  // only if the program failed to remove it
  }
}

TEST_F(Packages, RegistrationToolReachesEachComponentInTheSystemFolder) {
  const std::string system = sys.systemDir(), records = "C:\\TurnaliaFreeTest\\registro\\";
  const char* const components[] = {"biokey.ocx", "zkemkeeper.dll", "midas.dll"};
  // Leave the machine as fresh for the end-to-end tests, whatever happens: no components, no records.
  AtEnd clear{[&] {
    for (const char* c : components) {
      files.deleteFile(system + "\\" + c);
      files.deleteFile(records + c + ".txt");
    }
    files.deleteFile(system + "\\kvt_comun.dll");
    files.removeFolder(records);
    files.removeFolder("C:\\TurnaliaFreeTest");
  }};
  extract(served + "downloads\\utils.zip", system, "*.dll");
  extract(served + "downloads\\utils.zip", system, "*.ocx");
  for (const char* c : components) {
    SCOPED_TRACE(c);
    const struct {
      const char* params;
      const char* call;
    } calls[] = {{"/s ", "DllRegisterServer"}, {"/u /s ", "DllUnregisterServer"}};
    for (const auto& k : calls) {
      files.deleteFile(records + c + ".txt");
      EXPECT_EQ(regsvr32(k.params + std::string(c)), 0u) << k.call;
      // One line: the call, the copy that was loaded, the registration tool that loaded it.
      std::string text;
      ASSERT_TRUE(files.readFile(records + c + ".txt", text)) << k.call;
      size_t a = text.find('|'), b = text.find('|', a + 1);
      ASSERT_TRUE(b != std::string::npos && text.size() > 2 && text.substr(text.size() - 2) == "\r\n") << text;
      EXPECT_EQ(text.substr(0, a), k.call);
      EXPECT_TRUE(sameText(text.substr(a + 1, b - a - 1), system + "\\" + c)) << text;
      EXPECT_TRUE(sameText(text.substr(b + 1, text.size() - b - 3), system + "\\regsvr32.exe")) << text;
    }
  }
}

TEST_F(Packages, ClientArchiveYieldsOnlyTheTimeClockProgram) {
  UnZipper zip(files);
  zip.open(served + "downloads\\turnaliafree.zip");
  EXPECT_GT(zip.entries().size(), 1u);
  zip.baseDirectory = dir;
  EXPECT_EQ(zip.extractFiles("kvt_ticador.exe"), 1);
  zip.close();
  EXPECT_GE(iconCount(dir + "kvt_ticador.exe"), 1u);
}
