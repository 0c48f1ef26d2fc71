#include <gtest/gtest.h>

#include "app/principal.h"
#include "core/carpetas.h"
#include "core/crc32.h"
#include "core/log.h"
#include "core/mensajes.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {

struct Arranque : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;

  void start(std::vector<std::string> args = {}) { frm = &arrancar(args); }
  std::vector<std::string> lines() { return sink.lines(log().getFicheroLog()); }
  static std::string msg(const std::string& line) { return line.size() > 26 ? line.substr(26) : ""; }
};

}  // namespace

TEST_F(Arranque, HeaderLinesProbesAndWelcomePanel) {
  start();
  auto l = lines();
  ASSERT_GE(l.size(), 6u);
  EXPECT_EQ(l[0], "    [08/12/2024 10:31:05] " + std::string(87, '*'));
  EXPECT_EQ(msg(l[1]), "TurnaliaFree\x99 - Software de Instalaci\xF3n v2.3");
  EXPECT_EQ(msg(l[2]), sys.processor);
  EXPECT_EQ(msg(l[3]), "8388 MB RAM");
  EXPECT_EQ(msg(l[4]), "Nombre de Equipo: OFICINA-01");
  EXPECT_EQ(msg(l[5]), "Mostrando panel pnlBienvenida ...");
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
  EXPECT_EQ(frm->form["pnlCabeceraBienvenida"].color, kColorButtonFace);
  EXPECT_EQ(frm->form["lblNombreEquipo"].caption, "Nombre de Equipo: OFICINA-01");
  EXPECT_FALSE(frm->form["lblNombreEquipo"].visible);
  EXPECT_EQ(frm->getDirectorioTurnaliaFree(), "C:\\Program Files (x86)\\TurnaliaFree");
  EXPECT_EQ(frm->estado.directorioDBMS, "C:\\Program Files (x86)\\MySQL\\MariaDB 10.1");
  EXPECT_EQ(frm->estado.claveDesinstalacion, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
  EXPECT_EQ(frm->estado.passwordDBMS, getPasswordDBMS(sys.productId));
  EXPECT_EQ(frm->SQLConnection1.value("password"), frm->estado.passwordDBMS);
  EXPECT_EQ(frm->estado.servidorDescarga, "www.turnaliafree.com");
  EXPECT_EQ(frm->estado.modoTicador, 0);
  EXPECT_EQ(frm->form["lblFinalizacion"].caption, msgInstalacionCorrecta);
  for (const auto& line : l) EXPECT_EQ(line.find(frm->estado.passwordDBMS), std::string::npos);
}

TEST_F(Arranque, RegionTextFollowsTheLocaleCountryCode) {
  for (const char* code : {"351", "34", "31", "39", "353", "47", "44", "61", "32", "33", "49"}) {
    sys.country = code;
    start();
    EXPECT_TRUE(frm->estado.regionEuropa) << code;
    EXPECT_NE(frm->form["lblMirrorDescarga"].caption.find("Europa"), std::string::npos);
  }
  for (const char* code : {"1", "52", "340", "034"}) {
    sys.country = code;
    start();
    EXPECT_FALSE(frm->estado.regionEuropa) << code;
    EXPECT_NE(frm->form["lblMirrorDescarga"].caption.find("Am\xE9rica"), std::string::npos);
  }
  sys.countryFails = true;
  start();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "TurnaliaFree\x99 - Instalador");
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
}

TEST_F(Arranque, MemoryUsesMegabytesOf1024000Bytes) {
  sys.memory = 1024000ull * 3 - 1;
  start();
  EXPECT_EQ(frm->form["lblMemoria"].caption, "2 MB RAM");
}

TEST_F(Arranque, SwitchesInAnyCaseAndOrder) {
  start({"-M"});
  EXPECT_TRUE(frm->form["lblCambiarMirror"].visible);
  EXPECT_TRUE(frm->estado.descargasActivas);

  start({"-NO_DOWNLOADS", "-m"});
  EXPECT_FALSE(frm->estado.descargasActivas);
  EXPECT_FALSE(frm->form["lblCambiarMirror"].visible);
  EXPECT_FALSE(frm->form["lblMirrorDescarga"].visible);
  EXPECT_EQ(frm->caption(), "TurnaliaFree\x99 - Software de Instalaci\xF3n v2.3 [no-downloads]");

  start({"-m", "-no_downloads"});
  EXPECT_FALSE(frm->form["lblCambiarMirror"].visible);

  start({"/x", "otro"});
  EXPECT_TRUE(frm->estado.descargasActivas);
  EXPECT_FALSE(frm->form["lblCambiarMirror"].visible);
}

TEST_F(Arranque, IpSwitchSelectsTheClientModeWithTheNameAsTyped) {
  start({"-IP", "SERVIDOR1"});
  EXPECT_EQ(frm->estado.modoTicador, 1);
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenidaTicador");
  EXPECT_NE(frm->form["lblServidorDetectado"].caption.find(" SERVIDOR1 de su Red Local"), std::string::npos);
  EXPECT_EQ(frm->form["pnlCabeceraBienvenida"].color, kColorWhite);

  start({"-ip"});
  EXPECT_EQ(frm->estado.modoTicador, 0);
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");

  start({"-m", "-ip", "SERVIDOR1"});
  EXPECT_EQ(frm->estado.modoTicador, 0);
}

TEST_F(Arranque, UninstallerIsTheFileStoredAsLowerCaseUninstallExe) {
  sys.exe = "C:\\windows\\TurnaliaFree\\uninstall.exe";
  start({"-ip", "SRV"});
  EXPECT_TRUE(frm->isDesinstalador());
  EXPECT_EQ(frm->estado.modoTicador, 0);
  EXPECT_EQ(frm->form["pnlCabeceraBienvenida"].caption, "");
  EXPECT_EQ(frm->form["pnlCabeceraBienvenida"].color, kColorWhite);
  EXPECT_NE(frm->panelVisible(), "pnlBienvenida");

  // The name on disk decides, however the program was started.
  struct Caso {
    std::string almacenado;  // "" when the file cannot be found
    std::string arrancado;
    bool desinstalador;
  };
  const std::string carpeta = "C:\\windows\\TurnaliaFree\\";
  const Caso casos[] = {
      {"uninstall.exe", "UNINSTALL.EXE", true},
      {"uninstall.exe", "UNINST~1.EXE", true},
      {"Uninstall.exe", "Uninstall.exe", false},
      {"Uninstall.exe", "uninstall.exe", false},
      {"", "uninstall.exe", true},
      {"", "UNINSTALL.EXE", false},
      {"setup.exe", "SETUP.EXE", false},
  };
  for (const Caso& c : casos) {
    FakeFiles f;
    if (!c.almacenado.empty()) f.put(carpeta + c.almacenado, "MZ");
    f.shortNames[carpeta + c.almacenado] = carpeta + "UNINST~1.EXE";
    EXPECT_EQ(esDesinstalador(carpeta + c.arrancado, f), c.desinstalador) << c.arrancado << " " << c.almacenado;
  }
}

TEST_F(Arranque, SystemBoxesAreOffBeforeTheWindowStartsAnyProgram) {
  TfrmPrincipal frm(puertos());
  EXPECT_TRUE(processes.errorBoxesOff);
  EXPECT_TRUE(processes.started.empty() && shell.started.empty());
}

TEST_F(Arranque, AFailingProbeEndsOnTheFailureOutcomeInBothModes) {
  // Start-up stopped before the mode and the uninstall key were set: nothing may be installed
  // or uninstalled from this window, so it opens on the failure outcome with the error.
  for (const char* exe : {"C:\\Descargas\\setup.exe", "C:\\windows\\TurnaliaFree\\uninstall.exe"}) {
    MaquinaFalsa m;
    m.sys.exe = exe;
    m.sys.wow64Fails = true;
    TfrmPrincipal& w = m.arrancar();
    ASSERT_EQ(m.ui.errors.size(), 1u) << exe;
    EXPECT_EQ(m.ui.errors[0], "Acceso denegado.");
    EXPECT_EQ(w.estado.claveDesinstalacion, "");
    EXPECT_EQ(w.panelVisible(), "pnlFinalizacion") << exe;
    EXPECT_FALSE(w.form["imgOK"].visible);
    EXPECT_EQ(w.form["lblFinalizacion2"].caption, "Acceso denegado");
  }
}

TEST_F(Arranque, ShutdownRemovesAnEmptyTempFolderAndLogsTheCaption) {
  start({"-no_downloads"});
  files.mkdir("C:\\Descargas\\Temp");
  frm->FormDestroy();
  EXPECT_FALSE(files.folderExists("C:\\Descargas\\Temp"));
  auto l = lines();
  ASSERT_GE(l.size(), 2u);
  EXPECT_EQ(msg(l[l.size() - 2]), "Eliminando directorio temporal ... ");
  EXPECT_EQ(msg(l.back()), "Finalizando ejecuci\xF3n TurnaliaFree\x99 - Software de Instalaci\xF3n v2.3 [no-downloads]");

  files.put("C:\\Descargas\\Temp\\Licencia_KVT.txt", "x");
  frm->FormDestroy();  // a folder with files stays, silently
  EXPECT_TRUE(files.folderExists("C:\\Descargas\\Temp"));
}

TEST_F(Arranque, ShowingAPanelLeavesExactlyOneVisibleAndLightsItsTab) {
  start();
  files.put("C:\\Descargas\\Temp\\Licencia_KVT.txt", "acuerdo");  // the licence panel loads it
  for (const char* p : kPaneles) {
    frm->mostrarPanel(p);
    int shown = 0;
    for (const char* q : kPaneles) shown += frm->form[q].visible;
    EXPECT_EQ(shown, 1) << p;
    EXPECT_EQ(frm->form["imgFondo"].parent, p);
  }
  frm->mostrarPanel("pnlProxy");
  EXPECT_EQ(frm->form["pnlCabeceraBienvenida"].color, kColorButtonFace);
}

TEST(Carpetas, ComposedPaths) {
  EXPECT_EQ(getDirectorioTemporal("C:\\Program Files\\TurnaliaFree"), "C:\\Program Files\\TurnaliaFree\\Temp");
  EXPECT_EQ(getDirectorioUtilidades("C:\\Program Files\\TurnaliaFree"), "C:\\Program Files\\TurnaliaFree\\Utils");
  EXPECT_EQ(getDirectorioBackUp("C:\\Program Files\\TurnaliaFree"), "C:\\Program Files\\TurnaliaFree\\BackUp");
  EXPECT_EQ(getDirectorioTemporalInstalador("D:\\Descargas\\setup.exe"), "D:\\Descargas\\Temp");
  EXPECT_EQ(getDirectorioTemporalInstalador("C:\\setup.exe"), "C:\\\\Temp");
}

TEST(Mensajes, FormattingAndExactBytes) {
  EXPECT_EQ(formatear(msgMostrandoPanel, {"pnlOpciones"}), "Mostrando panel pnlOpciones ...");
  EXPECT_EQ(formatear(msgArchivoNoEncontrado, {"my.ini", "C:\\x"}),
            "No se encontr\xF3 el archivo my.ini en el directorio C:\\x !");
  EXPECT_EQ(formatear(msgFicheroNoDescargado, {"dbms.zip"}), "Fichero dbms.zip no descargado, instalaci\xF3n detenida !");
  EXPECT_EQ(formatear("%s y %s", {"uno"}), "uno y ");
  EXPECT_EQ(std::string(msgTituloAtencion), "Instalaci\xF3n TurnaliaFree - Atenci\xF3n");
  EXPECT_EQ(std::string(msgNoEliminarDirectorio), "No se pud\xF3 eliminar el directorio %s");
}
