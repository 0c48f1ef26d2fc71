// LAN discovery at start-up: the "-ip" switch, the broadcast question, the bounded wait and what
// a machine that cannot ask sees.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/principal.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {

const char* const kFrase = "Se ha detectado una instalaci\xF3n de TurnaliaFree en el equipo %s de su Red Local, "
                           "va a proceder a instalar el Software Ticador en el equipo actual.";

struct Descubrimiento : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void start(std::vector<std::string> args = {}) { frm = &arrancar(args); }
  std::string frase(const std::string& nombre) {
    std::string f = kFrase;
    return f.replace(f.find("%s"), 2, nombre);
  }
};

}  // namespace

TEST_F(Descubrimiento, ArgumentsAndAnswersDecideTheServer) {
  struct Caso {
    const char* nombre;
    std::vector<std::string> args;
    std::vector<FakeNetwork::Respuesta> respuestas;
    bool pregunta;         // a datagram goes out
    std::string servidor;  // the client's server, "" for the full installation
    std::string linea = "";  // the log's line naming the server that answered
  };
  const std::string detectado = "Se ha detectado una instalaci\xF3n de TurnaliaFree en el equipo ";
  const std::string larga(9000, 'x');
  const std::vector<Caso> casos = {
      {"switch in capitals, name kept", {"-IP", "NOMBRE"}, {{100, "OTRO"}}, false, "NOMBRE"},
      {"switch without a name", {"-ip"}, {{100, "OTRO"}}, false, ""},
      {"switch not first", {"-m", "-ip", "x"}, {}, true, ""},
      {"switch not first, a server answers", {"-m", "-ip", "x"}, {{100, "SRV"}}, true, "SRV"},
      {"first answer wins", {}, {{610, "SEGUNDO"}, {600, "PRIMERO"}}, true, "PRIMERO",
       detectado + "PRIMERO de su Red Local"},
      {"-full: the full installation, the server named", {"-full"}, {{100, "SRV"}}, true, "",
       detectado + "SRV de su Red Local: se realiza la instalaci\xF3n completa (-full)"},
      {"control characters of the answer blanked in the log", {}, {{100, "SRV\r\n[x] forged"}}, true,
       "SRV\r\n[x] forged", detectado + "SRV  [x] forged de su Red Local"},
      {"empty first answer: no server", {}, {{300, ""}, {400, "TARDE"}}, true, ""},
      {"answer just in time", {}, {{1999, "JUSTO"}}, true, "JUSTO"},
      {"answer after the wait", {}, {{2000, "TARDE"}}, true, ""},
      {"long answer cut to 8192 bytes", {}, {{10, larga}}, true, std::string(8192, 'x')},
      {"accented name", {}, {{10, "RECEPCI\xD3N-1"}}, true, "RECEPCI\xD3N-1"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    net.difusiones.clear();
    net.respuestas = c.respuestas;
    sink.files.clear();
    start(c.args);
    EXPECT_EQ(net.difusiones, c.pregunta ? std::vector<std::string>{"8077|"} : std::vector<std::string>{});
    const auto m = mensajes();
    if (!c.linea.empty()) {
      EXPECT_NE(std::find(m.begin(), m.end(), c.linea), m.end());
    }
    if (c.servidor.empty()) {
      EXPECT_EQ(frm->estado.modoTicador, 0);
      EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
    } else {
      EXPECT_EQ(frm->estado.modoTicador, 1);
      EXPECT_EQ(frm->panelVisible(), "pnlBienvenidaTicador");
      EXPECT_EQ(frm->form["lblServidorDetectado"].caption, frase(c.servidor));
    }
  }
}

TEST_F(Descubrimiento, WaitIsTwoSecondsInQuarterSecondSlicesWithMessagesProcessed) {
  start();
  EXPECT_EQ(clock.ticks, 2000u);
  EXPECT_EQ(net.esperas, std::vector<unsigned>(8, 250));
  EXPECT_EQ(ui.pumps, 8);
  EXPECT_EQ(clock.slept, 0u);  // a wait for the network, not a pause

  clock.ticks = 0;
  ui.pumps = 0;
  net.esperas.clear();
  net.respuestas = {{600, "SRV"}};
  start();
  EXPECT_EQ(clock.ticks, 600u);
  EXPECT_EQ(net.esperas, (std::vector<unsigned>{250, 250, 250}));
  EXPECT_EQ(ui.pumps, 2);  // after each slice that passed without an answer
}

TEST_F(Descubrimiento, ANetworkErrorCountsAsNoServerWithOneLogLine) {
  for (auto fallo : {FakeNetwork::FalloUdp::abrir, FakeNetwork::FalloUdp::difundir, FakeNetwork::FalloUdp::recibir}) {
    SCOPED_TRACE((int)fallo);
    sink.files.clear();
    net.falloUdp = fallo;
    net.respuestas = {{10, "SRV"}};
    start({"-no_downloads"});
    EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
    EXPECT_EQ(frm->estado.modoTicador, 0);
    EXPECT_FALSE(frm->estado.descargasActivas);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(frm->form["imgOK"].visible);  // the outcome panel still holds success
    int lineas = 0;
    for (const auto& m : mensajes()) {
      if (m.rfind("No se pudo buscar un servidor de TurnaliaFree en la Red Local: ", 0) == 0) {
        ++lineas;
        EXPECT_NE(m.find(net.errorUdp), std::string::npos) << m;
      }
    }
    EXPECT_EQ(lineas, 1);
  }
}

TEST_F(Descubrimiento, OneSocketStaysOpenUntilTheWindowGoes) {
  start();
  EXPECT_EQ(net.socketsUdp, 1);
  EXPECT_EQ(net.socketsUdpAbiertos, 1);
  frm->FormDestroy();
  EXPECT_EQ(net.socketsUdpAbiertos, 1);
  programa.reset();
  EXPECT_EQ(net.socketsUdpAbiertos, 0);

  sys.exe = "C:\\windows\\TurnaliaFree\\uninstall.exe";  // the uninstaller asks nothing
  start();
  EXPECT_EQ(net.socketsUdp, 1);
  EXPECT_EQ(net.difusiones.size(), 1u);
}
