// The installed-programs entry: what is written, where, and how it is found and removed.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "install/registro.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {
const std::string k64 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string k32 = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Entrada : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void arrancar() { frm = &MaquinaFalsa::arrancar(); }
  std::string texto(const std::string& clave, const std::string& nombre) {
    const RegistryValue* v = registry.value(RegistryRoot::LocalMachine, clave, nombre);
    return v ? v->text : "<none>";
  }
};
}  // namespace

TEST_F(Entrada, WritesEveryValueInOrderUnderTheRootOfItsView) {
  clock.time = {2019, 6, 13, 9, 0, 0, 0};
  files.put("C:\\Program Files (x86)\\TurnaliaFree\\TurnaliaFree.exe", std::string(3000, 'x'));
  files.put("C:\\Program Files (x86)\\TurnaliaFree\\Informes\\a.txt", std::string(2500, 'y'));
  arrancar();
  incluirAplicionEnElRegistro(*frm);
  const std::string k = k64 + "TurnaliaFree.exe";
  std::vector<std::string> orden;
  for (const auto& w : registry.writes) orden.push_back(w.name);
  EXPECT_EQ(orden, (std::vector<std::string>{"DisplayName", "DisplayIcon", "Publisher", "URLInfoAbout", "HelpLink",
                                             "URLUpdateInfo", "NoModify", "NoRepair", "InstallDate", "InstallLocation",
                                             "UninstallString", "QuietUninstallString", "DisplayVersion",
                                             "EstimatedSize"}));
  EXPECT_EQ(texto(k, "DisplayName"), "TurnaliaFree\x99 - Gesti\xF3n de Turnos y Control de Presencia");
  EXPECT_EQ(texto(k, "DisplayIcon"), "C:\\Program Files (x86)\\TurnaliaFree\\TurnaliaFree.exe");
  EXPECT_EQ(texto(k, "Publisher"), "HALVEX CORPORATION");
  EXPECT_EQ(texto(k, "HelpLink"), "https://www.turnaliafree.com");
  EXPECT_EQ(registry.value(RegistryRoot::LocalMachine, k, "NoRepair")->type, RegistryType::Number);
  EXPECT_EQ(texto(k, "InstallDate"), "20190613");
  EXPECT_EQ(texto(k, "InstallLocation"), "C:\\Program Files (x86)\\TurnaliaFree");
  EXPECT_EQ(texto(k, "UninstallString"), "\"C:\\windows\\TurnaliaFree\\uninstall.exe\" kvt");
  EXPECT_EQ(texto(k, "QuietUninstallString"), "\"C:\\windows\\TurnaliaFree\\uninstall.exe\" kvt -silent");
  EXPECT_EQ(texto(k, "DisplayVersion"), "19.04.002");
  EXPECT_EQ(registry.value(RegistryRoot::LocalMachine, k, "EstimatedSize")->number, 5u);  // 5500 bytes in KiB

  // A 32-bit Windows has no Wow6432Node.
  MaquinaFalsa m32;
  m32.sys.wow64 = false;
  incluirAplicionEnElRegistro(m32.arrancar());
  EXPECT_TRUE(m32.registry.hasKey(RegistryRoot::LocalMachine, k32 + "TurnaliaFree.exe"));
  EXPECT_FALSE(m32.registry.hasKey(RegistryRoot::LocalMachine, k64 + "TurnaliaFree.exe"));
}

TEST_F(Entrada, AnOldEntryIsOverwrittenAndKeepsItsOtherValues) {
  registry.put(RegistryRoot::LocalMachine, k64 + "TurnaliaFree.exe", "Publisher", {RegistryType::String, "viejo"});
  registry.put(RegistryRoot::LocalMachine, k64 + "TurnaliaFree.exe", "Comments", {RegistryType::String, "nota"});
  arrancar();
  incluirAplicionEnElRegistro(*frm);
  EXPECT_EQ(texto(k64 + "TurnaliaFree.exe", "Publisher"), "HALVEX CORPORATION");
  EXPECT_EQ(texto(k64 + "TurnaliaFree.exe", "Comments"), "nota");
}

TEST_F(Entrada, WithoutRightsNothingIsWrittenAndTheRunGoesOn) {
  registry.refused.push_back(k64 + "TurnaliaFree.exe");
  arrancar();
  EXPECT_NO_THROW(incluirAplicionEnElRegistro(*frm));
  EXPECT_TRUE(registry.writes.empty());
}

TEST_F(Entrada, FoundInAnyLetterCaseAndDeleted) {
  arrancar();
  EXPECT_FALSE(isAplicationInstalada(*frm, "TurnaliaFree.exe"));
  registry.putKey(RegistryRoot::LocalMachine, k64 + "TURNALIAFREE.EXE");
  EXPECT_TRUE(isAplicationInstalada(*frm, "TurnaliaFree.exe"));
  borrarAplicacionRegistro(*frm, "TurnaliaFree.exe");
  EXPECT_FALSE(isAplicationInstalada(*frm, "TurnaliaFree.exe"));
  // A key with subkeys of its own stays.
  registry.putKey(RegistryRoot::LocalMachine, k64 + "TurnaliaFree.exe\\Extra");
  borrarAplicacionRegistro(*frm, "TurnaliaFree.exe");
  EXPECT_TRUE(isAplicationInstalada(*frm, "TurnaliaFree.exe"));
}

TEST(PosicionUltimoCaracter, CountsFromOneAndZeroWhenAbsent) {
  EXPECT_EQ(posicionUltimoCaracter('\\', ""), 0);
  EXPECT_EQ(posicionUltimoCaracter('\\', "ABC"), 0);
  EXPECT_EQ(posicionUltimoCaracter('\\', "A\\B\\C"), 4);
  EXPECT_EQ(posicionUltimoCaracter('\\', "\\"), 1);
}
