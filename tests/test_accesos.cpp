// The shortcuts: which are made, where, pointing at what, and what the log says.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/principal.h"
#include "install/accesos.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {

const std::string kMenu = "C:\\Users\\Admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\TurnaliaFree";
const std::string kEscritorio = "C:\\Users\\Public\\Desktop";
const std::string kRaiz = "C:\\Program Files (x86)\\TurnaliaFree";

struct Accesos : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void SetUp() override {
    files.mkdir(kEscritorio);
    files.mkdir(sys.programs);
    frm = &arrancar();
  }
  std::vector<std::string> lineas() {
    std::vector<std::string> out;
    for (const auto& l : mensajes())
      if (l.find("Shortcut") != std::string::npos || l.find("Program Folder") != std::string::npos) out.push_back(l);
    return out;
  }
};

}  // namespace

TEST_F(Accesos, FullInstallationMakesThreeLinksWithTheirTargetsAndLogLines) {
  crearAccesosDirectos(*frm);
  const ShellLink* escritorio = links.find(kEscritorio + "\\Turnalia Free.lnk");
  ASSERT_TRUE(escritorio);
  EXPECT_EQ(escritorio->target, kRaiz + "\\TurnaliaFree.exe");
  EXPECT_EQ(escritorio->workingFolder, kRaiz + "\\");
  EXPECT_EQ(escritorio->iconFile, kRaiz + "\\TurnaliaFree.exe");
  EXPECT_EQ(escritorio->iconIndex, 0);
  EXPECT_EQ(escritorio->description, "TurnaliaFree");
  EXPECT_EQ(escritorio->showCommand, 1);
  EXPECT_EQ(escritorio->arguments, "");
  ASSERT_TRUE(links.find(kMenu + "\\TurnaliaFree.lnk"));
  const ShellLink* desinstalar = links.find(kMenu + "\\Desinstalar.lnk");
  ASSERT_TRUE(desinstalar);
  EXPECT_EQ(desinstalar->target, "C:\\windows\\TurnaliaFree\\uninstall.exe");
  EXPECT_EQ(desinstalar->workingFolder, "C:\\windows\\TurnaliaFree\\");
  EXPECT_EQ(desinstalar->description, "Desinstalar");
  EXPECT_EQ(lineas(), (std::vector<std::string>{"Creating a Shortcut on the Desktop ...",
                                                "Application Shortcut created on the Desktop",
                                                "Creating a Shortcut on the Windows Start Menu ...",
                                                "Application Shortcut created on the Windows Start Menu",
                                                "Uninstall Shortcut created on the Windows Start Menu"}));
}

TEST_F(Accesos, TheClientSharesTheFolderAndTheUninstallLink) {
  crearAccesosDirectosTicador(*frm);
  ASSERT_TRUE(links.find(kEscritorio + "\\Software Ticador.lnk"));
  EXPECT_EQ(links.find(kMenu + "\\Software Ticador.lnk")->target, kRaiz + "\\kvt_ticador.exe");
  EXPECT_EQ(links.find(kMenu + "\\Software Ticador.lnk")->description, "Software Ticador");
  EXPECT_TRUE(links.find(kMenu + "\\Desinstalar.lnk"));
}

TEST_F(Accesos, TheBoxesDecideWhatIsWrittenAndLogged) {
  frm->form["chkCreateDesktopShortcut"].checked = false;
  frm->form["chkCreateStartMenuShortcut"].checked = false;
  crearAccesosDirectos(*frm);
  EXPECT_TRUE(links.saved.empty());
  EXPECT_TRUE(lineas().empty());

  frm->form["chkCreateStartMenuShortcut"].checked = true;
  crearAccesosDirectos(*frm);
  EXPECT_TRUE(files.folderExists(kMenu));
  EXPECT_EQ(links.saved.size(), 2u);
  EXPECT_EQ(lineas().front(), "Creating a Shortcut on the Windows Start Menu ...");
}

TEST_F(Accesos, FailuresAreOnlyLogged) {
  links.failFolders.push_back(kEscritorio);
  files.put(kMenu, "a file where the folder should be");
  crearAccesosDirectos(*frm);
  EXPECT_EQ(lineas(), (std::vector<std::string>{"Creating a Shortcut on the Desktop ...",
                                                "Application Shortcut not created on the Desktop",
                                                "Creating a Shortcut on the Windows Start Menu ...",
                                                "Program Folder has not been created !"}));
}

TEST_F(Accesos, AFolderTheSystemCannotNameGetsNoLink) {
  sys.desktop.clear();
  sys.programs.clear();
  crearAccesosDirectos(*frm);
  EXPECT_TRUE(links.saved.empty());  // never "\\Turnalia Free.lnk" at the drive's root
  EXPECT_EQ(lineas(), (std::vector<std::string>{"Creating a Shortcut on the Desktop ...",
                                                "Application Shortcut not created on the Desktop",
                                                "Creating a Shortcut on the Windows Start Menu ...",
                                                "Program Folder has not been created !"}));
}

// Redirected desktops live on network shares; a path that names no share, or a device, is no folder.
TEST_F(Accesos, ANetworkDesktopGetsItsLink) {
  sys.desktop = "\\\\servidor\\perfiles\\ana\\Escritorio";
  files.mkdir(sys.desktop);
  crearAccesosDirectos(*frm);
  EXPECT_TRUE(links.find(sys.desktop + "\\Turnalia Free.lnk"));
  for (const char* c : {"\\\\servidor", "\\\\?\\C:\\Escritorio", "\\\\.\\C:\\x", "\\\\s\\r\\..\\x"})
    EXPECT_FALSE(isCarpetaDeAccesos(c)) << c;
}

// A desktop named only in characters Windows-1252 lacks gets no link, says why, and the Start
// menu's links still follow.
TEST_F(Accesos, ADesktopOutsideWindows1252IsSkippedAndLogged) {
  sys.desktopUnnameable = true;
  crearAccesosDirectos(*frm);
  EXPECT_EQ(links.saved.size(), 2u);
  auto l = mensajes();
  auto it = std::find(l.begin(), l.end(), "Application Shortcut not created on the Desktop");
  ASSERT_TRUE(it - l.begin() >= 2);
  EXPECT_EQ(*(it - 2), "No se puede usar la ruta " + kEscritorio + ": contiene caracteres que el instalador no admite");
}

TEST(ShellLinker, ShowCodesMapToTheStoredWindowState) {
  FakeShellLinks links;
  for (auto [codigo, estado] : {std::pair{1, 7}, std::pair{2, 3}, std::pair{0, 1}, std::pair{5, 1}}) {
    ASSERT_TRUE(CreateShellLink(links, "C:\\a.lnk", "C:\\a.exe", "", codigo, 0, 0, "C:\\a.exe", "", "C:\\"));
    EXPECT_EQ(links.find("C:\\a.lnk")->showCommand, estado) << codigo;
  }
}
