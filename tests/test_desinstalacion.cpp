// The uninstaller over a fake machine: its first page, the run's order and log, what it removes
// and keeps, the roots it refuses and the processes it leaves alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/principal.h"
#include "app/salida.h"
#include "sys/servicios.h"
#include "tests/fakes/bancos.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {

const std::string kRaiz = "C:\\Program Files (x86)\\TurnaliaFree";
const std::string kDbms = "C:\\Program Files (x86)\\MySQL\\MariaDB 10.1";
const std::string kEntrada = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TurnaliaFree.exe";
const char* const kExito = "La desinstalaci\xF3n se realiz\xF3 con \xE9xito !";

using Banco = BancoDesinstalacion;

struct Desinstalador : ::testing::Test, Banco {};

}  // namespace

TEST_F(Desinstalador, NothingInstalledShowsTheOutcomeWithItsTwoTexts) {
  registry.keys.clear();
  arrancar();
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
  EXPECT_EQ(frm->form["lblFinalizacion"].caption, "No es necesaria la desinstalaci\xF3n de aplicaciones !");
  EXPECT_EQ(frm->form["lblFinalizacion1"].caption, "La Aplicaci\xF3n TurnaliaFree no est\xE1 instalada en este Equipo.");
}

// From the entry's command line ("kvt") or the shortcut (none); a dot-folder and a link inside
// the root are not counted; "Continuar" follows the box.
TEST_F(Desinstalador, PanelShowsTheSizeInTheUsersSeparatorAndContinuarFollowsTheBox) {
  struct Caso {
    std::vector<std::string> args;
    const char *separador, *tamano;
  } casos[] = {{{"kvt"}, ",", "47,8 MB"}, {{}, ".", "47.8 MB"}};
  for (const Caso& c : casos) {
    Banco m;
    m.files.nodes.clear();
    m.sys.decimal = c.separador;
    m.files.put(kRaiz + "\\TurnaliaFree.exe", std::string(50000000, 'x'));
    m.files.put(kRaiz + "\\BackUp\\kvt_1.zip", std::string(125824, 'z'));
    m.files.put(kRaiz + "\\.cache\\oculto.bin", std::string(3000, 'o'));
    m.files.link(kRaiz + "\\enlace");
    m.files.put(kRaiz + "\\enlace\\fuera.bin", std::string(3000, 'f'));
    m.arrancar(c.args);
    EXPECT_EQ(m.frm->panelVisible(), "pnlDesinstalar");
    EXPECT_EQ(m.frm->form["lblQVSizeDesinstalar"].caption, c.tamano);
    EXPECT_EQ(m.frm->form["lblQVDirDesinstalar"].caption, kRaiz);
    EXPECT_FALSE(m.frm->form["lblQVSizeDesinstalar"].visible || m.frm->form["lblQVDirDesinstalar"].visible);
    m.pulsar("btnDesinstalar");  // disabled: nothing happens
    EXPECT_TRUE(m.comandos.empty() && !m.exito());
    for (bool marcado : {true, false}) {
      m.frm->form["chkKVTDesinstalar"].checked = marcado;
      m.pulsar("chkKVTDesinstalar");
      EXPECT_EQ(m.frm->form["btnDesinstalar"].enabled, marcado);
    }
    m.pulsar("btnSalir3");
    EXPECT_TRUE(m.ui.closed && m.comandos.empty());
  }
}

// Which services are registered decides the lines and commands; the steps keep their order:
// at each command the server is stopped, and the folder and entry are still there.
TEST_F(Desinstalador, RunLogsEachServiceRemovesInOrderAndKeepsTheBackups) {
  const std::string sc = "\"C:\\Windows\\SysWOW64\\sc.exe delete KVTDB\"", svc = "C:\\PROGRA~2\\TURNAL~1\\KVT_SE~1.EXE -uninstall -silent",
                    zk = "C:\\PROGRA~2\\TURNAL~1\\KVT_ZK~1.EXE -uninstall -silent";
  const std::string si = " est\xE1 instalado", no = " no est\xE1 instalado";
  // A service program missing: no command at all, whatever "-uninstall" would name on the Path.
  const std::string falta = "No se encontr\xF3 el programa " + kRaiz +
                            "\\KVT_zkteco.exe, no se pudo desinstalar el servicio srvKVT_zkteco";
  struct Caso {
    std::vector<std::string> registrados, lineas, comandos;
    bool sinZkteco = false;
  } casos[] = {
      {{}, {"El servicio KVTDB" + no, "El servicio srvKVT_service" + no, "El servicio srvKVT_zkteco" + no}, {}},
      {{"KVTDB", "srvKVT_service", "srvKVT_zkteco"},
       {"El servicio KVTDB" + si, "<" + sc + ">", "El servicio srvKVT_service" + si, "<" + svc + ">",
        "El servicio srvKVT_zkteco" + si, "<" + zk + ">"},
       {sc, svc, zk}},
      {{"KVTDB"}, {"El servicio KVTDB" + si, "<" + sc + ">", "El servicio srvKVT_service" + no,
                   "El servicio srvKVT_zkteco" + no}, {sc}},
      {{"KVTDB", "srvKVT_service", "srvKVT_zkteco"},
       {"El servicio KVTDB" + si, "<" + sc + ">", "El servicio srvKVT_service" + si, "<" + svc + ">",
        "El servicio srvKVT_zkteco" + si, falta},
       {sc, svc},
       true},
  };
  for (const Caso& c : casos) {
    Banco m;
    if (c.sinZkteco) m.files.deleteFile(kRaiz + "\\KVT_zkteco.exe");
    m.services.services.clear();
    for (const std::string& s : c.registrados) m.services.services.push_back({s, s});
    m.processes.table = {{40, "mysqld.exe"}, {41, "KVT_service.exe"}};
    m.processes.imagePaths = {{40, kDbms + "\\bin\\mysqld.exe"}, {41, kRaiz + "\\KVT_service.exe"}};
    if (auto* db = m.services.find("KVTDB")) {  // the server ends when its service stops
      db->stopStatuses = {{kServiceStopPending, 1, 500}, {kServiceStopped, 0, 0}};
      db->onStop = [&m] { m.processes.table.erase(m.processes.table.begin()); };
    }
    bool ordenado = true;
    auto responde = m.processes.onStart;
    m.processes.onStart = [&](const std::string& linea) {
      auto* db = m.services.find("KVTDB");
      ordenado &= (!db || db->stopRequested) && m.files.has(kRaiz + "\\KVT_service.exe") &&
                  m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada);
      return responde(linea);
    };
    m.desinstalar();
    EXPECT_TRUE(ordenado);
    EXPECT_EQ(m.lineasRun(), c.lineas);
    EXPECT_EQ(m.comandos, c.comandos);
    EXPECT_TRUE(m.ui.errors.empty() && !m.ui.busy);
    EXPECT_TRUE(m.exito());
    EXPECT_EQ(m.frm->form["lblFinalizacion1"].caption, "Las aplicaciones seleccionadas se ha desinstalado correctamente.");
    // KVT_service.exe is ended only where its service is registered; mysqld.exe ended by its stop.
    EXPECT_EQ(m.processes.terminated, c.registrados.size() == 3 ? std::vector<uint32_t>{41} : std::vector<uint32_t>{});
    std::vector<std::string> bajoRaiz;
    for (const std::string& p : m.files.paths())
      if (FakeFiles::key(p).rfind(FakeFiles::key(kRaiz), 0) == 0) bajoRaiz.push_back(FakeFiles::key(p));
    EXPECT_EQ(bajoRaiz, (std::vector<std::string>{FakeFiles::key(kRaiz), FakeFiles::key(kRaiz + "\\BackUp"),
                                                  FakeFiles::key(kRaiz + "\\BackUp\\kvt_20240101.zip")}));
    EXPECT_FALSE(m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
    EXPECT_FALSE(m.files.has(m.sys.desktop + "\\Turnalia Free.lnk"));
    EXPECT_FALSE(m.files.has(m.sys.programs + "\\TurnaliaFree") || m.files.has(m.sys.commonPrograms + "\\TurnaliaFree"));
    EXPECT_TRUE(m.files.has(m.sys.exe));
    EXPECT_TRUE(m.files.has(kDbms + "\\data\\turnaliafree\\t.frm"));
  }
}

// A root that is empty, a drive or not absolute is never emptied: nothing at all is removed.
TEST_F(Desinstalador, RefusedRootsRemoveNothing) {
  for (const std::string raiz : {"", "C:\\", "C:", "TurnaliaFree", "\\TurnaliaFree", "C:\\Program Files\\.."}) {
    Banco m;
    m.arrancar();
    m.frm->form["lblDirectorioRaizInstalacion"].caption = raiz;
    size_t antes = m.files.paths().size();
    m.frm->form["chkKVTDesinstalar"].checked = true;
    m.pulsar("chkKVTDesinstalar");
    m.pulsar("btnDesinstalar");
    const std::string mensaje =
        "El directorio de instalaci\xF3n \"" + raiz + "\" no es v\xE1lido, desinstalaci\xF3n detenida !";
    EXPECT_EQ(m.ui.errors, std::vector<std::string>{mensaje + "."}) << raiz;
    EXPECT_EQ(m.mensajes().back(), mensaje);
    EXPECT_TRUE(!m.exito() && !m.ui.busy && m.comandos.empty()) << raiz;
    EXPECT_FALSE(m.services.find("KVTDB")->stopRequested);
    EXPECT_EQ(m.files.paths().size(), antes);
    EXPECT_TRUE(m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
  }
}

TEST_F(Desinstalador, ServiceListErrorEndsWithTheStandardErrorBoxAndNoSuccess) {
  arrancar();
  services.listFails = true;
  frm->form["chkKVTDesinstalar"].checked = true;
  pulsar("chkKVTDesinstalar");
  pulsar("btnDesinstalar");
  EXPECT_EQ(ui.errors, std::vector<std::string>{"Acceso denegado."});
  EXPECT_FALSE(ui.busy || exito());
  EXPECT_EQ(frm->panelVisible(), "pnlDesinstalar");
  EXPECT_TRUE(files.has(kRaiz + "\\TurnaliaFree.exe"));
}

// Another product's server may share the program's name: only copies running from the
// product's own folders are ended; one whose path cannot be read is left running.
TEST_F(Desinstalador, OnlyTheProductsOwnProgramsAreEnded) {
  struct Proceso {
    uint32_t id;
    std::string exe, ruta;  // "" = cannot be read
    bool finalizado;
  } procesos[] = {
      {10, "mysqld.exe", kDbms + "\\bin\\mysqld.exe", true},
      {11, "mysqld.exe", "C:\\Otro\\mysqld.exe", false},
      {12, "mysqld.exe", "", false},
      {13, "MYSQLD.EXE", "c:\\program files (x86)\\mysql\\mariadb 10.1\\bin\\MYSQLD.EXE", true},
      {14, "mysqld.exe", kDbms + "-otro\\bin\\mysqld.exe", false},
      {15, "KVT_service.exe", kRaiz + "\\KVT_service.exe", true},
      {16, "KVT_service.exe", "D:\\Copia\\TurnaliaFree\\KVT_service.exe", false},
  };
  for (const Proceso& p : procesos) {
    processes.table.push_back({p.id, p.exe});
    if (!p.ruta.empty()) processes.imagePaths[p.id] = p.ruta;
  }
  services.find("KVTDB")->stopRefused = true;  // still running: its process must be ended
  services.find("KVTDB")->stopStatuses = {{kServiceRunning, 0, 0}};
  desinstalar();
  EXPECT_TRUE(exito());
  for (const Proceso& p : procesos)
    EXPECT_EQ(std::count(processes.terminated.begin(), processes.terminated.end(), p.id), p.finalizado) << p.id;
  EXPECT_TRUE(enLog("El servicio KVTDB no se ha detenido"));
  EXPECT_TRUE(enLog("No se finaliza el proceso C:\\Otro\\mysqld.exe (11): no pertenece a " + kDbms));
  EXPECT_TRUE(enLog("No se finaliza el proceso mysqld.exe (12): no se pudo leer su ruta"));
}

// Files in use: each left to the restart makes the run end on 3010 with the restart's sentence;
// one the system would not take ends it on the failure outcome (1603) once everything else is done.
TEST_F(Desinstalador, FilesInUseDecideBetweenSuccessRestartAndFailure) {
  const std::string tools = kRaiz + "\\Utils\\kvt_tools.exe", exe = kRaiz + "\\TurnaliaFree.exe";
  const std::string sinProgramar = " est\xE1 en uso y no se pudo programar su eliminaci\xF3n al reiniciar el equipo !";
  struct Caso {
    std::vector<std::string> enUso;
    bool rechazado;
    int codigo;
    std::string titulo, cuerpo;
  } casos[] = {
      {{}, false, 0, kExito, ""},
      {{tools}, false, 3010, kExito,
       "Al reiniciar el equipo se eliminar\xE1n los archivos que estaban en uso y terminar\xE1 la desinstalaci\xF3n."},
      {{tools}, true, 1603, "Error en la desinstalaci\xF3n", "El archivo " + tools + sinProgramar},
      {{exe, tools}, true, 1603, "Error en la desinstalaci\xF3n",
       "El archivo " + exe + sinProgramar + " El log nombra 1 m\xE1s en la misma situaci\xF3n."},
  };
  for (const Caso& c : casos) {
    Banco m;
    for (const std::string& f : c.enUso) m.files.nodes[FakeFiles::key(f)].second.inUse = true;
    m.files.restartRefused = c.rechazado;
    m.desinstalar();
    EXPECT_EQ(codigoSalida(m.frm->estado.desenlace, false), c.codigo) << c.cuerpo;
    EXPECT_EQ(m.frm->form["imgError"].visible, c.codigo == 1603) << c.cuerpo;
    EXPECT_EQ(m.frm->form["lblFinalizacion"].caption, c.titulo) << c.cuerpo;
    EXPECT_EQ(m.frm->form["lblFinalizacion2"].caption, c.cuerpo);
    // The run went to its end whatever stayed.
    EXPECT_FALSE(m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada)) << c.cuerpo;
  }
}

// A silent installation as LocalSystem left its links in the all-users folders: the product's
// names go from there as from the person's own, there only when they point into its folders.
TEST_F(Desinstalador, TheProductsLinksGoFromTheAllUsersFoldersToo) {
  const std::string comun = sys.commonPrograms + "\\TurnaliaFree\\", escritorio = sys.commonDesktop + "\\";
  const std::pair<std::string, std::string> casos[] = {  // link, its target ("" no link); the last two stay
      {escritorio + "Turnalia Free.lnk", kRaiz + "\\TurnaliaFree.exe"},
      {comun + "TurnaliaFree.lnk", kRaiz + "\\TurnaliaFree.exe"},
      {comun + "Desinstalar.lnk", "C:\\windows\\TurnaliaFree\\uninstall.exe"},
      {escritorio + "Turnalia Free.lnk", "D:\\Otro\\TurnaliaFree.exe"},
      {escritorio + "Turnalia Free.lnk", ""},
  };
  for (const auto& [fichero, destino] : casos) {
    Banco m;
    m.sys.desktop = "C:\\Users\\Admin\\Desktop";  // the person's own
    m.files.put(m.sys.desktop + "\\Turnalia Free.lnk", "L");
    m.files.put(fichero, "L");
    ShellLink enlace;
    enlace.target = destino;
    if (!destino.empty()) m.links.save(fichero, enlace);
    m.desinstalar();
    EXPECT_EQ(m.files.has(fichero), destino.empty() || destino[0] == 'D') << fichero << " -> " << destino;
    EXPECT_FALSE(m.files.has(m.sys.desktop + "\\Turnalia Free.lnk"));
  }
}

// The wait follows the service: a stop it cannot take yet (still starting, already stopping) is
// waited for within the same bound, which stretches while the check point moves.
TEST(DetenerServicio, WaitsUntilStoppedWithinItsBound) {
  auto avanzando = [](int pasos, bool termina) {  // already stopping, a higher check point each query
    std::vector<ServiceStatus> v;
    for (int i = 1; i <= pasos; ++i) v.push_back({kServiceStopPending, (uint32_t)i, 1000});
    if (termina) v.push_back({kServiceStopped, 0, 0});
    return v;
  };
  struct Caso {
    int rechaza;  // stops refused first: still starting, already stopping, or not accepting one
    std::vector<ServiceStatus> estados;
    bool resultado;
    uint64_t espera;  // fake milliseconds
  } casos[] = {
      {false, {{kServiceStopPending, 1, 300}, {kServiceStopPending, 2, 300}, {kServiceStopped, 0, 0}}, true, 600},
      {false, {{kServiceStopPending, 1, 5000}}, false, kEsperaParadaServicioMs},  // never stops
      {true, {{kServiceStopped, 0, 0}}, true, 0},                                // was not running
      {true, {{kServiceRunning, 0, 0}}, false, 0},                               // refuses while running
      {true, avanzando(40, true), true, 40000},                                  // the bound stretches
      {true, avanzando(400, false), false, kEsperaParadaServicioMaximaMs},       // but not for ever
      {1,  // still starting: asked again once it runs
       {{kServiceStartPending, 1, 500}, {kServiceRunning, 0, 0}, {kServiceStopPending, 1, 500}, {kServiceStopped, 0, 0}},
       true, 1000},
  };
  for (const Caso& c : casos) {
    MaquinaFalsa m;
    m.services.services.push_back({"KVTDB", "KVTDB"});
    m.services.find("KVTDB")->stopRefusals = c.rechaza;
    m.services.find("KVTDB")->stopStatuses = c.estados;
    EXPECT_EQ(detenerServicioYEsperar("", "KVTDB", m.services, m.ui, m.clock), c.resultado);
    EXPECT_EQ(m.clock.ticks, c.espera);
  }
  MaquinaFalsa m;
  EXPECT_FALSE(detenerServicioYEsperar("", "KVTDB", m.services, m.ui, m.clock));
}
