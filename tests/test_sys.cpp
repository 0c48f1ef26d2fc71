// Command runner, service start and the process and folder utilities, over fakes.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/log.h"
#include "platform/error.h"
#include "sys/comando.h"
#include "sys/servicios.h"
#include "sys/utilidades.h"
#include "tests/fakes/fakes.h"
#include "tests/fakes/fakes_sys.h"

using namespace tf;

namespace {

const char* const kCmd = "C:\\Windows\\SysWOW64\\cmd.exe";

struct SysComando : ::testing::Test {
  FakeProcesses procs;
  FakeUi ui;
  FakeClock clock;
  FakeLogSink sink;
  ULog log{clock, sink, "C:\\Descargas\\setup.exe"};
  Consola consola{kCmd, procs, ui, clock, log};
  void SetUp() override { procs.clock = &clock; }
  std::string run(const std::string& command) { return EjecutarComando(command, consola); }
};

}  // namespace

TEST_F(SysComando, CommandLineIsTheGivenInterpreterSlashCAndTheCommandUnquoted) {
  procs.env["COMSPEC"] = "C:\\Descargas\\cmd.exe";  // the user's environment is not asked
  const std::string comando = "C:\\KVTDB~1\\bin\\mysqld.exe --install KVTDB --defaults-file=\"C:\\a b\\my.ini\"";
  EXPECT_EQ(run(comando), "");
  consola.interprete = "C:\\Win dows\\SysWOW64\\cmd.exe";  // a blank would let the system guess
  run(comando);
  EXPECT_EQ(procs.started, (std::vector<std::string>{std::string(kCmd) + " /c " + comando,
                                                     "\"C:\\Win dows\\SysWOW64\\cmd.exe\" /c " + comando}));
}

TEST_F(SysComando, NoInterpreterOrNoProcessGivesEmptyText) {
  procs.script.pieces = {{0, "texto"}};
  consola.interprete.clear();
  EXPECT_EQ(run("dir"), "");
  EXPECT_TRUE(procs.started.empty());
  consola.interprete = kCmd;
  procs.startFails = true;
  EXPECT_EQ(run("dir"), "");
}

TEST_F(SysComando, LongOutputArrivingOverTimeAndAfterTheEndIsComplete) {
  std::string expected;
  FakeCommandScript& s = procs.script;
  for (int i = 0; i < 6; ++i) {
    std::string piece(3000, (char)('a' + i));
    piece[0] = (char)0xF3;  // bytes above 127 pass unchanged
    s.pieces.push_back({i * 3, piece});
    expected += piece;
  }
  s.pieces.push_back({18, "ultima linea\r\n"});  // written just before the end
  expected += "ultima linea\r\n";
  s.endAfterWaits = 18;
  s.pipeSize = 4096;
  EXPECT_EQ(run("mysql.exe"), expected);
}

TEST_F(SysComando, ZeroBytesAreDroppedAndTheTextAfterThemKept) {
  procs.script.pieces = {{0, std::string("antes\0despu\xE9s\0", 14)}, {1, std::string("\0fin", 4)}};
  procs.script.endAfterWaits = 2;
  EXPECT_EQ(run("x"), "antesdespu\xE9sfin");
}

// Ended at the limit with what it started; the log names the program and the time, never the
// rest of the line (the database password), however the program is quoted.
TEST_F(SysComando, ACommandThatNeverEndsIsEndedWithItsProgramsAtTheLimit) {
  const std::pair<std::string, std::string> casos[] = {  // command, the program the log names
      {"C:\\PROGRA~2\\MySQL\\MARIAD~1\\bin\\mysql.exe -P3307 -uroot -p2912745123 < \"C:\\t.sql\"",
       "C:\\PROGRA~2\\MySQL\\MARIAD~1\\bin\\mysql.exe"},
      {"\"C:\\Windows\\SysWOW64\\sc.exe delete KVTDB\"", "C:\\Windows\\SysWOW64\\sc.exe"},
      {"\"\"C:\\Program Files\\T\\KVT_service.exe\" -uninstall -silent\"", "C:\\Program Files\\T\\KVT_service.exe"},
  };
  procs.script.pieces = {{0, "esperando respuesta\r\n"}};
  procs.script.endAfterWaits = 1 << 30;
  for (const auto& [comando, programa] : casos) {
    sink.files.clear();
    const uint64_t inicio = clock.ticks;
    EXPECT_EQ(run(comando), "esperando respuesta\r\n");
    EXPECT_GE(clock.ticks - inicio, kLimiteComandoMs);
    EXPECT_LT(clock.ticks - inicio, kLimiteComandoMs + 1000u);
    auto l = sink.lines(log.getFicheroLog());
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].substr(26), "El comando " + programa + " no termin\xF3 en 600 segundos: "
                               "se ha detenido junto con los programas que inici\xF3");
  }
  EXPECT_EQ(procs.endedTrees, 3);
}

TEST_F(SysComando, AnIdleCommandCostsFewWakeUpsAndTheWindowNeverWaitsLong) {
  // Every wait is taken to last its whole time: the worst case for the window.
  struct Ventana : FakeUi {
    const std::vector<unsigned>* waits = nullptr;
    size_t seen = 0;
    unsigned longest = 0;  // ms the window went without its messages
    void processMessages() override {
      FakeUi::processMessages();
      unsigned stall = 0;
      for (; seen < waits->size(); ++seen) stall += (*waits)[seen];
      longest = std::max(longest, stall);
    }
  } ventana;
  ventana.waits = &procs.waitTimes;
  procs.script.pieces = {{5, "a"}};
  procs.script.endAfterWaits = 40;
  EXPECT_EQ(EjecutarComando("sleep", Consola{kCmd, procs, ventana, clock, log}), "a");
  unsigned idleMs = 0;
  for (unsigned ms : procs.waitTimes) idleMs += ms;
  EXPECT_LE(ventana.longest, 50u);
  // About twenty wake-ups a second once idle, a few more just after output.
  EXPECT_LE(ventana.pumps, (int)(idleMs / 50) + 16) << idleMs << " ms";
}

// ---- services

namespace {

struct SysServicio : ::testing::Test {
  FakeClock clock;
  FakeServices svc{clock};
  FakeUi ui;
  FakeServices::Service& add(const std::string& key, std::vector<ServiceStatus> statuses) {
    FakeServices::Service s;
    s.key = key;
    s.display = key + " display";
    s.statuses = std::move(statuses);
    svc.services.push_back(s);
    return svc.services.back();
  }
  bool start(const std::string& name) { return iniciarServicioYEsperar("", name, svc, ui, clock); }
};

}  // namespace

TEST_F(SysServicio, FoundByKeyNameWithoutCase) {
  add("Dhcp", {});
  add("KVTDB", {});
  EXPECT_TRUE(isServicioInstalado("kvtdb", svc));
  EXPECT_TRUE(isServicioInstalado("KVTDB", svc));
  EXPECT_FALSE(isServicioInstalado("KVTDB2", svc));
  EXPECT_FALSE(isServicioInstalado("KVTD", svc));
  svc.listFails = true;
  EXPECT_THROW(isServicioInstalado("KVTDB", svc), Error);
}

TEST_F(SysServicio, StartWaitsThroughCheckPointsWithCappedSleepsAndPumping) {
  auto& s = add("KVTDB", {{kServiceStartPending, 1, 30000}, {kServiceStartPending, 2, 0}, {kServiceRunning, 0, 0}});
  EXPECT_TRUE(start("KVTDB"));
  EXPECT_TRUE(s.started);
  ASSERT_EQ(svc.sleeps.size(), 2u);
  EXPECT_EQ(svc.sleeps[0], kPausaServicioMaximaMs);  // a 30 s hint is not slept in one go
  EXPECT_EQ(svc.sleeps[1], kPausaServicioMinimaMs);  // a 0 hint is no tight loop
  EXPECT_EQ(ui.pumps, 2);
}

TEST_F(SysServicio, RefusedOrUnknownOrUnopenableGivesFalse) {
  auto& s = add("KVTDB", {});
  s.startRefused = true;  // for example already running
  EXPECT_FALSE(start("KVTDB"));
  EXPECT_EQ(s.queries, 0);
  EXPECT_FALSE(start("otro"));
  s.startRefused = false;
  svc.openFails = true;
  EXPECT_FALSE(start("KVTDB"));
}

TEST_F(SysServicio, FallingToStoppedEndsTheWaitAtOnce) {
  auto& s = add("KVTDB", {{kServiceStartPending, 1, 2000}, {kServiceStopped, 0, 0}});
  EXPECT_FALSE(start("KVTDB"));
  EXPECT_EQ(s.queries, 2);
  EXPECT_EQ(svc.sleeps.size(), 1u);
}

TEST_F(SysServicio, CheckPointGoingBackEndsTheWait) {
  add("KVTDB", {{kServiceStartPending, 5, 100}, {kServiceStartPending, 3, 100}, {kServiceRunning, 0, 0}});
  EXPECT_FALSE(start("KVTDB"));
}

TEST_F(SysServicio, StuckInItsStartStateGivesUpAfterTheBound) {
  auto& s = add("KVTDB", {{kServiceStartPending, 1, 5000}});  // check point never moves
  EXPECT_FALSE(start("KVTDB"));
  EXPECT_GE(clock.ticks, kEsperaServicioMs);
  EXPECT_LE(clock.ticks, kEsperaServicioMs + kPausaServicioMaximaMs);
  EXPECT_EQ(s.queries, 121);
}

// ---- processes

TEST(SysProcesos, RunningTestMatchesTheFileNameWithoutCase) {
  FakeProcesses p;
  p.table = {{0, "[System Process]"}, {4, "System"}, {300, "mysqld.exe"}, {301, "C:\\KVT\\KVT_service.exe"}};
  EXPECT_TRUE(isProcesoEnEjecucion("MYSQLD.EXE", p));
  EXPECT_TRUE(isProcesoEnEjecucion("kvt_SERVICE.exe", p));
  EXPECT_FALSE(isProcesoEnEjecucion("mysqld", p));
  EXPECT_FALSE(isProcesoEnEjecucion("ysqld.exe", p));
  p.listFails = true;
  EXPECT_FALSE(isProcesoEnEjecucion("mysqld.exe", p));
}

TEST(SysProcesos, TerminateEndsEveryMatchAndReportsTheLastAttempt) {
  FakeProcesses p;
  p.table = {{10, "KVT_service.exe"}, {11, "otro.exe"}, {12, "kvt_service.EXE"}, {13, "C:\\x\\mysqld.exe"}};
  EXPECT_TRUE(terminarProcesos("KVT_SERVICE.EXE", p));
  EXPECT_EQ(p.terminated, (std::vector<uint32_t>{10, 12}));
  EXPECT_FALSE(terminarProcesos("KVT_service.exe", p));  // none left
  EXPECT_TRUE(terminarProcesos("c:\\X\\MYSQLD.EXE", p));   // the whole executable text
  p.table = {{20, "a.exe"}, {21, "a.exe"}};
  p.protectedIds = {21};
  EXPECT_FALSE(terminarProcesos("a.exe", p));
  EXPECT_EQ(p.terminated.back(), 20u);
}

// ---- masks and folders

TEST(SysMascara, WildcardsSetsAndCase) {
  EXPECT_TRUE(coincideMascara("kvt_20240101.zip", "kvt*.zip"));
  EXPECT_TRUE(coincideMascara("KVT.ZIP", "kvt*.zip"));
  EXPECT_FALSE(coincideMascara("akvt.zip", "kvt*.zip"));
  EXPECT_FALSE(coincideMascara("kvt.zip.bak", "kvt*.zip"));
  EXPECT_TRUE(coincideMascara("kvt_a.zip.zip", "kvt*.zip"));
  EXPECT_TRUE(coincideMascara("ab.txt", "a?.t*"));
  EXPECT_FALSE(coincideMascara("a.txt", "a?.t*"));
  EXPECT_TRUE(coincideMascara("B7.log", "[a-c][0-9].*"));
  EXPECT_FALSE(coincideMascara("d7.log", "[a-c][0-9].*"));
  EXPECT_TRUE(coincideMascara("d7.log", "[!a-c]*"));
  EXPECT_TRUE(coincideMascara("\xC1rbol", "\xE1*"));  // Á against á
  EXPECT_TRUE(coincideMascara("[x", "[x"));          // an unclosed "[" is itself
  EXPECT_TRUE(coincideMascara("anything", "*"));
  EXPECT_FALSE(coincideMascara(".", "kvt*.zip"));
}

namespace {

struct SysCarpetas : ::testing::Test {
  FakeClock clock;
  FakeLogSink sink;
  FakeFiles files;
  std::unique_ptr<ULog> log;
  void SetUp() override {
    log = std::make_unique<ULog>(clock, sink, "C:\\Descargas\\setup.exe");
  }
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    for (const auto& l : sink.lines(log->getFicheroLog())) out.push_back(l.substr(26));
    return out;
  }
};

}  // namespace

TEST_F(SysCarpetas, KeepMaskKeepsBackupsAndTheirFoldersQuietlyAndClearsTheRest) {
  files.put("C:\\TurnaliaFree\\kvt_inicial.zip", "z");
  files.put("C:\\TurnaliaFree\\leeme.txt", "t");
  files.put("C:\\TurnaliaFree\\BackUp\\kvt_20240101.zip", "z");
  files.put("C:\\TurnaliaFree\\BackUp\\notas.txt", "t");
  files.put("C:\\TurnaliaFree\\BackUp\\viejos\\2023\\KVT_2023.ZIP", "z");
  files.put("C:\\TurnaliaFree\\bin\\KVT_service.exe", "x");
  files.put("C:\\TurnaliaFree\\bin\\lib\\a.dll", "x");
  files.mkdir("C:\\TurnaliaFree\\vacia");
  borrarDirectorio("C:\\TurnaliaFree", true, "kvt*.zip", files, *log);
  std::vector<std::string> left;
  for (const auto& p : files.paths()) left.push_back(FakeFiles::key(p));
  EXPECT_EQ(left, (std::vector<std::string>{"c:\\turnaliafree", "c:\\turnaliafree\\backup",
                                            "c:\\turnaliafree\\backup\\kvt_20240101.zip",
                                            "c:\\turnaliafree\\backup\\viejos", "c:\\turnaliafree\\backup\\viejos\\2023",
                                            "c:\\turnaliafree\\backup\\viejos\\2023\\kvt_2023.zip",
                                            "c:\\turnaliafree\\kvt_inicial.zip"}));
  EXPECT_TRUE(lines().empty());
}

TEST_F(SysCarpetas, WithoutMaskEverythingGoesAndMissingFolderDoesNothing) {
  files.put("C:\\App\\a\\b\\c.txt", "x");
  files.put("C:\\App\\d.txt", "x");
  files.put("C:\\Otra\\e.txt", "x");
  borrarDirectorio("C:\\App\\", true, "", files, *log);
  EXPECT_FALSE(files.has("C:\\App"));
  borrarDirectorio("C:\\NoExiste", true, "", files, *log);
  borrarDirectorio("C:\\NoExiste", false, "", files, *log);
  EXPECT_TRUE(files.has("C:\\Otra\\e.txt"));
  EXPECT_TRUE(lines().empty());
}

TEST_F(SysCarpetas, NonRecursiveLogsSubFolderEntriesAndDotsAndKeepsTheFolder) {
  files.put("C:\\Temp\\kvt\\a.txt", "x");
  files.put("C:\\Temp\\kvt\\b.sql", "x");
  files.put("C:\\Temp\\kvt\\mysql\\c.frm", "x");
  files.mkdir("C:\\Temp\\kvt\\vacia");
  borrarDirectorio("C:\\Temp\\kvt", false, "", files, *log);
  EXPECT_FALSE(files.has("C:\\Temp\\kvt\\a.txt"));
  EXPECT_FALSE(files.has("C:\\Temp\\kvt\\b.sql"));
  EXPECT_TRUE(files.has("C:\\Temp\\kvt\\mysql\\c.frm"));
  EXPECT_TRUE(files.has("C:\\Temp\\kvt\\vacia"));
  EXPECT_EQ(lines(), (std::vector<std::string>{"No se pudó eliminar el archivo C:\\Temp\\kvt\\.",
                                               "No se pudó eliminar el archivo C:\\Temp\\kvt\\..",
                                               "No se pudó eliminar el archivo C:\\Temp\\kvt\\mysql",
                                               "No se pudó eliminar el archivo C:\\Temp\\kvt\\vacia"}));
}

TEST_F(SysCarpetas, ReadOnlyFileStaysAndIsLoggedWithoutAFolderLine) {
  files.put("C:\\App\\datos\\solo.txt", "x", true);
  files.put("C:\\App\\datos\\otro.txt", "x");
  borrarDirectorio("C:\\App", true, "", files, *log);
  EXPECT_TRUE(files.has("C:\\App\\datos\\solo.txt"));
  EXPECT_FALSE(files.has("C:\\App\\datos\\otro.txt"));
  EXPECT_EQ(lines(), std::vector<std::string>{"No se pudó eliminar el archivo C:\\App\\datos\\solo.txt"});
}

TEST_F(SysCarpetas, LinkIsRemovedItselfAndItsTargetKept) {
  files.put("C:\\Fuera\\importante.txt", "datos");
  files.put("C:\\App\\a.txt", "x");
  files.link("C:\\App\\enlace");  // listed with the reparse bit
  borrarDirectorio("C:\\App", true, "", files, *log);
  EXPECT_FALSE(files.has("C:\\App"));
  EXPECT_EQ(files.content("C:\\Fuera\\importante.txt"), "datos");
  EXPECT_TRUE(lines().empty());
}

TEST_F(SysCarpetas, AFolderThatIsItselfALinkLosesOnlyTheLink) {
  for (bool refused : {false, true}) {
    FakeFiles f;
    f.put("C:\\App\\importante.txt", "datos");  // the target's file, seen through the link
    f.link("C:\\App");
    f.nodes[FakeFiles::key("C:\\App")].second.readOnly = refused;
    borrarDirectorio("C:\\App\\", true, "kvt*.zip", f, *log);
    EXPECT_EQ(f.has("C:\\App"), refused);
    EXPECT_EQ(f.content("C:\\App\\importante.txt"), "datos");
  }
  EXPECT_EQ(lines(), std::vector<std::string>{"No se pud\xF3 eliminar el archivo C:\\App"});
}

// Asked to, a file in use goes to the restart's list after the line of its failed deletion, and
// each folder left holding only such files follows its contents; anything else left (a kept
// backup, a read-only file) keeps the folder, and a read-only file is never in use.
TEST_F(SysCarpetas, FilesInUseAndTheFoldersHoldingOnlyThemGoAtTheRestart) {
  const std::string no = "No se pud\xF3 eliminar el archivo ", dir = " se eliminar\xE1 al reiniciar el equipo",
                    uso = " est\xE1 en uso," + dir;
  struct Caso {
    const char* nombre;
    std::vector<std::string> ficheros;  // below C:\App; "*" before a name: in use, "!" read-only
    bool pedido, rechazado;
    std::vector<std::string> lineas, programados, sinProgramar;
  } casos[] = {
      {"anidado", {"*bin\\lib\\a.dll", "bin\\b.dll"}, true, false,
       {no + "C:\\App\\bin\\lib\\a.dll", "El archivo C:\\App\\bin\\lib\\a.dll" + uso,
        "El directorio C:\\App\\bin\\lib" + dir, "El directorio C:\\App\\bin" + dir, "El directorio C:\\App" + dir},
       {"C:\\App\\bin\\lib\\a.dll", "C:\\App\\bin\\lib", "C:\\App\\bin", "C:\\App"}, {}},
      {"con copia", {"*bin\\a.dll", "*kvt_1.zip"}, true, false,
       {no + "C:\\App\\bin\\a.dll", "El archivo C:\\App\\bin\\a.dll" + uso, "El directorio C:\\App\\bin" + dir},
       {"C:\\App\\bin\\a.dll", "C:\\App\\bin"}, {}},
      {"solo lectura", {"*a.dll", "!b.txt", "!*c.txt"}, true, false,
       {no + "C:\\App\\a.dll", "El archivo C:\\App\\a.dll" + uso, no + "C:\\App\\b.txt", no + "C:\\App\\c.txt"},
       {"C:\\App\\a.dll"}, {}},
      {"sin pedirlo", {"*a.dll"}, false, false, {no + "C:\\App\\a.dll"}, {}, {}},
      {"rechazado", {"*bin\\a.dll"}, true, true,
       {no + "C:\\App\\bin\\a.dll",
        "El archivo C:\\App\\bin\\a.dll est\xE1 en uso y no se pudo programar su eliminaci\xF3n al reiniciar el "
        "equipo !"},
       {}, {"C:\\App\\bin\\a.dll"}},
  };
  for (const Caso& c : casos) {
    sink.files.clear();
    FakeFiles f;
    f.restartRefused = c.rechazado;
    for (std::string n : c.ficheros) {
      bool soloLectura = n[0] == '!';
      if (soloLectura) n.erase(0, 1);
      bool enUso = n[0] == '*';
      if (enUso) n.erase(0, 1);
      f.put("C:\\App\\" + n, "x", soloLectura);
      f.nodes[FakeFiles::key("C:\\App\\" + n)].second.inUse = enUso;
    }
    BorradoAlReiniciar reinicio;
    borrarDirectorio("C:\\App", true, "kvt*.zip", f, *log, c.pedido ? &reinicio : nullptr);
    EXPECT_EQ(lines(), c.lineas) << c.nombre;  // the fake lists by name
    EXPECT_EQ(f.atRestart, c.programados) << c.nombre;
    EXPECT_EQ(reinicio.programados, c.programados) << c.nombre;
    EXPECT_EQ(reinicio.sinProgramar, c.sinProgramar) << c.nombre;
  }
}

namespace {
// A folder whose own removal is refused even when empty.
struct StubbornFiles : FakeFiles {
  bool removeFolder(const std::string& path) override {
    return key(path) == "c:\\app" ? false : FakeFiles::removeFolder(path);
  }
};
}  // namespace

TEST_F(SysCarpetas, EmptyFolderThatCannotBeRemovedIsLoggedWithItsTrailingBackslash) {
  StubbornFiles f;
  f.put("C:\\App\\a.txt", "x");
  borrarDirectorio("C:\\App", true, "", f, *log);
  EXPECT_FALSE(f.has("C:\\App\\a.txt"));
  EXPECT_EQ(lines(), std::vector<std::string>{"No se pudó eliminar el directorio C:\\App\\"});
}

namespace {
// A listing as a careless port could give it: names holding a separator or a drive.
struct ListingWithSeparators : FakeFiles {
  std::vector<std::string> deleted;
  bool list(const std::string& pattern, std::vector<FileEntry>& out) override {
    bool any = FakeFiles::list(pattern, out);
    for (const char* name : {"..\\Fuera\\importante.txt", "D:x.txt"}) out.push_back(FileEntry{name});
    return any;
  }
  bool deleteFile(const std::string& path) override {
    deleted.push_back(path);
    return FakeFiles::deleteFile(path);
  }
};
}  // namespace

TEST_F(SysCarpetas, NamesThatAreNotTheFilesOwnAreLeftAloneAndLogged) {
  ListingWithSeparators f;
  f.put("C:\\App\\?ód?.txt", "x");         // the system's "Łódź.txt", as the program's text shows it
  f.put("C:\\App\\?ód?\\dentro.txt", "x");  // a folder so named: not entered
  f.put("C:\\App\\normal.txt", "x");
  borrarDirectorio("C:\\App", true, "", f, *log);
  EXPECT_EQ(f.deleted, std::vector<std::string>{"C:\\App\\normal.txt"});
  EXPECT_TRUE(f.has("C:\\App\\?ód?\\dentro.txt"));
  std::vector<std::string> l = lines(), expected;
  std::sort(l.begin(), l.end());
  for (const char* name : {"..\\Fuera\\importante.txt", "?ód?", "?ód?.txt", "D:x.txt"})
    expected.push_back(std::string("No se eliminó el archivo C:\\App\\") + name +
                       " porque su nombre tiene caracteres no admitidos");
  EXPECT_EQ(l, expected);  // and no folder line: the folder is not empty
}

TEST(SysDirectorioVacio, DotsOnlyOrARootWithTwoEntries) {
  FakeFiles files;
  files.mkdir("C:\\Vacia");
  files.put("C:\\Llena\\a.txt", "x");
  EXPECT_TRUE(isDirectorioVacio("C:\\Vacia", files));
  EXPECT_FALSE(isDirectorioVacio("C:\\Llena", files));
  EXPECT_FALSE(isDirectorioVacio("C:\\NoExiste", files));
  files.put("D:\\uno.txt", "x");
  files.mkdir("D:\\dos");
  EXPECT_TRUE(isDirectorioVacio("D:", files));  // a root lists no dots
  files.put("D:\\tres.txt", "x");
  EXPECT_FALSE(isDirectorioVacio("D:", files));
}
