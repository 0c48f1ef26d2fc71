// The uninstaller over a fake machine: its first page, the confirmation, the run's order and
// log, what it removes and keeps, the roots it refuses and the processes it leaves alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/principal.h"
#include "sys/servicios.h"
#include "sys/utilidades.h"
#include "tests/fakes/maquina.h"
#include "uninstall/opciones.h"

using namespace tf;

namespace {

const std::string kRaiz = "C:\\Program Files (x86)\\TurnaliaFree";
const std::string kDbms = "C:\\Program Files (x86)\\MySQL\\MariaDB 10.1";
const std::string kEntrada = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TurnaliaFree.exe";
const std::string kUninstall = "C:\\windows\\TurnaliaFree\\uninstall.exe";

// A machine with the uninstaller in place; instalado() adds what a full installation leaves.
struct Banco : MaquinaFalsa {
  std::unique_ptr<TfrmPrincipal> frm;
  std::vector<std::string> comandos;  // as the interpreter got them, without "cmd /c"

  void preparar() {
    sys.exe = kUninstall;
    files.put(kUninstall, "MZ");
    processes.env["COMSPEC"] = "C:\\windows\\system32\\cmd.exe";
    // Every command answers with its own line, so the log shows which output is whose.
    processes.onStart = [this](const std::string& linea) {
      comandos.push_back(linea.substr(linea.find(" /c ") + 4));
      FakeCommandScript s;
      s.pieces.push_back({0, "<" + comandos.back() + ">"});
      return s;
    };
  }
  // A full installation as the installer leaves it.
  void instalado() {
    registry.putKey(RegistryRoot::LocalMachine, kEntrada);
    for (const char* f : {"TurnaliaFree.exe", "KVT_service.exe", "KVT_zkteco.exe", "Temp\\TurnaliaFree.zip",
                          "Utils\\kvt_tools.exe", "BackUp\\kvt_20240101.zip", "BackUp\\notas.txt"})
      files.put(kRaiz + "\\" + f, "x");
    files.shortNames[kRaiz + "\\KVT_service.exe"] = "C:\\PROGRA~2\\TURNAL~1\\KVT_SE~1.EXE";
    files.shortNames[kRaiz + "\\KVT_zkteco.exe"] = "C:\\PROGRA~2\\TURNAL~1\\KVT_ZK~1.EXE";
    files.put(kDbms + "\\bin\\mysqld.exe", "MZ");
    files.put(kDbms + "\\data\\turnaliafree\\t.frm", "datos");
    files.put(sys.desktop + "\\Turnalia Free.lnk", "L");
    files.put(sys.programs + "\\TurnaliaFree\\TurnaliaFree.lnk", "L");
    files.put(sys.programs + "\\TurnaliaFree\\Desinstalar.lnk", "L");
    files.put(sys.commonPrograms + "\\TurnaliaFree\\Turnalia Free.lnk", "L");
    for (const char* s : {"KVTDB", "srvKVT_service", "srvKVT_zkteco"}) services.services.push_back({s, s});
  }
  void arrancar(std::vector<std::string> args = {"kvt"}) {
    frm = std::make_unique<TfrmPrincipal>(puertos(), args);
    frm->FormCreate();
    if (!args.empty()) frm->procesarParametros();
  }
  // As the window's view does: an error leaving a handler goes to the standard error box.
  void pulsar(const std::string& control) {
    try {
      frm->alPulsar(control);
    } catch (const std::exception& e) {
      ui.standardError(e.what());
    }
  }
  void confirmar() {
    frm->form["chkKVTDesinstalar"].checked = true;
    pulsar("chkKVTDesinstalar");
    pulsar("btnDesinstalar");
  }
  // The run's lines: after the uninstall panel was shown, before the outcome.
  std::vector<std::string> lineasRun() {
    std::vector<std::string> l = mensajes(), out;
    auto desde = std::find(l.begin(), l.end(), "Mostrando panel pnlDesinstalar ...");
    for (auto it = desde == l.end() ? l.end() : desde + 1; it != l.end(); ++it) {
      if (*it == "Mostrando panel pnlFinalizacion ...") break;
      out.push_back(*it);
    }
    return out;
  }
  bool exito() {
    return frm->panelVisible() == "pnlFinalizacion" &&
           frm->form["lblFinalizacion"].caption == "La desinstalaci\xF3n se realiz\xF3 con \xE9xito !";
  }
};

struct Desinstalador : ::testing::Test, Banco {
  void SetUp() override { preparar(); }
};

}  // namespace

TEST_F(Desinstalador, NothingInstalledShowsTheOutcomeWithItsTwoTexts) {
  arrancar();
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
  EXPECT_EQ(frm->form["lblFinalizacion"].caption, "No es necesaria la desinstalaci\xF3n de aplicaciones !");
  EXPECT_EQ(frm->form["lblFinalizacion1"].caption, "La Aplicaci\xF3n TurnaliaFree no est\xE1 instalada en este Equipo.");
  EXPECT_TRUE(frm->form["imgOK"].visible);
  EXPECT_FALSE(frm->form["lblEnviarInformeErrores2"].visible);
}

// Started from the entry's command line ("kvt") or from the shortcut (no argument), with a
// dot-folder and a link inside the root that the size leaves out.
TEST_F(Desinstalador, InstalledShowsThePanelWithSizeInTheUsersSeparator) {
  struct Caso {
    std::vector<std::string> args;
    std::string separador, tamano;
  } casos[] = {{{"kvt"}, ",", "47,8 MB"}, {{}, ".", "47.8 MB"}, {{"KVT", "-m"}, ",", "47,8 MB"}};
  for (const Caso& c : casos) {
    MaquinaFalsa m;
    m.sys.exe = kUninstall;
    m.sys.decimal = c.separador;
    m.registry.putKey(RegistryRoot::LocalMachine, kEntrada);
    m.files.put(kRaiz + "\\TurnaliaFree.exe", std::string(50000000, 'x'));
    m.files.put(kRaiz + "\\BackUp\\kvt_1.zip", std::string(125824, 'z'));
    m.files.put(kRaiz + "\\.cache\\oculto.bin", std::string(3000000, 'o'));
    m.files.link(kRaiz + "\\enlace");
    m.files.put(kRaiz + "\\enlace\\fuera.bin", std::string(3000000, 'f'));
    TfrmPrincipal w(m.puertos(), c.args);
    w.FormCreate();
    if (!c.args.empty()) w.procesarParametros();
    EXPECT_EQ(w.panelVisible(), "pnlDesinstalar");
    EXPECT_EQ(w.form["lblQVSizeDesinstalar"].caption, c.tamano) << c.separador;
    EXPECT_EQ(w.form["lblQVDirDesinstalar"].caption, kRaiz);
    EXPECT_FALSE(w.form["lblQVSizeDesinstalar"].visible);
    EXPECT_FALSE(w.form["lblQVDirDesinstalar"].visible);
    EXPECT_FALSE(w.form["btnDesinstalar"].enabled);
    EXPECT_FALSE(w.form["chkKVTDesinstalar"].checked);
    EXPECT_TRUE(m.processes.started.empty());
  }
}

TEST_F(Desinstalador, SizeWrapsAsASigned32BitNumber) {
  EXPECT_EQ(textoTamanoMB(50125824, ","), "47,8 MB");
  EXPECT_EQ(textoTamanoMB(0, ","), "0,0 MB");
  EXPECT_EQ(textoTamanoMB((int32_t)0x80000000u, "."), "-2048.0 MB");
  files.put("C:\\carpeta\\x", "y");
  files.put("C:\\carpeta\\sub\\z", "zz");
  EXPECT_EQ(calcularTamanoDirectorio(files, "C:\\no_existe", true), 0);
  EXPECT_EQ(calcularTamanoDirectorio(files, "C:\\carpeta\\", false), 1);
  EXPECT_EQ(calcularTamanoDirectorio(files, "C:\\carpeta", true), 3);
}

TEST_F(Desinstalador, ContinuarFollowsTheBoxAndDoesNothingUnconfirmed) {
  instalado();
  arrancar();
  pulsar("btnDesinstalar");  // still disabled: nothing happens
  EXPECT_TRUE(comandos.empty());
  EXPECT_EQ(frm->panelVisible(), "pnlDesinstalar");
  for (bool marcado : {true, false, true}) {
    frm->form["chkKVTDesinstalar"].checked = marcado;
    pulsar("chkKVTDesinstalar");
    EXPECT_EQ(frm->form["btnDesinstalar"].enabled, marcado);
  }
  EXPECT_EQ(frm->form["btnDesinstalar"].caption, "Continuar");
  EXPECT_EQ(frm->form["btnSalir3"].caption, "Salir");
  pulsar("btnSalir3");
  EXPECT_TRUE(ui.closed);
  EXPECT_TRUE(comandos.empty());
}

// Which services are registered and what runs decide the run's lines and commands; the order
// of the steps is the same in every case.
TEST_F(Desinstalador, RunLogsEachServiceAndRemovesInOrder) {
  const std::string sc = "\"sc delete KVTDB\"";
  const std::string svc = "C:\\PROGRA~2\\TURNAL~1\\KVT_SE~1.EXE -uninstall -silent";
  const std::string zk = "C:\\PROGRA~2\\TURNAL~1\\KVT_ZK~1.EXE -uninstall -silent";
  struct Caso {
    const char* nombre;
    std::vector<std::string> registrados;
    bool servidorEnMarcha;
    std::vector<std::string> lineas;
    std::vector<std::string> comandos;
  } casos[] = {
      {"ninguno", {}, false,
       {"El servicio KVTDB no est\xE1 instalado", "El servicio srvKVT_service no est\xE1 instalado",
        "El servicio srvKVT_zkteco no est\xE1 instalado"},
       {}},
      {"todos", {"KVTDB", "srvKVT_service", "srvKVT_zkteco"}, true,
       {"El servicio KVTDB est\xE1 instalado", "<" + sc + ">", "El servicio srvKVT_service est\xE1 instalado",
        "<" + svc + ">", "El servicio srvKVT_zkteco est\xE1 instalado", "<" + zk + ">"},
       {sc, svc, zk}},
      {"solo KVTDB, parado", {"KVTDB"}, false,
       {"El servicio KVTDB est\xE1 instalado", "<" + sc + ">", "El servicio srvKVT_service no est\xE1 instalado",
        "El servicio srvKVT_zkteco no est\xE1 instalado"},
       {sc}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    Banco m;  // a fresh machine per case
    m.preparar();
    m.instalado();
    m.services.services.clear();
    for (const std::string& s : c.registrados) m.services.services.push_back({s, s});
    if (c.servidorEnMarcha) {
      m.processes.table = {{40, "mysqld.exe"}, {41, "KVT_service.exe"}, {42, "KVT_zkteco.exe"}};
      m.processes.imagePaths = {
          {40, kDbms + "\\bin\\mysqld.exe"}, {41, kRaiz + "\\KVT_service.exe"}, {42, kRaiz + "\\KVT_zkteco.exe"}};
      // The server ends when its service is stopped; the other two are ended.
      m.services.find("KVTDB")->stopStatuses = {{kServiceStopPending, 1, 500}, {kServiceStopped, 0, 0}};
      m.services.find("KVTDB")->onStop = [&m] { m.processes.table.erase(m.processes.table.begin()); };
    }
    // At each command, what came before it is done and what comes after is not.
    bool ordenado = true;
    auto previo = m.processes.onStart;
    m.processes.onStart = [&](const std::string& linea) {
      const bool servidorParado = !m.services.find("KVTDB") || m.services.find("KVTDB")->stopRequested;
      ordenado &= servidorParado && m.files.has(kRaiz + "\\KVT_zkteco.exe") && m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada);
      if (linea.find("sc delete") != std::string::npos)
        ordenado &= m.processes.terminated.empty();
      return previo(linea);
    };
    m.arrancar();
    m.confirmar();
    EXPECT_TRUE(ordenado);
    EXPECT_EQ(m.lineasRun(), c.lineas);
    EXPECT_EQ(m.comandos, c.comandos);
    EXPECT_TRUE(m.ui.errors.empty());
    EXPECT_FALSE(m.ui.busy);
    EXPECT_TRUE(m.exito());
    EXPECT_EQ(m.frm->form["lblFinalizacion1"].caption,
              "Las aplicaciones seleccionadas se ha desinstalado correctamente.");
    if (c.servidorEnMarcha) EXPECT_EQ(m.processes.terminated, (std::vector<uint32_t>{41, 42}));
    else EXPECT_TRUE(m.processes.terminated.empty());
    // Removed: the folder's content but the backups, the entry, the shortcuts and their folders.
    std::vector<std::string> bajoRaiz;
    for (const std::string& p : m.files.paths())
      if (FakeFiles::key(p).rfind(FakeFiles::key(kRaiz), 0) == 0) bajoRaiz.push_back(FakeFiles::key(p));
    std::vector<std::string> quedan;
    for (const std::string& p : {kRaiz, kRaiz + "\\BackUp", kRaiz + "\\BackUp\\kvt_20240101.zip"})
      quedan.push_back(FakeFiles::key(p));
    EXPECT_EQ(bajoRaiz, quedan);
    EXPECT_FALSE(m.registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
    EXPECT_FALSE(m.files.has(m.sys.desktop + "\\Turnalia Free.lnk"));
    EXPECT_FALSE(m.files.has(m.sys.programs + "\\TurnaliaFree"));
    EXPECT_FALSE(m.files.has(m.sys.commonPrograms + "\\TurnaliaFree"));
    // Kept: the uninstaller itself and the database server's files.
    EXPECT_TRUE(m.files.has(kUninstall));
    EXPECT_TRUE(m.files.has(kDbms + "\\data\\turnaliafree\\t.frm"));
  }
}

TEST_F(Desinstalador, ShortcutsAlreadyGoneAndASecondRunAreQuiet) {
  instalado();
  files.deleteFile(sys.desktop + "\\Turnalia Free.lnk");
  files.deleteFile(sys.programs + "\\TurnaliaFree\\Desinstalar.lnk");
  files.put(sys.programs + "\\TurnaliaFree\\Notas.txt", "del usuario");  // keeps its folder
  arrancar();
  confirmar();
  EXPECT_TRUE(exito());
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_FALSE(files.has(sys.programs + "\\TurnaliaFree\\TurnaliaFree.lnk"));
  EXPECT_TRUE(files.has(sys.programs + "\\TurnaliaFree\\Notas.txt"));
  // Started again, the uninstaller finds nothing to do.
  arrancar();
  EXPECT_EQ(frm->form["lblFinalizacion"].caption, "No es necesaria la desinstalaci\xF3n de aplicaciones !");
}

// A root that is empty, a drive or not absolute is never emptied: the run stops before it
// removes anything, with the standard error box and without the success outcome.
TEST_F(Desinstalador, RefusedRootsRemoveNothing) {
  for (const std::string raiz : {"", "C:\\", "C:", "c:\\\\", "TurnaliaFree", "\\TurnaliaFree",
                                 "C:\\Program Files (x86)\\..", "\\\\servidor\\compartido"}) {
    SCOPED_TRACE(raiz);
    Banco d;
    d.preparar();
    d.instalado();
    d.files.put("C:\\Users\\datos.txt", "no tocar");
    d.arrancar();
    d.frm->form["lblDirectorioRaizInstalacion"].caption = raiz;
    size_t antes = d.files.paths().size();
    d.confirmar();
    const std::string mensaje =
        "El directorio de instalaci\xF3n \"" + raiz + "\" no es v\xE1lido, desinstalaci\xF3n detenida !";
    EXPECT_EQ(d.ui.errors, std::vector<std::string>{mensaje + "."});
    EXPECT_EQ(d.mensajes().back(), mensaje);
    EXPECT_FALSE(d.exito());
    EXPECT_EQ(d.frm->panelVisible(), "pnlDesinstalar");
    EXPECT_FALSE(d.ui.busy);
    EXPECT_TRUE(d.comandos.empty());
    EXPECT_FALSE(d.services.find("KVTDB")->stopRequested);
    EXPECT_EQ(d.files.paths().size(), antes);
    EXPECT_TRUE(d.registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
  }
}

TEST_F(Desinstalador, ServiceListErrorEndsWithTheStandardErrorBoxAndNoSuccess) {
  instalado();
  arrancar();
  services.listFails = true;
  confirmar();
  EXPECT_EQ(ui.errors, std::vector<std::string>{"Acceso denegado."});
  EXPECT_FALSE(ui.busy);
  EXPECT_FALSE(exito());
  EXPECT_NE(frm->form["lblFinalizacion"].caption, "La desinstalaci\xF3n se realiz\xF3 con \xE9xito !");
  EXPECT_TRUE(comandos.empty());
  EXPECT_TRUE(files.has(kRaiz + "\\TurnaliaFree.exe"));
  EXPECT_TRUE(registry.hasKey(RegistryRoot::LocalMachine, kEntrada));
}

// A database server of another product may share the program's name: only the copies that run
// from the product's own folders are ended.
TEST_F(Desinstalador, OnlyTheProductsOwnProgramsAreEnded) {
  struct Proceso {
    uint32_t id;
    std::string exe, ruta;  // ruta "" = cannot be read
    bool finalizado;
  } procesos[] = {
      {10, "mysqld.exe", kDbms + "\\bin\\mysqld.exe", true},
      {11, "mysqld.exe", "C:\\Otro\\mysqld.exe", false},
      {12, "mysqld.exe", "", false},
      {13, "MYSQLD.EXE", "c:\\program files (x86)\\mysql\\mariadb 10.1\\bin\\MYSQLD.EXE", true},
      {14, "mysqld.exe", kDbms + "-otro\\bin\\mysqld.exe", false},
      {15, "KVT_service.exe", kRaiz + "\\KVT_service.exe", true},
      {16, "KVT_service.exe", "D:\\Copia\\TurnaliaFree\\KVT_service.exe", false},
      {17, "notepad.exe", kDbms + "\\bin\\notepad.exe", false},
  };
  instalado();
  for (const Proceso& p : procesos) {
    processes.table.push_back({p.id, p.exe});
    if (!p.ruta.empty()) processes.imagePaths[p.id] = p.ruta;
  }
  services.find("KVTDB")->stopRefused = true;  // not stopped: its process must still be ended
  services.find("KVTDB")->stopStatuses = {{kServiceRunning, 0, 0}};
  arrancar();
  confirmar();
  EXPECT_TRUE(exito());
  for (const Proceso& p : procesos) {
    bool terminado = std::count(processes.terminated.begin(), processes.terminated.end(), p.id) == 1;
    EXPECT_EQ(terminado, p.finalizado) << p.id;
  }
  std::vector<std::string> l = lineasRun();
  auto hay = [&](const std::string& s) { return std::find(l.begin(), l.end(), s) != l.end(); };
  EXPECT_TRUE(hay("El servicio KVTDB no se ha detenido"));
  EXPECT_TRUE(hay("No se finaliza el proceso C:\\Otro\\mysqld.exe (11): no pertenece a " + kDbms));
  EXPECT_TRUE(hay("No se finaliza el proceso mysqld.exe (12): no se pudo leer su ruta"));
  EXPECT_TRUE(hay("No se finaliza el proceso D:\\Copia\\TurnaliaFree\\KVT_service.exe (16): no pertenece a " + kRaiz));
}

// Stopping a service waits for it, within a bound, and tells whether it stopped.
TEST_F(Desinstalador, StopWaitsUntilStoppedWithinItsBound) {
  struct Caso {
    const char* nombre;
    bool existe, rechaza;
    std::vector<ServiceStatus> estados;
    bool resultado;
    uint64_t esperaMinima, esperaMaxima;  // fake milliseconds
  } casos[] = {
      {"para tras dos esperas", true, false,
       {{kServiceStopPending, 1, 300}, {kServiceStopPending, 2, 300}, {kServiceStopped, 0, 0}}, true, 600, 600},
      {"no para nunca", true, false, {{kServiceStopPending, 1, 5000}}, false, kEsperaParadaServicioMs,
       kEsperaParadaServicioMs + 1000},
      {"ya parado", true, true, {{kServiceStopped, 0, 0}}, true, 0, 0},
      {"rechaza en marcha", true, true, {{kServiceRunning, 0, 0}}, false, 0, 0},
      {"no existe", false, false, {}, false, 0, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    MaquinaFalsa m;
    if (c.existe) {
      m.services.services.push_back({"KVTDB", "KVTDB"});
      m.services.find("KVTDB")->stopRefused = c.rechaza;
      m.services.find("KVTDB")->stopStatuses = c.estados;
    }
    uint64_t t0 = m.clock.ticks;
    EXPECT_EQ(detenerServicioYEsperar("", "KVTDB", m.services, m.ui, m.clock), c.resultado);
    EXPECT_GE(m.clock.ticks - t0, c.esperaMinima);
    EXPECT_LE(m.clock.ticks - t0, c.esperaMaxima);
  }
}

TEST(Rutas, AbsoluteAndInside) {
  for (const char* si : {"C:\\TurnaliaFree", "c:\\Program Files\\TurnaliaFree\\", "Z:\\a\\b"})
    EXPECT_TRUE(isRutaAbsoluta(si)) << si;
  for (const char* no : {"", "C:", "C:\\", "C:\\\\", "TurnaliaFree", "\\TurnaliaFree", "C:TurnaliaFree",
                         "C:\\a\\..\\", "C:\\a\\.\\b", "C:\\a\\\\b", "\\\\srv\\share\\x", "1:\\x", "C:\\a/b"})
    EXPECT_FALSE(isRutaAbsoluta(no)) << no;
  EXPECT_TRUE(isRutaDentroDe("C:\\A\\b.exe", "c:\\a"));
  EXPECT_TRUE(isRutaDentroDe("C:\\A\\sub\\b.exe", "C:\\A\\"));
  EXPECT_FALSE(isRutaDentroDe("C:\\A", "C:\\A"));
  EXPECT_FALSE(isRutaDentroDe("C:\\AB\\b.exe", "C:\\A"));
  EXPECT_FALSE(isRutaDentroDe("C:\\A\\..\\B\\b.exe", "C:\\A"));
  EXPECT_FALSE(isRutaDentroDe("C:\\A\\b.exe", ""));
}
