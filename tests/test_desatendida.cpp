// Unattended runs and exit codes: the command line, what ends a run before its window, the
// outcome's code, and silent installations and uninstallations over a fake machine.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/argumentos.h"
#include "app/desatendida.h"
#include "app/salida.h"
#include "core/mensajes.h"
#include "tests/fakes/bancos.h"

using namespace tf;

namespace {

const char* const kTitulo = "TurnaliaFree\x99 - Instalador";
const char* const kFalloDbms = "Fichero DBMS no fue descargado, instalaci\xF3n detenida !";

std::vector<std::string> sin(std::vector<std::string> l, const std::vector<std::string>& quitar) {
  for (const std::string& q : quitar) l.erase(std::remove(l.begin(), l.end(), q), l.end());
  return l;
}

bool contiene(const std::vector<std::string>& l, const std::string& s) {
  return std::find(l.begin(), l.end(), s) != l.end();
}

// A silent run over a prepared machine, wired as the program's entry wires it.
template <class B>
struct Desatendida : B {
  UiDesatendida silenciosa{this->log(), [this] { ++bombeos; }};
  UpdateUiDesatendida silenciosaUpd{silenciosa};
  int bombeos = 0;

  int ejecutar(std::vector<std::string> args) {
    this->otraUi = &silenciosa;
    this->otraUpdUi = &silenciosaUpd;
    this->frm = std::make_unique<TfrmPrincipal>(this->puertos(), args);
    this->frm->UpdateEngine1.conectar(this->puertosActualizacion());
    this->frm->FormCreate();
    if (!args.empty()) this->frm->procesarParametros();
    int codigo = ejecutarDesatendida(*this->frm);
    this->frm->FormDestroy();
    return codigo;
  }
  bool sinVentana() { return this->ui.boxes.empty() && this->ui.errors.empty() && this->updUi.shown.empty(); }
};

}  // namespace

TEST(Argumentos, SwitchesAreReadInAnyCaseAndPlaceAndTheUnknownAreNamed) {
  struct Caso {
    std::vector<std::string> args;
    bool desinstalador, silencioso, ayuda, sinEscritorio, sinMenu;
    std::vector<std::string> errores;
  } casos[] = {
      {{}, false, false, false, false, false, {}},
      {{"-silent"}, false, true, false, false, false, {}},
      {{"-SILENT", "-No_Desktop_Shortcut", "-no_startmenu_shortcut"}, false, true, false, true, true, {}},
      {{"-no_downloads", "-m", "-silent"}, false, true, false, false, false, {}},
      {{"-ip", "SERVIDOR", "-silent"}, false, true, false, false, false, {}},
      {{"-IP", "-silent"}, false, false, false, false, false, {}},  // the server's name, as discovery reads it
      {{"-silent", "-ip", "SERVIDOR"},
       false, true, false, false, false,
       {"La opci\xF3n -ip debe ser la primera, seguida del nombre del servidor"}},
      {{"-ip"}, false, false, false, false, false, {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"-ip", "", "-silent"}, false, true, false, false, false, {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"kvt", "-silent"}, true, true, false, false, false, {}},
      {{"kvt", "-silent"}, false, true, false, false, false, {"Opci\xF3n desconocida: kvt"}},
      {{"-?"}, false, false, true, false, false, {}},
      {{"-Help", "-silent"}, true, true, true, false, false, {}},
      {{"/silent"}, false, false, false, false, false, {"Opci\xF3n desconocida: /silent"}},
      {{"-silent", "-quiet", "x"},
       false, true, false, false, false,
       {"Opci\xF3n desconocida: -quiet", "Opci\xF3n desconocida: x"}},
  };
  for (const Caso& c : casos) {
    std::string nombre;
    for (const auto& a : c.args) nombre += "[" + a + "]";
    Argumentos a = leerArgumentos(c.args, c.desinstalador);
    EXPECT_EQ(a.silencioso, c.silencioso) << nombre;
    EXPECT_EQ(a.ayuda, c.ayuda) << nombre;
    EXPECT_EQ(a.sinAccesoEscritorio, c.sinEscritorio) << nombre;
    EXPECT_EQ(a.sinAccesoMenu, c.sinMenu) << nombre;
    EXPECT_EQ(a.errores, c.errores) << nombre;
  }
}

TEST(Salida, EveryOutcomeHasItsCodeInBothModes) {
  struct Caso {
    Desenlace d;
    int asistente, silencioso;
  } casos[] = {
      {Desenlace::Pendiente, 1602, 1603},  // left before anything ran; a silent run that reached no outcome failed
      {Desenlace::Instalado, 0, 0},
      {Desenlace::Fallido, 1603, 1603},
      {Desenlace::NadaQueDesinstalar, 0, 0},
      {Desenlace::Desinstalado, 0, 0},
      {Desenlace::DesinstalacionFallida, 1603, 1603},
  };
  for (const Caso& c : casos) {
    EXPECT_EQ(codigoSalida(c.d, false), c.asistente) << (int)c.d;
    EXPECT_EQ(codigoSalida(c.d, true), c.silencioso) << (int)c.d;
  }
}

// Before the window: the bad command line of a silent run, the help, another copy; in that order,
// and the lock taken only by a run that goes on.
TEST(Salida, WhatEndsTheProgramBeforeItsWindow) {
  struct Caso {
    std::vector<std::string> args;
    bool otraCopia;
    bool termina;
    int codigo;
    bool pideInstancia;
    std::string caja;                  // the box's text (wizard) or its log line (silent)
    std::vector<std::string> lineas;   // other log lines
  } casos[] = {
      {{"-silent", "-quiet"}, false, true, 87, false, "", {"Opci\xF3n desconocida: -quiet", "C\xF3" "digo de salida: 87"}},
      {{"-silent", "-quiet", "-?"}, true, true, 87, false, "", {"Opci\xF3n desconocida: -quiet", "C\xF3" "digo de salida: 87"}},
      {{"-quiet"}, false, false, 0, true, "", {}},  // the wizard ignores what it does not know
      {{"-?"}, true, true, 0, false, textoAyuda(), {}},
      {{"-silent", "-help"}, true, true, 0, false, textoAyuda(), {"C\xF3" "digo de salida: 0"}},
      {{}, true, true, 1618, true, kMensajeOtraCopia, {}},
      {{"-silent"}, true, true, 1618, true, kMensajeOtraCopia, {"C\xF3" "digo de salida: 1618"}},
      {{"-silent"}, false, false, 0, true, "", {}},
  };
  for (const Caso& c : casos) {
    MaquinaFalsa m;
    Argumentos a = leerArgumentos(c.args, false);
    UiDesatendida silenciosa(m.log(), nullptr);
    Ui& ui = a.silencioso ? static_cast<Ui&>(silenciosa) : m.ui;
    bool pedida = false;
    int codigo = -1;
    std::string nombre = std::to_string(c.args.size()) + (c.args.empty() ? "" : c.args.back());
    EXPECT_EQ(terminaAntesDeLaVentana(a, [&] { pedida = true; return !c.otraCopia; }, ui, m.log(), codigo), c.termina)
        << nombre;
    if (c.termina) {
      EXPECT_EQ(codigo, c.codigo) << nombre;
    }
    EXPECT_EQ(pedida, c.pideInstancia) << nombre;
    std::vector<std::string> lineas = m.mensajes();
    if (a.silencioso) {
      EXPECT_TRUE(m.ui.boxes.empty()) << nombre;
      if (!c.caja.empty()) {  // the box as one line, before the exit code's
        ASSERT_FALSE(lineas.empty()) << nombre;
        const std::string inicio = std::string(kTitulo) + ": " + c.caja.substr(0, c.caja.find('\n'));
        EXPECT_EQ(lineas[0].rfind(inicio, 0), 0u) << lineas[0];
        EXPECT_EQ(lineas[0].find('\n'), std::string::npos);
        lineas.erase(lineas.begin());
      }
    } else if (!c.caja.empty()) {
      ASSERT_EQ(m.ui.boxes.size(), 1u) << nombre;
      EXPECT_EQ(m.ui.boxes[0].text, c.caja);
      EXPECT_EQ(m.ui.boxes[0].caption, kTitulo);
    } else {
      EXPECT_TRUE(m.ui.boxes.empty()) << nombre;
    }
    EXPECT_EQ(lineas, c.lineas) << nombre;
  }
}

struct InstalacionDesatendida : ::testing::Test, Desatendida<BancoInstalacion> {
  void SetUp() override { preparar(); }
};

// The same machine through the wizard and silently: the same lines, less the pages a person
// walks through, plus the mode, the licence and the exit code.
TEST_F(InstalacionDesatendida, WritesTheWizardsLinesPlusItsOwnThreeAndExitsZero) {
  BancoInstalacion asistente;
  asistente.preparar();
  asistente.files.put("C:\\Descargas/Temp/Licencia_KVT.txt", "Licencia");
  asistente.frm = std::make_unique<TfrmPrincipal>(asistente.puertos(), std::vector<std::string>{"-no_downloads"});
  asistente.frm->UpdateEngine1.conectar(asistente.puertosActualizacion());
  asistente.frm->FormCreate();
  asistente.frm->procesarParametros();
  asistente.frm->alPulsar("btnAvanzar");
  asistente.frm->form["chkAceptarCondiciones"].checked = true;
  asistente.frm->alPulsar("btnAceptarLicencia");
  asistente.frm->alPulsar("btnInstalar");
  asistente.frm->alPulsar("btnSalir1");
  asistente.frm->FormDestroy();
  ASSERT_EQ(asistente.fallo(), "");
  EXPECT_EQ(codigoSalida(asistente.frm->desenlace, false), 0);

  EXPECT_EQ(ejecutar({"-no_downloads"}), 0);
  EXPECT_EQ(fallo(), "");
  EXPECT_TRUE(sinVentana());
  EXPECT_GT(bombeos, 0);

  std::vector<std::string> esperado =
      sin(asistente.mensajes(), {"Mostrando panel pnlLicencia ...", "Mostrando panel pnlOpciones ..."});
  auto bienvenida = std::find(esperado.begin(), esperado.end(), "Mostrando panel pnlBienvenida ...");
  ASSERT_NE(bienvenida, esperado.end());
  esperado.insert(bienvenida + 1, {kLineaModoInstalacion, kLineaLicenciaAceptada});
  esperado.insert(std::find(esperado.begin(), esperado.end(), msgEliminandoTemporal), "C\xF3" "digo de salida: 0");
  EXPECT_EQ(mensajes(), esperado);
  // What landed is what the wizard left.
  auto claves = [](const std::vector<std::string>& rutas) {
    std::vector<std::string> out;
    for (const std::string& r : rutas)
      if (r.find("Licencia_KVT.txt") == std::string::npos) out.push_back(FakeFiles::key(r));
    return out;
  };
  EXPECT_EQ(claves(files.paths()), claves(asistente.files.paths()));
  EXPECT_EQ(links.saved.size(), asistente.links.saved.size());
  EXPECT_EQ(internet.posts.size(), 1u);
}

TEST_F(InstalacionDesatendida, TheShortcutSwitchesClearTheirBoxesEvenAfterNoDownloads) {
  struct Caso {
    std::vector<std::string> args;
    bool escritorio, menu;
  } casos[] = {
      {{"-no_downloads"}, true, true},
      {{"-no_downloads", "-silent", "-no_desktop_shortcut"}, false, true},
      {{"-NO_STARTMENU_SHORTCUT", "-no_downloads"}, true, false},
      {{"-no_downloads", "-no_startmenu_shortcut", "-no_desktop_shortcut"}, false, false},
  };
  for (const Caso& c : casos) {
    Desatendida<BancoInstalacion> t;
    t.preparar();
    EXPECT_EQ(t.ejecutar(c.args), 0) << c.args.back();
    EXPECT_EQ(t.links.find(t.sys.desktop + "\\Turnalia Free.lnk") != nullptr, c.escritorio) << c.args.back();
    EXPECT_EQ(t.links.find(t.sys.programs + "\\TurnaliaFree\\TurnaliaFree.lnk") != nullptr, c.menu) << c.args.back();
    EXPECT_EQ(t.links.find(t.sys.programs + "\\TurnaliaFree\\Desinstalar.lnk") != nullptr, c.menu) << c.args.back();
  }
}

// Failures end on 1603 with their message in the log and no box: a step's error, a step that
// shows a failure and goes on, and the report's post whose error box becomes a line (the
// installation itself succeeded, so that one still exits 0).
TEST_F(InstalacionDesatendida, FailuresAndBoxesBecomeLinesAndTheCodeFollowsTheOutcome) {
  struct Caso {
    const char* nombre;
    std::function<void(Desatendida<BancoInstalacion>&)> preparar;
    int codigo;
    std::string linea;
  } casos[] = {
      {"no database package", [](auto& t) { t.files.deleteFile("C:\\Descargas\\dbms.zip"); }, 1603, kFalloDbms},
      {"no utilities", [](auto& t) { t.files.deleteFile("C:\\Descargas\\utils.zip"); }, 1603,
       "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal"},
      {"report not sent",
       [](auto& t) {
         t.internet.sendFails = true;
         t.internet.messages[12029] = "No se puede conectar con el servidor";
       },
       0, std::string(kTitulo) + ": No se puede conectar con el servidor"},
  };
  for (const Caso& c : casos) {
    Desatendida<BancoInstalacion> t;
    t.preparar();
    c.preparar(t);
    EXPECT_EQ(t.ejecutar({"-no_downloads", "-silent"}), c.codigo) << c.nombre;
    EXPECT_TRUE(t.sinVentana()) << c.nombre;
    auto l = t.mensajes();
    EXPECT_TRUE(contiene(l, c.linea)) << c.nombre;
    EXPECT_TRUE(contiene(l, "C\xF3" "digo de salida: " + std::to_string(c.codigo))) << c.nombre;
    EXPECT_EQ(l.back().rfind(msgFinalizandoEjecucion, 0), 0u) << c.nombre;
  }
}

TEST_F(InstalacionDesatendida, TheClientRoadRunsSilentlyWhenAServerIsNamed) {
  EXPECT_EQ(ejecutar({"-ip", "SERVIDOR", "-silent", "-no_desktop_shortcut"}), 1603);  // no archives served
  EXPECT_EQ(frm->modoTicador, 1);
  EXPECT_TRUE(sinVentana());
  EXPECT_TRUE(contiene(mensajes(), "No se encontr\xF3 el fichero \"turnaliafree.zip\" en el directorio temporal"));
  EXPECT_FALSE(links.find(sys.desktop + "\\Software Ticador.lnk"));
  EXPECT_TRUE(links.find(sys.programs + "\\TurnaliaFree\\Software Ticador.lnk"));
  EXPECT_TRUE(registry.writes.empty());
}

TEST(UpdateUiDesatendida, AnswersWithTheDefaultButtonAndLogsEachBox) {
  MaquinaFalsa m;
  UiDesatendida ui(m.log(), nullptr);
  UpdateUiDesatendida upd(ui);
  upd.information("Nueva versi\xF3n\r\ndisponible");
  EXPECT_TRUE(upd.askYesNo("Download update files ?"));
  upd.showError("System error : 12029");
  EXPECT_TRUE(upd.showLicence("EULA", "OK", "Acepto", "No acepto", "texto", false));
  EXPECT_TRUE(upd.showWhatsNew("Novedades", "OK", "Cancelar", "texto", true));
  std::string u, p;
  EXPECT_FALSE(upd.login("Connect to servidor", u, p));
  const std::string t = std::string(kTitulo) + ": ";
  EXPECT_EQ(m.mensajes(), (std::vector<std::string>{
                              t + "Nueva versi\xF3n disponible", t + "Download update files ? -> S\xED",
                              t + "System error : 12029", "EULA: acuerdo aceptado con la opci\xF3n -silent",
                              "Novedades: texto no mostrado en una ejecuci\xF3n desatendida",
                              "Connect to servidor: no hay credenciales en una ejecuci\xF3n desatendida"}));
}

struct DesinstalacionDesatendida : ::testing::Test, Desatendida<BancoDesinstalacion> {};

TEST_F(DesinstalacionDesatendida, RemovesWithoutConfirmationAndExitsWithTheOutcomesCode) {
  struct Caso {
    const char* nombre;
    std::function<void(Desatendida<BancoDesinstalacion>&)> preparar;
    int codigo;
    std::string panel, linea;
  } casos[] = {
      {"installed", [](auto&) {}, 0, "pnlFinalizacion", "El servicio KVTDB est\xE1 instalado"},
      {"nothing to uninstall", [](auto& t) { t.registry.keys.clear(); }, 0, "pnlFinalizacion",
       "Mostrando panel pnlFinalizacion ..."},
      {"refused root", [](auto& t) { t.sys.programFiles = ""; }, 1603, "pnlDesinstalar",
       std::string(kTitulo) +
           ": El directorio de instalaci\xF3n \"\\TurnaliaFree\" no es v\xE1lido, desinstalaci\xF3n detenida !."},
  };
  for (const Caso& c : casos) {
    Desatendida<BancoDesinstalacion> t;
    c.preparar(t);
    EXPECT_EQ(t.ejecutar({"kvt", "-silent"}), c.codigo) << c.nombre;
    EXPECT_EQ(t.frm->panelVisible(), c.panel) << c.nombre;
    EXPECT_TRUE(t.sinVentana()) << c.nombre;
    auto l = t.mensajes();
    EXPECT_TRUE(contiene(l, c.linea)) << c.nombre;
    EXPECT_TRUE(contiene(l, kLineaModoDesinstalacion)) << c.nombre;
    EXPECT_FALSE(contiene(l, kLineaLicenciaAceptada)) << c.nombre;
    EXPECT_TRUE(contiene(l, "C\xF3" "digo de salida: " + std::to_string(c.codigo))) << c.nombre;
  }
  Desatendida<BancoDesinstalacion> t;
  t.ejecutar({"kvt", "-silent"});
  EXPECT_FALSE(t.registry.hasKey(RegistryRoot::LocalMachine, kBancoEntrada));
  EXPECT_FALSE(t.files.has(t.sys.desktop + "\\Turnalia Free.lnk"));
}

// The wizard's outcomes as the steps leave them, read when the window closes.
TEST(Salida, TheWizardsOutcomeFollowsWhatThePersonDid) {
  {  // left on the welcome panel
    MaquinaFalsa m;
    TfrmPrincipal frm(m.puertos(), {});
    frm.FormCreate();
    frm.alPulsar("btnSalir");
    EXPECT_EQ(codigoSalida(frm.desenlace, false), 1602);
  }
  {  // Salir on the uninstall panel, then a run that failed, then one that went through
    BancoDesinstalacion m;
    m.arrancar();
    EXPECT_EQ(codigoSalida(m.frm->desenlace, false), 1602);
    m.frm->form["lblDirectorioRaizInstalacion"].caption = "C:\\";
    m.frm->form["chkKVTDesinstalar"].checked = true;
    m.pulsar("chkKVTDesinstalar");
    m.pulsar("btnDesinstalar");
    EXPECT_EQ(codigoSalida(m.frm->desenlace, false), 1603);
    m.frm->form["lblDirectorioRaizInstalacion"].caption = kBancoRaiz;
    m.pulsar("btnDesinstalar");
    EXPECT_EQ(codigoSalida(m.frm->desenlace, false), 0);
  }
}
