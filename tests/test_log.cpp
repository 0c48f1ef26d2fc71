#include <gtest/gtest.h>

#include "core/log.h"
#include "core/texto.h"
#include "tests/fakes/fakes.h"

using namespace tf;

TEST(Log, PathAndMutexNameFollowTheExecutableAndDate) {
  FakeClock clock;
  FakeLogSink sink;
  ULog log(clock, sink, "C:\\Descargas\\setup.exe");
  EXPECT_EQ(log.getFicheroLog(), "C:\\Descargas\\setup_081224.log");
  ASSERT_EQ(sink.mutexNames.size(), 1u);
  EXPECT_EQ(sink.mutexNames[0], "C:/Descargas/setup_081224.log");
  EXPECT_EQ(ULog::logPathFor("C:\\Windows\\TurnaliaFree\\uninstall.exe", clock.time),
            "C:\\Windows\\TurnaliaFree\\uninstall_081224.log");
  EXPECT_EQ(ULog::logPathFor("D:\\a.b\\setup.v2.exe", clock.time), "D:\\a.b\\setup.v2_081224.log");
}

TEST(Log, LinesAreAppendedWithPrefixAndCrLf) {
  FakeClock clock;
  FakeLogSink sink;
  ULog log(clock, sink, "C:\\Descargas\\setup.exe");
  log.registrarLog("primera");
  clock.time.second = 6;
  log.registrarLog("línea\r\ncon salto");
  EXPECT_EQ(sink.files["C:\\Descargas\\setup_081224.log"],
            "    [08/12/2024 10:31:05] primera\r\n    [08/12/2024 10:31:06] línea\r\ncon salto\r\n");
  EXPECT_EQ(sink.locks, 2);
  EXPECT_EQ(sink.unlocks, 2);
}

TEST(Log, RunPastMidnightMovesToTheNextDaysFileButKeepsTheMutex) {
  FakeClock clock;
  clock.time = LocalTime{2024, 12, 31, 23, 59, 59, 0};
  FakeLogSink sink;
  ULog log(clock, sink, "C:\\Descargas\\setup.exe");
  log.registrarLog("antes");
  clock.time = LocalTime{2025, 1, 1, 0, 0, 1, 0};
  log.registrarLog("después");
  EXPECT_EQ(log.getFicheroLog(), "C:\\Descargas\\setup_010125.log");
  EXPECT_EQ(sink.lines("C:\\Descargas\\setup_311224.log").size(), 1u);
  EXPECT_EQ(sink.lines("C:\\Descargas\\setup_010125.log").size(), 1u);
  EXPECT_EQ(sink.mutexNames, std::vector<std::string>{"C:/Descargas/setup_311224.log"});
}

TEST(Log, ReadOnlyFolderOrNoMutexLosesLinesQuietly) {
  FakeClock clock;
  FakeLogSink sink;
  sink.readOnlyFolders.push_back("C:\\SoloLectura\\");
  ULog log(clock, sink, "C:\\SoloLectura\\setup.exe");
  EXPECT_NO_THROW(log.registrarLog("perdida"));
  EXPECT_TRUE(sink.files.empty());
  EXPECT_EQ(sink.unlocks, 1);  // released also when the write failed

  FakeLogSink noMutex;
  noMutex.mutexFails = true;
  ULog log2(clock, noMutex, "C:\\Descargas\\setup.exe");
  log2.registrarLog("sin mutex");
  EXPECT_TRUE(noMutex.files.empty());
}

TEST(Log, MutexHeldElsewhereBoundsTheWaitAndTheLineIsWrittenAnyway) {
  FakeClock clock;
  FakeLogSink sink;
  ULog log(clock, sink, "C:\\Descargas\\setup.exe");
  sink.mutexHeldElsewhere = true;
  log.registrarLog("uno");
  log.registrarLog("dos");
  sink.mutexHeldElsewhere = false;
  log.registrarLog("tres");
  log.registrarLog("cuatro");
  EXPECT_EQ(sink.lines("C:\\Descargas\\setup_081224.log").size(), 4u);
  // One long wait; while the mutex stays away the next are short; once it comes, long again.
  EXPECT_EQ(sink.waits, (std::vector<unsigned>{kEsperaMutexLogMs, kEsperaMutexLogTrasFalloMs,
                                               kEsperaMutexLogTrasFalloMs, kEsperaMutexLogMs}));
  EXPECT_EQ(sink.locks, 4);
  EXPECT_EQ(sink.unlocks, 2);  // released only when it was taken
}

TEST(Log, ExecutableThatCouldNotBeNamedMeansNoLog) {
  FakeClock clock;
  FakeLogSink sink;
  ULog log(clock, sink, "");
  log.registrarLog("sin ruta");
  EXPECT_TRUE(sink.files.empty());
  EXPECT_TRUE(sink.mutexNames.empty());
}

// "-log <path>": the full path the log goes to, or why it cannot (the folders it made are gone).
TEST(Log, TheFileNamedOnTheCommandLineIsMadeReadyOrRefused) {
  const std::string noEscribir = "No fue posible o no tiene privilegios para escribir en el fichero ";
  struct Caso {
    std::string ruta, actual, fichero, error;
  } casos[] = {
      {"C:\\Registros\\instalacion.log", "C:\\", "C:\\Registros\\instalacion.log", ""},
      {"registros/../Registros/./x.log", "C:\\Trabajo", "C:\\Trabajo\\Registros\\x.log", ""},
      {"\\Registros\\x.log", "D:\\Trabajo\\", "D:\\Registros\\x.log", ""},
      {"..\\..\\..\\x.log", "C:\\A", "C:\\x.log", ""},
      {"\\\\servidor\\recurso\\logs\\x.log", "C:\\", "\\\\servidor\\recurso\\logs\\x.log", ""},
      {"C:\\Registros\\", "C:\\", "", noEscribir + "C:\\Registros\\ !"},
      {"C:\\Registros\\con.log", "C:\\", "", noEscribir + "C:\\Registros\\con.log !"},
      {"C:\\Registros\\a:b.log", "C:\\", "", noEscribir + "C:\\Registros\\a:b.log !"},
      {"C:x.log", "C:\\", "", noEscribir + "C:x.log !"},
      {"\\\\servidor", "C:\\", "", noEscribir + "\\\\servidor !"},
      {"\\\\.\\pipe\\x", "C:\\", "", noEscribir + "\\\\.\\pipe\\x !"},
      {"\\\\?\\C:\\x.log", "C:\\", "", noEscribir + "\\\\?\\C:\\x.log !"},
      {"C:\\Fichero\\x.log", "C:\\", "", "No fue posible o no tiene privilegios para crear el directorio C:\\Fichero !"},
      {"C:\\Nueva\\Registros\\x.log", "C:\\", "", noEscribir + "C:\\Nueva\\Registros\\x.log !"},
  };
  for (const Caso& c : casos) {
    FakeFiles files;
    files.current = c.actual;
    files.put("C:\\Fichero", "un fichero");
    FakeLogSink sink;
    sink.readOnlyFolders.push_back("C:\\Nueva\\");
    std::string error;
    EXPECT_EQ(prepararFicheroLog(c.ruta, files, sink, error), c.fichero) << c.ruta;
    EXPECT_EQ(error, c.error) << c.ruta;
    // The file opened in its folder, or nothing left behind.
    EXPECT_EQ(sink.files.count(c.fichero), c.fichero.empty() ? 0u : 1u) << c.ruta;
    if (c.fichero.empty()) EXPECT_EQ(files.paths(), std::vector<std::string>{"C:\\Fichero"}) << c.ruta;
    else EXPECT_TRUE(files.folderExists(extraerDirectorio(c.fichero))) << c.ruta;
  }
}
