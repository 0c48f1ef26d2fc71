// The whole installation run over a fake machine: the order of the steps, how a failing step
// ends the run, what is left behind, and when the report goes out.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "install/instalacion.h"
#include "tests/fakes/bancos.h"
#include "tests/fakes/maquina.h"
#include "tests/fakes/zip_memoria.h"

using namespace tf;

namespace {

const std::string kRaiz = "C:\\Program Files (x86)\\TurnaliaFree";
const std::string kDbms = "C:\\Program Files (x86)\\MySQL\\MariaDB 10.1";
const std::string kPath = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::string kEntrada = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TurnaliaFree.exe";

using Banco = BancoInstalacion;

struct Instalacion : ::testing::Test, Banco {
  void SetUp() override { preparar(); }
};

}  // namespace

TEST_F(Instalacion, AnOfflineRunInstallsEverythingAndEndsOnSuccess) {
  instalar();
  EXPECT_EQ(fallo(), "");
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
  EXPECT_TRUE(services.find("KVTDB")->started);
  EXPECT_TRUE(services.find("srvKVT_service")->started);
  EXPECT_TRUE(files.has(kRaiz + "\\TurnaliaFree.exe"));
  EXPECT_TRUE(files.has("C:\\windows\\syswow64\\midas.dll"));
  EXPECT_TRUE(files.has("C:\\windows\\TurnaliaFree\\uninstall.exe"));
  EXPECT_TRUE(registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
  EXPECT_TRUE(links.find(sys.desktop + "\\Turnalia Free.lnk"));
  ASSERT_EQ(internet.posts.size(), 1u);  // the installation report, last
  EXPECT_EQ(internet.posts[0].body.substr(0, 30), "op=instalacion&version=19.04.0");
  EXPECT_GE(clock.slept, 250u);
  // The packages went to the installer's own Temp folder, where the steps read them.
  EXPECT_TRUE(files.has("C:\\Descargas\\Temp\\TurnaliaFree.zip"));
  EXPECT_FALSE(files.has("C:\\Descargas\\Temp\\dbms.zip"));  // deleted once unpacked
}

TEST_F(Instalacion, TheProductsRunningServerRefusesTheRunAndNothingIsCreated) {
  processes.table.push_back({4242, "mysqld.exe"});
  instalar();
  EXPECT_EQ(fallo(), "Ya existe una instalaci\xF3n de MySQL para TurnaliaFree en este Equipo, no es posible continuar");
  EXPECT_EQ(net.intentos, (std::vector<std::string>{"localhost:3307"}));
  EXPECT_FALSE(files.folderExists(kRaiz));
  EXPECT_FALSE(files.folderExists("C:\\Program Files (x86)\\MySQL"));
  EXPECT_TRUE(processes.started.empty());
  EXPECT_TRUE(internet.posts.empty());
}

// KVTDB is neither registered nor started beside it, so nothing answers on 3307: the run fails
// there, before the application, the links and the report.
TEST_F(Instalacion, AnotherProductsServerLeavesNoDatabaseAndTheRunFails) {
  processes.table.push_back({4242, "MYSQLD.EXE"});  // answers on its own port, not 3307
  net.servidoresMySQL.clear();
  instalar();
  EXPECT_EQ(fallo(), "El servidor de base de datos no responde en 127.0.0.1:3307, instalaci\xF3n detenida !");
  EXPECT_EQ(frm->estado.desenlace, Desenlace::Fallido);
  EXPECT_FALSE(registrado("--install KVTDB"));
  EXPECT_FALSE(services.find("KVTDB"));
  EXPECT_TRUE(registrado("mysqladmin.exe") || registrado("password"));
  EXPECT_FALSE(files.has(kRaiz + "\\TurnaliaFree.exe"));
  EXPECT_TRUE(links.saved.empty());
  EXPECT_TRUE(internet.posts.empty());
}

TEST_F(Instalacion, EachFailingStepEndsTheRunWithItsMessageAndNoReport) {
  struct Caso {
    const char* quita;  // file removed from the installer's folder; a folder not there is blocked
    std::string mensaje;
    bool dbmsQueda;     // the database server was set up before the failure
  };
  const std::vector<Caso> casos = {
      {"C:\\Descargas\\dbms.zip", "Fichero DBMS no fue descargado, instalaci\xF3n detenida !", false},
      {"C:\\Descargas\\temp_turnaliafree.sql",
       "No se encontr\xF3 el archivo temp_turnaliafree.sql en el directorio C:\\Descargas\\Temp\\ !", true},
      {"C:\\Descargas\\TurnaliaFree.zip", "Fichero TurnaliaFree.zip no descargado, instalaci\xF3n detenida !", true},
      // Offline from read-only media: the installer's Temp folder cannot be made.
      {"C:\\Descargas\\Temp",
       "No fue posible crear el directorio temporal C:\\Descargas\\Temp junto al instalador: copie el instalador y "
       "sus paquetes a una carpeta con permiso de escritura, instalaci\xF3n detenida !",
       false},
  };
  for (const Caso& c : casos) {
    Banco t;
    t.preparar();
    if (!t.files.deleteFile(c.quita)) t.files.put(c.quita, "a file where the folder should be");
    t.instalar();
    EXPECT_EQ(t.fallo(), c.mensaje) << c.quita;
    EXPECT_TRUE(t.internet.posts.empty()) << c.quita;
    EXPECT_TRUE(t.links.saved.empty()) << c.quita;
    EXPECT_EQ(t.services.find("KVTDB") != nullptr, c.dbmsQueda) << c.quita;
    EXPECT_TRUE(t.files.has("C:\\windows\\TurnaliaFree\\uninstall.exe")) << c.quita;  // nothing is rolled back
  }
}

TEST_F(Instalacion, WithoutUtilitiesTheFailureShowsAtOnceAndTheRestStillRuns) {
  files.deleteFile("C:\\Descargas\\utils.zip");
  instalar();
  EXPECT_EQ(fallo(), "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal");
  EXPECT_TRUE(files.has(kRaiz + "\\TurnaliaFree.exe"));
  EXPECT_TRUE(links.find(sys.desktop + "\\Turnalia Free.lnk"));
  EXPECT_EQ(internet.posts.size(), 1u);
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
}

TEST_F(Instalacion, OnlineThePackageStepRunsAndItsFailureShowsAtTheDatabase) {
  // No vendor answers: the engine reports, the database step finds no package.
  instalar({});
  EXPECT_EQ(fallo(), "Fichero DBMS no fue descargado, instalaci\xF3n detenida !");
  EXPECT_TRUE(enLog("Downloading software TurnaliaFree"));
  EXPECT_TRUE(enLog("Software TurnaliaFree downloaded successfully !"));
}

namespace {
const std::string kUtilsUrl = "https://www.turnaliafree.com/version/downloads/utils.zip";
const std::string kClienteUrl = "https://www.turnaliafree.com/version/downloads/turnaliafree.zip";
}  // namespace

TEST_F(Instalacion, TheClientRoadTakesOnlyItsProgramAndTouchesNothingOfTheProduct) {
  internet.urls[kUtilsUrl].body = zipAlmacenado({{"midas.dll", "d"}, {"biokey.ocx", "o"}, {"tool.exe", "t"}});
  internet.urls[kClienteUrl].body = zipAlmacenado({{"kvt_ticador.exe", "MZ"}, {"Leeme.txt", "x"}, {"extra/otro.exe", "y"}});
  frm = &arrancar({"-ip", "SERVIDOR", "-no_downloads"});
  ASSERT_EQ(frm->estado.modoTicador, 1);
  frm->alPulsar("btnInstalar");
  EXPECT_EQ(fallo(), "");
  EXPECT_EQ(files.content(kRaiz + "\\kvt_ticador.exe"), "MZ");
  EXPECT_FALSE(files.has(kRaiz + "\\Leeme.txt"));
  EXPECT_FALSE(files.has(kRaiz + "\\extra\\otro.exe"));
  EXPECT_TRUE(files.has("C:\\windows\\syswow64\\midas.dll"));
  EXPECT_FALSE(files.has("C:\\windows\\syswow64\\biokey.ocx"));
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].program, "C:\\Windows\\SysWOW64\\regsvr32.exe");
  EXPECT_EQ(shell.started[0].parameters, "/s midas.dll");
  EXPECT_TRUE(links.find(sys.desktop + "\\Software Ticador.lnk"));
  EXPECT_TRUE(files.has("C:\\windows\\TurnaliaFree\\uninstall.exe"));
  // Nothing of the full installation.
  EXPECT_TRUE(processes.started.empty());
  EXPECT_TRUE(services.services.empty());
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_TRUE(internet.posts.empty());
  EXPECT_FALSE(files.folderExists(kRaiz + "\\Utils"));
  EXPECT_FALSE(files.folderExists("C:\\Program Files (x86)\\MySQL"));
  EXPECT_GE(clock.slept, 250u);
}

TEST_F(Instalacion, AClientWithoutArchivesShowsBothAlertsAndStillMakesItsShortcuts) {
  frm = &arrancar({"-ip", "SERVIDOR"});
  frm->alPulsar("btnInstalar");
  EXPECT_EQ(fallo(), "No se encontr\xF3 el fichero \"turnaliafree.zip\" en el directorio temporal");
  auto l = mensajes();
  EXPECT_NE(std::find(l.begin(), l.end(), "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal"),
            l.end());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_TRUE(links.find(sys.desktop + "\\Software Ticador.lnk"));
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
}
