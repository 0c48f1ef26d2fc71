// The fakes of the OS ports keep the promises the Win32 ones keep (tests/port_contracts.h).
#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fakes_sys.h"
#include "tests/port_contracts.h"

using namespace tf;

TEST(FakeRegistry, KeepsThePortContract) {
  FakeRegistry reg;
  contract::registryValues(reg, "SOFTWARE\\Pruebas");
  contract::registrySubkeys(reg, "SOFTWARE\\Pruebas2");
  contract::registryCleanUp(reg, "SOFTWARE\\Pruebas2");
  EXPECT_FALSE(reg.hasKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pruebas2"));
}

TEST(FakeShellLinks, KeepsThePortContract) {
  FakeFiles files;
  files.mkdir("C:\\Temp");
  FakeShellLinks links(&files);
  contract::shellLinks(links, files, "C:\\Temp\\Configuración");
}

TEST(FakeFiles, KeepsThePortContract) {
  FakeFiles files;
  files.mkdir("C:\\Temp");
  contract::FilesMachine machine{[&](const std::string&, const std::string& link) {
                                   files.link(link);
                                   return true;
                                 },
                                 [&](const std::string& folder) {
                                   files.put(folder + "\\?ód?.txt", "x");
                                   return true;
                                 }};
  contract::files(files, "C:\\Temp\\Contrato", machine);
}

TEST(FakeServices, KeepsThePortContract) {
  FakeClock clock;
  FakeServices services(clock);
  services.services.resize(2);
  services.services[0].key = "Spooler";
  services.services[1].key = "TfStubContrato";
  services.services[1].display = "TfStubMostrado";
  contract::services(services, "TfStubContrato", "TfStubMostrado");
}

TEST(FakeProcesses, KeepsThePortContract) {
  FakeProcesses procs;
  procs.table = {{4, "System"}, {1200, "core_tests.exe"}};
  procs.imagePaths[1200] = "C:\\Pruebas\\core_tests.exe";
  procs.env["TfContrato"] = "Configuración";
  procs.script.endAfterWaits = 600;
  contract::processes(procs, 1200, "core_tests.exe", "TfContrato", "Configuración", "kvt_service.exe");
}

TEST(FakeShell, KeepsThePortContract) {
  FakeFiles files;
  FakeShell shell(&files);
  contract::shell(shell, "regsvr32.exe", "/s midas.dll", "C:\\Temp\\no_existe_tf.exe");
}

TEST(FakeSystemInfo, KeepsThePortContract) {
  FakeSystemInfo sys;
  FakeFiles files;
  for (const std::string& f : {sys.programFiles, sys.windows, sys.system, sys.desktop, sys.commonDesktop, sys.programs,
                               sys.commonPrograms})
    files.mkdir(f);
  for (const char* program : {"cmd.exe", "regsvr32.exe", "sc.exe"}) files.put(sys.systemPrograms + "\\" + program, "MZ");
  files.put(sys.exe, "MZ");
  contract::systemInfo(sys, files, "setup.exe");
}
