// The utilities step: where the archive's entries go, the registrations and the Path.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "install/utilidades.h"
#include "tests/fakes/maquina.h"
#include "tests/fakes/zip_memoria.h"

using namespace tf;

namespace {

const std::string kUtils = "C:\\Program Files (x86)\\TurnaliaFree\\Utils";
const std::string kClave = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::string kUrl = "https://www.turnaliafree.com/version/downloads/utils.zip";

struct Utilidades : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void arrancar(std::vector<std::string> args = {}) {
    frm = &MaquinaFalsa::arrancar(args);
    files.mkdir(kUtils);
    files.mkdir("C:\\Program Files (x86)\\TurnaliaFree\\Temp");
  }
  static std::string archivo(std::vector<std::pair<std::string, std::string>> extra = {}) {
    std::vector<std::pair<std::string, std::string>> e = {
        {"biokey.ocx", "ocx"}, {"zkemkeeper.dll", "dll"}, {"midas.dll", "dll"}, {"herramienta.exe", "exe"}};
    e.insert(e.end(), extra.begin(), extra.end());
    return zipAlmacenado(e);
  }
  std::vector<std::string> registrados() {
    std::vector<std::string> r;
    for (const auto& s : shell.started) r.push_back(s.program + " " + s.parameters);
    return r;
  }
};

}  // namespace

TEST_F(Utilidades, DownloadedArchivePlacedByKindRegisteredAndUtilsOnThePath) {
  registry.put(RegistryRoot::LocalMachine, kClave, "Path", {RegistryType::String, "%SystemRoot%\\system32"});
  internet.urls[kUrl].body = archivo();
  arrancar();
  instalarUtilidades(*frm);
  EXPECT_EQ(files.content("C:\\windows\\syswow64\\biokey.ocx"), "ocx");
  EXPECT_EQ(files.content("C:\\windows\\syswow64\\midas.dll"), "dll");
  EXPECT_EQ(files.content(kUtils + "\\herramienta.exe"), "exe");
  EXPECT_FALSE(files.has("C:\\windows\\syswow64\\herramienta.exe"));
  const std::string regsvr32 = "C:\\Windows\\SysWOW64\\regsvr32.exe";  // never by its bare name
  EXPECT_EQ(registrados(), (std::vector<std::string>{regsvr32 + " /s biokey.ocx", regsvr32 + " /s zkemkeeper.dll",
                                                     regsvr32 + " /s midas.dll"}));
  const RegistryValue* path = registry.value(RegistryRoot::LocalMachine, kClave, "Path");
  EXPECT_EQ(path->text, "%SystemRoot%\\system32;" + kUtils);
  EXPECT_EQ(path->type, RegistryType::ExpandString);
  EXPECT_EQ(shell.broadcasts, 1);
  EXPECT_TRUE(frm->form["imgOK"].visible);
  EXPECT_FALSE(ui.busy);
  auto l = mensajes();
  EXPECT_NE(std::find(l.begin(), l.end(), "Descargando librer\xED" "as ..."), l.end());
  EXPECT_EQ(frm->form["lblMensajeAviso"].caption, "Descargando utilidades ...");
}

TEST_F(Utilidades, ThePathGetsTheFolderOnceAsAWholeEntry) {
  struct Caso {
    std::string antes;  // "<none>": no Path value at all
    std::string despues;  // "" when nothing may be written
  };
  const std::vector<Caso> casos = {
      {"C:\\x;" + kUtils, ""},
      {"C:\\x;" + kUtils + "\\", ""},
      {"C:\\x;C:\\PROGRAM FILES (X86)\\TURNALIAFREE\\UTILS", ""},
      {"\"" + kUtils + "\";C:\\x", ""},
      {"C:\\x;" + kUtils + "2", "C:\\x;" + kUtils + "2;" + kUtils},
      {"C:\\x;", "C:\\x;;" + kUtils},
      {"", kUtils},
      {"<none>", kUtils},
  };
  for (const Caso& c : casos) {
    MaquinaFalsa m;
    if (c.antes != "<none>") m.registry.put(RegistryRoot::LocalMachine, kClave, "Path", {RegistryType::String, c.antes});
    else m.registry.putKey(RegistryRoot::LocalMachine, kClave);
    incluirUtilidadesEnPath(m.arrancar());
    const RegistryValue* v = m.registry.value(RegistryRoot::LocalMachine, kClave, "Path");
    if (c.despues.empty()) {
      EXPECT_TRUE(m.registry.writes.empty()) << c.antes;
      EXPECT_EQ(m.shell.broadcasts, 0) << c.antes;
    } else {
      ASSERT_TRUE(v) << c.antes;
      EXPECT_EQ(v->text, c.despues) << c.antes;
      EXPECT_EQ(v->type, RegistryType::ExpandString) << c.antes;
    }
  }
}

// A Path of another type, or a key that cannot be read, would be replaced by the Utils folder
// alone and every other entry lost: it is logged and left as it is.
TEST_F(Utilidades, OnlyATextPathIsRewritten) {
  const std::string noSeAnade = "; no se a\xF1" "ade " + kUtils;
  struct Caso {
    RegistryType tipo;
    bool legible;
    std::string linea;
  } casos[] = {
      {RegistryType::Number, true, "El Path del sistema no es un texto" + noSeAnade},
      {RegistryType::Other, true, "El Path del sistema no es un texto" + noSeAnade},
      {RegistryType::String, false,
       "No se puede leer el Path del sistema (No se puede abrir la clave " + kClave + ")" + noSeAnade},
  };
  for (const Caso& c : casos) {
    MaquinaFalsa m;
    m.registry.put(RegistryRoot::LocalMachine, kClave, "Path", {c.tipo, "C:\\x", 7});
    if (!c.legible) m.registry.refused.push_back(kClave);
    incluirUtilidadesEnPath(m.arrancar());
    EXPECT_TRUE(m.registry.writes.empty());
    EXPECT_EQ(m.mensajes().back(), c.linea);
  }
}

TEST_F(Utilidades, APathThatCannotBeReadBackExactlyIsLeftAlone) {
  RegistryValue v{RegistryType::ExpandString, "C:\\?????;C:\\x"};
  v.exact = false;
  registry.put(RegistryRoot::LocalMachine, kClave, "Path", v);
  arrancar();
  incluirUtilidadesEnPath(*frm);
  EXPECT_TRUE(registry.writes.empty());
}

TEST_F(Utilidades, OfflineCopiesTheArchiveFromTheInstallersFolder) {
  registry.putKey(RegistryRoot::LocalMachine, kClave);
  files.put("C:\\Descargas\\utils.zip", archivo());
  arrancar({"-no_downloads"});
  instalarUtilidades(*frm);
  EXPECT_TRUE(internet.calls.empty());
  EXPECT_TRUE(files.has("C:\\windows\\syswow64\\zkemkeeper.dll"));
  EXPECT_EQ(registrados().size(), 3u);
}

TEST_F(Utilidades, AMissingArchiveIsAnAlertAndTheRunGoesOnWithoutRegistrations) {
  arrancar();
  instalarUtilidades(*frm);  // the server has no such file
  EXPECT_FALSE(frm->form["imgOK"].visible);
  EXPECT_EQ(frm->form["lblFinalizacion2"].caption, "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal");
  EXPECT_TRUE(shell.started.empty());
  EXPECT_TRUE(registry.writes.empty());
}

TEST_F(Utilidades, AFailedExtractionIsAnAlertButRegistrationAndPathStillRun) {
  registry.putKey(RegistryRoot::LocalMachine, kClave);
  internet.urls[kUrl].body = archivo({{"../fuera.dll", "x"}});
  arrancar();
  instalarUtilidades(*frm);
  EXPECT_FALSE(frm->form["imgOK"].visible);
  EXPECT_NE(frm->form["lblFinalizacion2"].caption.find("fuera.dll"), std::string::npos);
  EXPECT_FALSE(files.has("C:\\windows\\fuera.dll"));
  EXPECT_EQ(registrados().size(), 3u);
  EXPECT_EQ(registry.value(RegistryRoot::LocalMachine, kClave, "Path")->text, kUtils);
  EXPECT_FALSE(ui.busy);
}
