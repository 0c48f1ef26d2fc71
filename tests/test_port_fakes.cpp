// The fakes of the registry and shell link ports keep the promises the Win32 ones keep.
#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell.h"
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
