// Unattended runs and exit codes: the command line, the outcome's code, and silent installations
// and uninstallations over a fake machine.
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

std::vector<std::string> sin(std::vector<std::string> l, const std::vector<std::string>& quitar) {
  for (const std::string& q : quitar) l.erase(std::remove(l.begin(), l.end(), q), l.end());
  return l;
}

bool contiene(const std::vector<std::string>& l, const std::string& s) {
  return std::find(l.begin(), l.end(), s) != l.end();
}

// A whole run over a prepared machine, as the program's entry runs it.
template <class B>
struct Desatendida : B {
  int ejecutar(std::vector<std::string> args) {
    int codigo = B::ejecutar(args);
    this->frm = this->programa->hayVentana() ? &this->programa->ventana() : nullptr;
    return codigo;
  }
};

}  // namespace

TEST(Argumentos, SwitchesAreReadInAnyCaseAndPlaceAndTheUnknownAreNamed) {
  struct Caso {
    std::vector<std::string> args;
    bool desinstalador, silencioso, ayuda, sinEscritorio, sinMenu;
    std::vector<std::string> errores;
    std::vector<size_t> inexactos = {};  // arguments the system could not give in Windows-1252
    std::vector<std::string> ilegibles = {};
    bool completa = false;
    std::string ficheroLog = "", errorLog = "";  // "-log": the path as typed, or why it cannot be used
  } casos[] = {
      {{}, false, false, false, false, false, {}},
      {{"-silent"}, false, true, false, false, false, {}},
      {{"-SILENT", "-No_Desktop_Shortcut", "-no_startmenu_shortcut"}, false, true, false, true, true, {}},
      {{"-no_downloads", "-m", "-silent"}, false, true, false, false, false, {}},
      {{"-ip", "SERVIDOR", "-silent"}, false, true, false, false, false, {}},
      // A name left empty by a script: the switch behind it still counts.
      {{"-IP", "-silent"}, false, true, false, false, false, {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"-ip", "/silent", "-no_desktop_shortcut"},
       false, true, false, true, false,
       {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"-silent", "-ip", "SERVIDOR"},
       false, true, false, false, false,
       {"La opci\xF3n -ip debe ser la primera, seguida del nombre del servidor"}},
      {{"-ip"}, false, false, false, false, false, {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"-ip", "", "-silent"}, false, true, false, false, false, {"Falta el nombre del servidor tras la opci\xF3n -ip"}},
      {{"kvt", "-silent"}, true, true, false, false, false, {}},
      {{"kvt", "-silent"}, false, true, false, false, false, {"Opci\xF3n desconocida: kvt"}},
      {{"-?"}, false, false, true, false, false, {}},
      {{"-Help", "-silent"}, true, true, true, false, false, {}},
      {{"/SILENT", "/no_desktop_shortcut", "/?"}, false, true, true, true, false, {}},
      {{"/silent", "/no_downloads", "/ip"},
       false, true, false, false, false,
       {"Opci\xF3n desconocida: /no_downloads", "Opci\xF3n desconocida: /ip"}},
      {{"-silent", "-quiet", "x"},
       false, true, false, false, false,
       {"Opci\xF3n desconocida: -quiet", "Opci\xF3n desconocida: x"}},
      // Refused in both modes: its "?" form would name another server.
      {{"-ip", "????", "-silent"}, false, true, false, false, false, {}, {1},
       {"El argumento \"????\" contiene caracteres que el instalador no puede leer: escr\xED" "balo sin ellos"}},
      {{"-silent", "-LOG", "C:\\Registros\\instalacion.log", "-full"}, false, true, false, false, false, {}, {}, {},
       true, "C:\\Registros\\instalacion.log"},
      {{"/log", "registros/x.log", "/Full", "kvt"}, true, false, false, false, false, {}, {}, {}, true, "registros/x.log"},
      // No name: refused in both modes.
      {{"-silent", "-log"}, false, true, false, false, false, {}, {}, {}, false, "", msgFaltaFicheroLog},
      // The named server's client or the full installation: only the wizard goes on, as the client.
      {{"-ip", "SERVIDOR", "-silent", "/full"}, false, true, false, false, false, {msgOpcionesIpYFull}},
  };
  for (const Caso& c : casos) {
    std::string nombre;
    for (const auto& a : c.args) nombre += "[" + a + "]";
    Argumentos a = leerArgumentos(c.args, c.desinstalador, c.inexactos);
    EXPECT_EQ(a.silencioso, c.silencioso) << nombre;
    EXPECT_EQ(a.ayuda, c.ayuda) << nombre;
    EXPECT_EQ(a.sinAccesoEscritorio, c.sinEscritorio) << nombre;
    EXPECT_EQ(a.sinAccesoMenu, c.sinMenu) << nombre;
    EXPECT_EQ(a.errores, c.errores) << nombre;
    EXPECT_EQ(a.ilegibles, c.ilegibles) << nombre;
    EXPECT_EQ(a.completa, c.completa) << nombre;
    EXPECT_EQ(a.ficheroLog, c.ficheroLog) << nombre;
    EXPECT_EQ(a.errorLog, c.errorLog) << nombre;
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
      {Desenlace::DesinstaladoAlReiniciar, 3010, 3010},
      {Desenlace::DesinstalacionFallida, 1603, 1603},
  };
  for (const Caso& c : casos) {
    EXPECT_EQ(codigoSalida(c.d, false), c.asistente) << (int)c.d;
    EXPECT_EQ(codigoSalida(c.d, true), c.silencioso) << (int)c.d;
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
  asistente.frm = &asistente.arrancar({"-no_downloads"});
  asistente.frm->alPulsar("btnAvanzar");
  asistente.frm->form["chkAceptarCondiciones"].checked = true;
  asistente.frm->alPulsar("btnAceptarLicencia");
  asistente.frm->alPulsar("btnInstalar");
  asistente.frm->alPulsar("btnSalir1");
  asistente.frm->FormDestroy();
  ASSERT_EQ(asistente.fallo(), "");
  EXPECT_EQ(codigoSalida(asistente.frm->estado.desenlace, false), 0);

  // Its log where "-log" says, relative to the working folder; nothing beside the program.
  files.current = "C:\\Trabajo";
  EXPECT_EQ(ejecutar({"-no_downloads", "-silent", "-log", "Registros\\instalacion.log"}), 0);
  EXPECT_EQ(fallo(), "");
  EXPECT_TRUE(ui.boxes.empty() && ui.errors.empty());
  EXPECT_GT(bombeos, 0);
  EXPECT_EQ(log().getFicheroLog(), "C:\\Trabajo\\Registros\\instalacion.log");
  EXPECT_EQ(sink.mutexNames, std::vector<std::string>{"C:/Trabajo/Registros/instalacion.log"});
  EXPECT_EQ(sink.files.count(asistente.log().getFicheroLog()), 0u);

  std::vector<std::string> esperado =
      sin(asistente.mensajes(), {"Mostrando panel pnlLicencia ...", "Mostrando panel pnlOpciones ..."});
  auto bienvenida = std::find(esperado.begin(), esperado.end(), "Mostrando panel pnlBienvenida ...");
  ASSERT_NE(bienvenida, esperado.end());
  esperado.insert(bienvenida + 1, {kLineaModoInstalacion, kLineaLicenciaAceptada});
  esperado.insert(std::find(esperado.begin(), esperado.end(), msgEliminandoTemporal), "C\xF3" "digo de salida: 0");
  EXPECT_EQ(mensajes(), esperado);
  // What landed is what the wizard left, the log's folders aside.
  auto claves = [](const std::vector<std::string>& rutas) {
    std::vector<std::string> out;
    for (const std::string& r : rutas)
      if (r.find("Licencia_KVT.txt") == std::string::npos && FakeFiles::key(r).rfind("c:\\trabajo", 0) != 0)
        out.push_back(FakeFiles::key(r));
    return out;
  };
  EXPECT_EQ(claves(files.paths()), claves(asistente.files.paths()));
  EXPECT_EQ(links.saved.size(), asistente.links.saved.size());
  EXPECT_EQ(internet.posts.size(), 1u);
}

// "-no_downloads" ends the wizard's own reading of the switches; the shortcut switches still count.
TEST_F(InstalacionDesatendida, TheShortcutSwitchesClearTheirBoxesWhereverTheyStand) {
  struct Caso {
    std::vector<std::string> args;
    bool escritorio, menu;
  } casos[] = {
      {{"-no_downloads", "-silent", "-no_desktop_shortcut"}, false, true},
      {{"-no_downloads", "-NO_STARTMENU_SHORTCUT", "-no_desktop_shortcut", "-silent"}, false, false},
  };
  for (const Caso& c : casos) {
    Desatendida<BancoInstalacion> t;
    t.preparar();
    EXPECT_EQ(t.ejecutar(c.args), 0);
    EXPECT_EQ(t.links.find(t.sys.desktop + "\\Turnalia Free.lnk") != nullptr, c.escritorio);
    EXPECT_EQ(t.links.find(t.sys.programs + "\\TurnaliaFree\\TurnaliaFree.lnk") != nullptr, c.menu);
  }
}

// A failure shown and gone past still ends on 1603; the report post's error box is a line and
// leaves a successful installation at 0; an uninstall error is its standard box's line and 1603.
TEST(Desatendida, FailuresAndBoxesBecomeLinesAndTheCodeFollowsTheOutcome) {
  Desatendida<BancoInstalacion> sinUtilidades;
  sinUtilidades.preparar();
  sinUtilidades.files.deleteFile("C:\\Descargas\\utils.zip");
  EXPECT_EQ(sinUtilidades.ejecutar({"-no_downloads", "-silent"}), 1603);
  EXPECT_TRUE(contiene(sinUtilidades.mensajes(), "No se encontr\xF3 el fichero \"utils.zip\" en el directorio temporal"));

  Desatendida<BancoInstalacion> sinInforme;
  sinInforme.preparar();
  sinInforme.internet.sendFails = true;
  sinInforme.internet.messages[12029] = "No se puede conectar con el servidor";
  EXPECT_EQ(sinInforme.ejecutar({"-no_downloads", "-silent"}), 0);
  EXPECT_TRUE(contiene(sinInforme.mensajes(), std::string(kTitulo) + ": No se puede conectar con el servidor"));

  Desatendida<BancoDesinstalacion> raizRechazada;
  raizRechazada.sys.programFiles = "";
  EXPECT_EQ(raizRechazada.ejecutar({"kvt", "-silent"}), 1603);
  EXPECT_TRUE(contiene(raizRechazada.mensajes(),
                       std::string(kTitulo) + ": El directorio de instalaci\xF3n \"\\TurnaliaFree\" no es v\xE1lido, "
                                              "desinstalaci\xF3n detenida !."));
  for (auto* t : {static_cast<MaquinaFalsa*>(&sinUtilidades), static_cast<MaquinaFalsa*>(&sinInforme),
                  static_cast<MaquinaFalsa*>(&raizRechazada)}) {
    EXPECT_TRUE(t->ui.boxes.empty() && t->ui.errors.empty());
    EXPECT_EQ(t->mensajes().back().rfind(msgFinalizandoEjecucion, 0), 0u);
  }
}

// The wizard's outcomes as the steps leave them, read when the window closes.
TEST(Salida, TheWizardsOutcomeFollowsWhatThePersonDid) {
  {  // left on the welcome panel
    MaquinaFalsa m;
    m.persona = [](TfrmPrincipal& frm) { frm.alPulsar("btnSalir"); };
    EXPECT_EQ(m.ejecutar({}), 1602);
  }
  {  // Salir on the uninstall panel, then a run that failed, then one that went through
    BancoDesinstalacion m;
    m.arrancar();
    EXPECT_EQ(codigoSalida(m.frm->estado.desenlace, false), 1602);
    m.frm->form["lblDirectorioRaizInstalacion"].caption = "C:\\";
    m.frm->form["chkKVTDesinstalar"].checked = true;
    m.pulsar("chkKVTDesinstalar");
    m.pulsar("btnDesinstalar");
    EXPECT_EQ(codigoSalida(m.frm->estado.desenlace, false), 1603);
    m.frm->form["lblDirectorioRaizInstalacion"].caption = kBancoRaiz;
    m.pulsar("btnDesinstalar");
    EXPECT_EQ(codigoSalida(m.frm->estado.desenlace, false), 0);
  }
}

// An argument Windows-1252 cannot hold, or a "-log" file that cannot be made ready, ends the run
// before anything is touched ("-log"'s folders included): its error box in the wizard, its log
// line beside the program in either mode, 87 in both.
TEST(Salida, AnArgumentTheCodePageCannotHoldIsRefusedInBothModes) {
  struct Caso {
    LineaSistema linea;
    std::string motivo;
    bool asistente = true;  // the wizard refuses it too
  } casos[] = {
      {{{"-ip", "????"}, {1}}, "El argumento \"????\" contiene caracteres que el instalador no puede leer: escr\xED"
                               "balo sin ellos"},
      {{{"/log"}, {}}, msgFaltaFicheroLog},
      // Refused for another reason: its line goes beside the program all the same.
      {{{"-log", "C:\\Registros\\x.log", "-quiet"}, {}}, "Opci\xF3n desconocida: -quiet", false},
  };
  for (const Caso& c : casos)
    for (bool silencioso : {false, true}) {
      if (!silencioso && !c.asistente) continue;
      BancoInstalacion m;
      m.preparar();
      const auto antes = m.files.paths();
      m.linea = c.linea;
      if (silencioso) m.linea.args.push_back("-silent");
      Programa p(m);
      EXPECT_EQ(p.ejecutar(), 87) << c.motivo << silencioso;
      EXPECT_FALSE(p.hayVentana());
      EXPECT_EQ(m.ui.errors, silencioso ? std::vector<std::string>{} : std::vector<std::string>{c.motivo + "."});
      EXPECT_TRUE(m.processes.started.empty() && m.net.difusiones.empty() && m.files.paths() == antes);
      EXPECT_EQ(m.sink.files.size(), 1u);  // the log beside the program, nothing else
      EXPECT_EQ(m.mensajes().at(0), c.motivo);
    }
}
