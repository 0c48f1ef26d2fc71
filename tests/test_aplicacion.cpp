// Preparing an installation and installing the application package with its services.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "install/aplicacion.h"
#include "install/preparacion.h"
#include "tests/fakes/maquina.h"
#include "tests/fakes/zip_memoria.h"
#include "update/update_engine.h"

using namespace tf;

namespace {

const std::string kRaiz = "C:\\Program Files (x86)\\TurnaliaFree";

struct Banco : MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void preparar() {
    processes.onStart = [this](const std::string& cmd) {
      // The service programs register themselves, whatever form their path takes.
      for (auto [programa, servicio] :
           {std::pair{"KVT_service.exe", "srvKVT_service"}, std::pair{"KVT_zkteco.exe", "srvKVT_zkteco"}})
        if (cmd.find(programa) != std::string::npos && cmd.find("-install -silent") != std::string::npos)
          services.services.push_back({servicio, servicio});
      return FakeCommandScript{{{0, "instalado"}}, 0, 4096};
    };
    files.put(sys.exe, "MZ nuevo instalador");
    frm = &arrancar();
  }
  std::string error(const std::function<void()>& paso) {
    try {
      paso();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }
};

struct Preparacion : ::testing::Test, Banco {
  void SetUp() override { preparar(); }
};

}  // namespace

TEST_F(Preparacion, FullAndClientCreateTheirFoldersAndReplaceTheUninstaller) {
  files.put("C:\\windows\\TurnaliaFree\\uninstall.exe", "MZ viejo");
  // The utilities come next and are not part of this test.
  error([&] { prepararInstalacion(*frm); });
  for (const std::string& f : {std::string("C:\\Program Files (x86)\\MySQL"), kRaiz, kRaiz + "\\BackUp",
                               kRaiz + "\\Temp", kRaiz + "\\Utils"})
    EXPECT_TRUE(files.folderExists(f)) << f;
  EXPECT_EQ(files.content("C:\\windows\\TurnaliaFree\\uninstall.exe"), "MZ nuevo instalador");
  EXPECT_EQ(frm->UpdateEngine1.TempDirectory, kRaiz + "\\Temp");

  Banco cliente;
  cliente.preparar();
  prepararInstalacionTicador(*cliente.frm);
  EXPECT_TRUE(cliente.files.folderExists(kRaiz + "\\Temp"));
  EXPECT_TRUE(cliente.files.has("C:\\windows\\TurnaliaFree\\uninstall.exe"));
  for (const std::string& f : {std::string("C:\\Program Files (x86)\\MySQL"), kRaiz + "\\BackUp", kRaiz + "\\Utils"})
    EXPECT_FALSE(cliente.files.folderExists(f)) << f;
  EXPECT_EQ(cliente.frm->UpdateEngine1.TempDirectory, "./temp");
}

TEST_F(Preparacion, AFolderThatCannotBeCreatedEndsTheRunNamingIt) {
  for (const std::string& bloqueada : {std::string("C:\\Program Files (x86)\\MySQL"), kRaiz + "\\Temp",
                                       std::string("C:\\windows\\TurnaliaFree")}) {
    Banco t;
    t.preparar();
    t.files.put(bloqueada, "un fichero en su lugar");
    EXPECT_EQ(t.error([&] { prepararInstalacion(*t.frm); }),
              "No fue posible o no tiene privilegios para crear el directorio " + bloqueada + " !");
  }
}

namespace {
struct Aplicacion : ::testing::Test, Banco {
  void SetUp() override {
    preparar();
    files.shortNames[kRaiz] = "C:\\PROGRA~2\\TURNAL~1";
    files.shortNames[kRaiz + "\\KVT_service.exe"] = "C:\\PROGRA~2\\TURNAL~1\\KVT_SE~1.EXE";
    files.put("C:\\Descargas\\Temp\\TurnaliaFree.zip",
              zipAlmacenado({{"TurnaliaFree.exe", "MZ"}, {"KVT_service.exe", "MZ"}, {"KVT_zkteco.exe", "MZ"},
                             {"Informes/plantilla.txt", "plantilla"}}));
  }
};
}  // namespace

TEST_F(Aplicacion, UnpacksIntoTheRootRegistersMissingServicesAndStartsBoth) {
  files.put(kRaiz + "\\TurnaliaFree.exe", "MZ viejo");
  // The installed-programs entry comes last and is not part of this test.
  error([&] { EjecutarComando4N(*frm); });
  EXPECT_EQ(files.content(kRaiz + "\\TurnaliaFree.exe"), "MZ");
  EXPECT_EQ(files.content(kRaiz + "\\Informes\\plantilla.txt"), "plantilla");
  EXPECT_TRUE(files.has("C:\\Descargas\\Temp\\TurnaliaFree.zip"));  // the package stays
  // The folder in its short form, the program's own name in its long form.
  ASSERT_EQ(processes.started.size(), 2u);
  const std::string cmd = "C:\\Windows\\SysWOW64\\cmd.exe /c ";
  EXPECT_EQ(processes.started[0], cmd + "C:\\PROGRA~2\\TURNAL~1\\KVT_service.exe -install -silent");
  EXPECT_EQ(processes.started[1], cmd + "C:\\PROGRA~2\\TURNAL~1\\KVT_zkteco.exe -install -silent");
  EXPECT_TRUE(services.find("srvKVT_service")->started);
  EXPECT_TRUE(services.find("srvKVT_zkteco")->started);
  auto l = mensajes();
  std::vector<std::string> esperado = {"check if TurnaliaFree package file exists ...", "Application file exists !",
                                       "expanding Application file C:\\Descargas\\Temp\\TurnaliaFree.zip",
                                       "Instaling utils service ...", "instalado", "starting KVT service ...",
                                       "Instaling zkteco service ...", "instalado", "starting zkteco service ..."};
  auto it = std::find(l.begin(), l.end(), esperado[0]);
  ASSERT_LE(esperado.size(), (size_t)(l.end() - it));
  EXPECT_EQ(std::vector<std::string>(it, it + esperado.size()), esperado);
}

TEST_F(Aplicacion, RegisteredServicesAreOnlyStartedAndARunningOneDoesNotStopTheRun) {
  services.services.push_back({"srvKVT_service", "KVT"});
  services.services.back().startRefused = true;  // already running
  services.services.push_back({"srvKVT_zkteco", "ZK"});
  std::string e = error([&] { EjecutarComando4N(*frm); });
  EXPECT_TRUE(processes.started.empty());
  EXPECT_TRUE(services.find("srvKVT_zkteco")->started);
  EXPECT_EQ(e.find("srvKVT"), std::string::npos) << e;
}
