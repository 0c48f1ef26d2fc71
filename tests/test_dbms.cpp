// The database server step over a fake machine: commands, configuration, service, failures.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "install/dbms.h"
#include "tests/fakes/maquina.h"
#include "tests/fakes/zip_memoria.h"

using namespace tf;

namespace {

const std::string kPF = "C:\\Program Files (x86)";
const std::string kDbms = kPF + "\\MySQL\\MariaDB 10.1";
const std::string kCorto = "C:\\PROGRA~2\\MySQL\\MARIAD~1.1\\bin\\";
const std::string kTemp = "C:\\Descargas\\Temp";
const std::string kIni = "[mysqld]\r\nport=3307\r\nbasedir=MariaDB 10.1\r\nmax_connections=50\r\n";

struct Banco : MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  bool servicioSeRegistra = true;
  std::vector<std::pair<std::string, std::string>> entradas = {
      {"MariaDB 10.1/bin/mysqld.exe", "MZ"}, {"MariaDB 10.1/bin/mysqladmin.exe", "MZ"},
      {"MariaDB 10.1/bin/mysql.exe", "MZ"}, {"MariaDB 10.1/data/my.ini", kIni}};

  void preparar() {
    processes.onStart = [this](const std::string& cmd) {
      FakeCommandScript s;
      if (cmd.find("--install KVTDB") != std::string::npos) {
        if (servicioSeRegistra) services.services.push_back({"KVTDB", "KVTDB"});
        s.pieces.push_back({0, "Service successfully installed."});
      } else if (cmd.find("mysql.exe") != std::string::npos) {
        s.pieces.push_back({0, "ERROR 1045 (28000): Access denied"});
      }
      return s;
    };
    for (const char* p : {"mysqld.exe", "mysqladmin.exe", "mysql.exe"})
      files.shortNames[kDbms + "\\bin\\" + p] = kCorto + p;
    files.put(kTemp + "\\temp_turnaliafree.sql", "CREATE DATABASE turnaliafree;");
    net.servidoresMySQL[3307].tablas = {"empleados", "turnos"};
    frm = &arrancar();
  }
  // Runs the step; returns the error that stopped it.
  std::string instalar() {
    files.put(kTemp + "\\dbms.zip", zipAlmacenado(entradas));
    try {
      instalarSoftware(*frm);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }
  std::vector<std::string> comandos() {
    std::vector<std::string> out;
    for (const auto& c : processes.started) out.push_back(c.substr(std::string("C:\\windows\\system32\\cmd.exe /c ").size()));
    return out;
  }
  std::vector<std::string> desde(const std::string& primera) {
    auto l = mensajes();
    auto it = std::find(l.begin(), l.end(), primera);
    return std::vector<std::string>(it, l.end());
  }
};

struct Dbms : ::testing::Test, Banco {
  void SetUp() override { preparar(); }
};

}  // namespace

TEST_F(Dbms, UnpacksConfiguresRegistersStartsAndLoadsTheSchema) {
  std::string error = instalar();
  // The application step comes next; its package is not there.
  EXPECT_EQ(error, "Fichero TurnaliaFree.zip no descargado, instalaci\xF3n detenida !");

  const std::string pw = frm->estado.passwordDBMS;
  EXPECT_EQ(comandos(), (std::vector<std::string>{
                            kCorto + "mysqld.exe --install KVTDB --defaults-file=\"" + kDbms + "\\data\\my.ini\"",
                            kCorto + "mysqladmin.exe --port 3307 -u root password " + pw,
                            kCorto + "mysql.exe -P3307 -uroot -p" + pw + " < \"" + kTemp + "\\temp_turnaliafree.sql\""}));
  EXPECT_EQ(files.content(kDbms + "\\data\\my.ini"),
            "[mysqld]\r\ndatadir=\"" + kDbms + "\\Data\\\"\r\nbasedir=MariaDB 10.1\r\nmax_connections=50\r\n");
  EXPECT_FALSE(files.has(kTemp + "\\dbms.zip"));
  EXPECT_TRUE(services.find("KVTDB")->started);
  EXPECT_EQ(frm->form["lblMensajeAviso"].caption, "Instalando el Software TurnaliaFree descargado ...");
  EXPECT_EQ(frm->form["ProgressBar2"].position, 100);
  EXPECT_FALSE(ui.busy);

  auto l = desde("Install software TurnaliaFree");
  std::vector<std::string> esperado = {"Install software TurnaliaFree", "check if DBMS file exists ...",
                                       "DBMS file exists !", "expanding DBMS file ...",
                                       "DBMS file expanded successfully !", "DBMS managed successfully !",
                                       "updating ini file ...", "ini file updated successfully !",
                                       "installing DBMS as service ...", "Service successfully installed.",
                                       "starting DBMS ...", "DBMS started !", "setting root password ...", "",
                                       "generating script database file ...", "ERROR 1045 (28000): Access denied"};
  ASSERT_GE(l.size(), esperado.size());
  EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + esperado.size()), esperado);
  for (const auto& line : mensajes()) EXPECT_EQ(line.find(pw), std::string::npos) << "password logged: " << line;
}

TEST_F(Dbms, ARunningServerOfAnotherProductIsNeitherRegisteredNorStarted) {
  frm->estado.dbmsEnEjecucion = true;
  instalar();
  auto c = comandos();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_NE(c[0].find("mysqladmin.exe --port 3307"), std::string::npos);
  EXPECT_NE(c[1].find("mysql.exe -P3307"), std::string::npos);
  EXPECT_TRUE(services.services.empty());
}

TEST_F(Dbms, AProgramPathWithABlankIsQuotedAndTheLineSurvivesCmd) {
  files.shortNames.clear();  // a volume with 8.3 names off gives the long form back
  instalar();
  auto c = comandos();
  ASSERT_FALSE(c.empty());
  EXPECT_EQ(c[0], "\"\"" + kDbms + "\\bin\\mysqld.exe\" --install KVTDB --defaults-file=\"" + kDbms +
                      "\\data\\my.ini\"\"");
}

TEST_F(Dbms, TheEarlierDataFolderIsSetAsideWholeBeforeUnpackingAndNeverDeleted) {
  files.put(kDbms + "\\data\\turnaliafree\\empleados.ibd", "registros");
  files.put(kDbms + "\\data\\ibdata1", "diccionario");
  // Without the package nothing is unpacked over it: it stays where the server finds it.
  EXPECT_THROW(instalarSoftware(*frm), std::exception);
  EXPECT_EQ(files.content(kDbms + "\\data\\turnaliafree\\empleados.ibd"), "registros");
  EXPECT_FALSE(files.folderExists(kDbms + "\\BackUp"));

  instalar();
  // The package's own data folder is the one in use; the old one is kept as it was.
  EXPECT_FALSE(files.has(kDbms + "\\data\\turnaliafree") || files.has(kDbms + "\\data\\ibdata1"));
  EXPECT_TRUE(files.has(kDbms + "\\data\\my.ini"));
  const std::string copia = kDbms + "\\BackUp\\data_20241208_103105";
  EXPECT_EQ(files.content(copia + "\\turnaliafree\\empleados.ibd"), "registros");
  EXPECT_EQ(files.content(copia + "\\ibdata1"), "diccionario");
  auto l = mensajes();
  auto it = std::find(l.begin(), l.end(), "Eliminando directorio " + kDbms + "\\data");
  ASSERT_NE(it, l.end());
  EXPECT_EQ(*(it + 1), "Base de datos anterior guardada en " + copia);

  // Where it cannot be kept, it stays where it is and the run stops.
  Banco t;
  t.preparar();
  t.files.put(kDbms + "\\data\\turnaliafree\\empleados.ibd", "registros");
  t.files.put(kDbms + "\\BackUp", "a file where the folder should be");
  EXPECT_EQ(t.instalar().substr(0, 44), "No se pudo guardar la base de datos anterior");
  EXPECT_EQ(t.files.content(kDbms + "\\data\\turnaliafree\\empleados.ibd"), "registros");
  EXPECT_TRUE(t.processes.started.empty());
}

// After the schema: the product database must answer on 127.0.0.1:3307 with the derived
// password and hold tables, or the run ends naming what is missing (the reason in the log),
// before the application.
TEST_F(Dbms, TheDatabaseCheckEndsTheRunNamingWhatIsMissing) {
  const std::string detenida = ", instalaci\xF3n detenida !";
  struct Caso {
    bool servidor;  // false: nothing on 3307, another mysqld.exe running
    uint16_t errorLogin;
    std::vector<std::string> tablas;
    std::string mensaje, razon, siguiente;  // razon: in the check's log line; siguiente: the next line's start
  } casos[] = {
      {true, 0, {"empleados"}, "Fichero TurnaliaFree.zip no descargado" + detenida, "responde con 1 tablas",
       "check if TurnaliaFree"},
      {true, 0, {}, "La base de datos turnaliafree no existe o no tiene tablas" + detenida, "no tiene tablas", ""},
      {true, 1045, {}, "El servidor de base de datos de 127.0.0.1:3307 no acepta la contrase\xF1" "a de root de "
       "TurnaliaFree" + detenida, "error 1045 (28000): Access denied", ""},
      {false, 0, {}, "El servidor de base de datos no responde en 127.0.0.1:3307" + detenida, "no se pudo conectar",
       "Otro programa mysqld.exe estaba en ejecuci\xF3n: el servicio KVTDB no se registr\xF3 ni se inici\xF3"},
  };
  for (const Caso& c : casos) {
    Banco t;
    t.preparar();
    t.net.servidoresMySQL[3307] = {c.errorLogin, c.tablas};
    if (!c.servidor) t.net.servidoresMySQL.clear();
    t.frm->estado.dbmsEnEjecucion = !c.servidor;
    EXPECT_EQ(t.instalar(), c.mensaje);
    auto l = t.desde("Comprobando la base de datos turnaliafree en 127.0.0.1:3307 ...");
    ASSERT_GE(l.size(), 2u);
    EXPECT_NE(l[1].find(c.razon), std::string::npos) << l[1];
    EXPECT_EQ((l.size() > 2 ? l[2] : "").substr(0, c.siguiente.size()), c.siguiente);
  }
}

TEST_F(Dbms, EachFailureEndsTheRunWithItsMessage) {
  struct Caso {
    const char* nombre;
    std::function<void(Banco&)> preparar;
    std::string mensaje;
  };
  const std::vector<Caso> casos = {
      {"ini missing", [](Banco& t) { t.entradas.pop_back(); }, "Fichero ini no fue encontrado !"},
      {"ini of one line", [](Banco& t) { t.entradas.back().second = "[mysqld]"; },
       "El fichero " + kDbms + "\\data\\my.ini tiene menos de dos l\xEDneas, instalaci\xF3n detenida !"},
      {"bin missing",
       [](Banco& t) { t.entradas = {{"MariaDB 10.1/data/my.ini", kIni}}; },
       "No existe el directorio del DBMS, instalaci\xF3n detenida !"},
      {"service not registered", [](Banco& t) { t.servicioSeRegistra = false; },
       "No se ha instalado el servicio KVTDB"},
      {"service does not run",
       [](Banco& t) {
         t.processes.onStart = [&t](const std::string&) {
           t.services.services.push_back({"KVTDB", "KVTDB"});
           t.services.services.back().statuses = {{kServiceStopped, 0, 0}};
           return FakeCommandScript{};
         };
       },
       "No se instal\xF3 correctamente el servicio KVTDB, consulte con su distribuidor !"},
      // Its bare arguments must not reach the interpreter: " --install ..." would start whatever
      // "--install" names in the current folder.
      {"server program missing", [](Banco& t) { t.entradas.erase(t.entradas.begin()); },
       "No se ha instalado el servicio KVTDB"},
      {"schema missing", [](Banco& t) { t.files.deleteFile(kTemp + "\\temp_turnaliafree.sql"); },
       "No se encontr\xF3 el archivo temp_turnaliafree.sql en el directorio " + kTemp + "\\ !"},
  };
  for (const Caso& c : casos) {
    Banco t;
    t.preparar();
    c.preparar(t);
    std::string error = t.instalar();
    EXPECT_EQ(error, c.mensaje) << c.nombre;
    for (const std::string& cmd : t.comandos()) EXPECT_NE(cmd.substr(0, 1), " ") << c.nombre;
  }
}

TEST_F(Dbms, ACorruptPackageNamesTheUnzipperErrorAndRestoresTheCursor) {
  files.put(kTemp + "\\dbms.zip", "not a zip at all");
  try {
    instalarSoftware(*frm);
    FAIL();
  } catch (const std::exception& e) {
    std::string m = e.what();
    EXPECT_NE(m.find("dbms.zip"), std::string::npos) << m;
    EXPECT_EQ(m.substr(m.size() - 24), ", instalaci\xF3n detenida !");
  }
  EXPECT_FALSE(ui.busy);
}
