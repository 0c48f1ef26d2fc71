// The database server package (dbms.zip of the vendor test server: the stand-ins of
// tests/fixtures/mysqld.cpp, mysqladmin.cpp, mysql.cpp and my.ini) driven as the installer drives
// it: unpacked under Program Files, my.ini's second line rewritten, the commands run through the
// command runner with 8.3 program paths, KVTDB started through the service manager. What the
// server holds is checked from Linux with Debian's own client.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "sys/comando.h"
#include "sys/servicios.h"
#include "sys/utilidades.h"
#include "tests/fixtures/linux_run.h"
#include "tests/wine/vendor_test.h"
#include "zip/unzipper.h"

using namespace tf;

namespace {

const char kPassword[] = "Kvt7c41e9";
const char kTables[] = "ausencias configuracion cuadrantes departamentos empleados fichajes terminales turnos ";

struct QuietUi : NoUi {
  void processMessages() override {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  }
};

// Debian's client from Linux: its exit code and output (standard error joined).
int mariadb(const std::string& password, const std::string& sql, std::string& out) {
  out.clear();
  return tffix::runLinux({L"/usr/bin/mariadb", L"--no-defaults", L"--protocol=TCP", L"-h127.0.0.1", L"-P3307",
                          L"-uroot", L"-p" + widen(password), L"-N", L"-e", tffix::fromUtf8(sql)},
                         nullptr, [&](const char* d, size_t n) { out.append(d, n); });
}

SERVICE_STATUS queryService(const wchar_t* name) {
  SERVICE_STATUS st = {};
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE s = scm ? OpenServiceW(scm, name, SERVICE_QUERY_STATUS) : nullptr;
  if (!s || !QueryServiceStatus(s, &st)) st.dwCurrentState = 0;
  if (s) CloseServiceHandle(s);
  if (scm) CloseServiceHandle(scm);
  return st;
}

// Waits (at most ms) until the service is stopped; its last status.
SERVICE_STATUS waitStopped(const wchar_t* name, DWORD ms) {
  SERVICE_STATUS st = queryService(name);
  for (DWORD t0 = GetTickCount(); st.dwCurrentState != SERVICE_STOPPED && GetTickCount() - t0 < ms; Sleep(200))
    st = queryService(name);
  return st;
}

bool stopService(const wchar_t* name) {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE s = scm ? OpenServiceW(scm, name, SERVICE_STOP) : nullptr;
  SERVICE_STATUS st;
  bool ok = s && ControlService(s, SERVICE_CONTROL_STOP, &st);
  if (s) CloseServiceHandle(s);
  if (scm) CloseServiceHandle(scm);
  return ok;
}

// A Linux process that has not ended (a zombie has).
bool linuxProcessAlive(unsigned pid) {
  std::string stat;
  Win32Files files;
  if (!pid || !files.readFile("Z:\\proc\\" + std::to_string(pid) + "\\stat", stat)) return false;
  size_t close = stat.rfind(") ");
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

bool waitGone(unsigned pid, DWORD ms) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < ms; Sleep(200))
    if (!linuxProcessAlive(pid)) return true;
  return false;
}

struct Dbms : ::testing::Test {
  static inline Win32Files files;
  static inline Win32Processes procs;
  static inline Win32Services services;
  static inline Win32Clock clock;
  static inline QuietUi ui;
  // Nothing to keep from the clean-up's log lines.
  struct SinLog : Log {
    void registrarLog(const std::string&) override {}
  };
  static inline SinLog log;
  static inline std::string base, dir, temp, setupError;

  static void SetUpTestSuite() {
    if (env("TF_VENDOR_DOCROOT").empty()) return;
    std::string packages = winPath(env("TF_VENDOR_DOCROOT")) + "\\version\\packages\\";
    base = Win32SystemInfo().programFilesDir() + "\\TF Pruebas BD";
    dir = base + "\\MariaDB 10.1";
    temp = base + "\\Temp";
    try {
      UnZipper zip(files);
      zip.open(packages + "dbms.zip");
      zip.baseDirectory = base;
      zip.extractFiles("*.*");
      zip.close();
    } catch (const std::exception& e) {
      setupError = e.what();
      return;
    }
    // The installer's edit: the second line names the data folder, every line ends in CR LF.
    std::string ini, edited;
    files.readFile(dir + "\\data\\my.ini", ini);
    size_t at = 0;
    for (int line = 0; at < ini.size(); ++line) {
      size_t end = ini.find('\n', at);
      end = end == std::string::npos ? ini.size() : end + 1;
      std::string text = ini.substr(at, end - at);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      edited += (line == 1 ? "datadir=\"" + dir + "\\Data\\\"" : text) + "\r\n";
      at = end;
    }
    files.writeFile(dir + "\\data\\my.ini", edited);
    files.createFolders(temp);
    files.copyFile(packages + "temp_turnaliafree.sql", temp + "\\temp_turnaliafree.sql", false);
  }

  static void TearDownTestSuite() {
    if (queryService(L"KVTDB").dwCurrentState != SERVICE_STOPPED && stopService(L"KVTDB")) waitStopped(L"KVTDB", 90000);
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE s = scm ? OpenServiceW(scm, L"KVTDB", DELETE) : nullptr;
    if (s) DeleteService(s), CloseServiceHandle(s);
    if (scm) CloseServiceHandle(scm);
    if (!base.empty() && !getenv("TF_KEEP")) borrarDirectorio(base, true, "", files, log);
  }

  void SetUp() override {
    if (env("TF_VENDOR_DOCROOT").empty()) GTEST_SKIP() << "no vendor docroot (run through run_all.sh)";
    ASSERT_EQ(setupError, "");
  }

  std::string bin(const std::string& program) { return files.shortPath(dir + "\\bin\\" + program); }
  std::string run(const std::string& command) {
    static Win32SystemInfo sys;
    return EjecutarComando(command, Consola{sys.systemProgramsDir() + "\\cmd.exe", procs, ui, clock, log});
  }
  std::string installCommand() {
    return bin("mysqld.exe") + " --install KVTDB --defaults-file=\"" + dir + "\\data\\my.ini\"";
  }
  std::string schemaCommand() {
    return bin("mysql.exe") + " -P3307 -uroot -p" + kPassword + " < \"" + temp + "\\temp_turnaliafree.sql\"";
  }
  bool start() { return iniciarServicioYEsperar("", "KVTDB", services, ui, clock); }
  // The end of the stand-in's log, for failure messages.
  std::string serverLog() {
    std::string text;
    files.readFile(dir + "\\data\\mysqld.log", text);
    return "mysqld.log:\n" + text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
  }
  // A program started with pipes for its standard handles, given (at most 30 s) to end.
  struct Launched {
    bool ended = false;
    DWORD code = 99;
    std::string out;
  };
  static Launched launch(const std::string& commandLine, const std::string& input, bool closeInput) {
    Launched r;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE inR, inW, outR, outW;
    if (!CreatePipe(&inR, &inW, &sa, 0)) return r;
    if (!CreatePipe(&outR, &outW, &sa, 0)) return CloseHandle(inR), CloseHandle(inW), r;
    SetHandleInformation(inW, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outR, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inR;
    si.hStdOutput = si.hStdError = outW;
    std::wstring line = widen(commandLine);
    PROCESS_INFORMATION pi = {};
    BOOL started =
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(inR);
    CloseHandle(outW);
    DWORD n;
    if (started) WriteFile(inW, input.data(), (DWORD)input.size(), &n, nullptr);
    if (closeInput) CloseHandle(inW), inW = nullptr;
    for (DWORD t0 = GetTickCount(); started && GetTickCount() - t0 < 30000;) {
      bool exited = WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0;
      char buf[4096];
      while (PeekNamedPipe(outR, nullptr, 0, nullptr, &n, nullptr) && n > 0 &&
             ReadFile(outR, buf, sizeof buf, &n, nullptr) && n > 0)
        r.out.append(buf, n);
      if ((r.ended = exited)) break;
    }
    if (started) {
      if (!r.ended) TerminateProcess(pi.hProcess, 1);
      GetExitCodeProcess(pi.hProcess, &r.code);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    if (inW) CloseHandle(inW);
    CloseHandle(outR);
    return r;
  }
  unsigned serverPid() {
    std::string text;
    files.readFile(dir + "\\data\\mysqld.pid", text);
    return (unsigned)std::strtoul(text.c_str(), nullptr, 10);
  }
};

}  // namespace

// The installer's sequence; the server then holds the product's schema under the new password.
TEST_F(Dbms, CommandsRegisterStartAndLoadTheServer) {
  EXPECT_NE(bin("mysqld.exe").find('~'), std::string::npos);  // the 8.3 form, no blanks
  EXPECT_EQ(run(installCommand()), "Service successfully installed.\r\n");
  EXPECT_EQ(run(installCommand()), "The service already exists!\r\n");
  ASSERT_TRUE(isServicioInstalado("KVTDB", services));
  uint64_t t0 = clock.tickMs();
  ASSERT_TRUE(start()) << serverLog();
  std::printf("[   info   ] KVTDB first start (data folder initialised): %llu ms\n",
              (unsigned long long)(clock.tickMs() - t0));
  EXPECT_TRUE(isProcesoEnEjecucion("mysqld.exe", procs));
  EXPECT_TRUE(linuxProcessAlive(serverPid()));

  // The runner hands over a pipe nobody writes to as standard input: mysqladmin must not wait on it
  // (checked with a bound before the runner, which waits as long as it takes).
  ASSERT_TRUE(launch(bin("mysqladmin.exe") + " -P3307 -uroot ping", "", false).ended);
  EXPECT_EQ(run(bin("mysqladmin.exe") + " --port 3307 -u root password " + kPassword), "");
  EXPECT_EQ(run(schemaCommand()), "");
  EXPECT_EQ(run(schemaCommand()), "");  // a second run changes nothing and fails on nothing
  // Root has a password now: the installer's command fails on a second installation, in words.
  EXPECT_NE(run(bin("mysqladmin.exe") + " --port 3307 -u root password otra").find("Access denied"), std::string::npos);

  std::string out;
  EXPECT_EQ(mariadb(kPassword, "SHOW TABLES FROM turnaliafree", out), 0) << out;
  std::string tables;
  for (char c : out) tables += c == '\n' ? ' ' : c;
  EXPECT_EQ(tables, kTables);
  EXPECT_EQ(mariadb(kPassword, "SELECT GROUP_CONCAT(nombre ORDER BY id_turno) FROM turnaliafree.turnos", out), 0);
  // UTF-8 from the server: the script's Windows-1252 "Mañana" was read as such.
  EXPECT_EQ(out, std::string("Ma") + "\xC3\xB1" + "ana,Tarde,Noche\n");
  EXPECT_EQ(mariadb("", "SELECT 1", out), 1);
  EXPECT_NE(out.find("Access denied for user 'root'@'127.0.0.1' (using password: NO)"), std::string::npos) << out;
}

// Run directly, the client stand-ins give back the Linux client's exit code and output, and take
// their standard input where asked.
TEST_F(Dbms, ClientsPassOnExitCodeOutputAndInput) {
  ASSERT_EQ(queryService(L"KVTDB").dwCurrentState, (DWORD)SERVICE_RUNNING);
  struct Case {
    const char* program;
    std::string args, input;
    DWORD code;
    std::string output;  // expected within the output
  } cases[] = {
      {"mysqladmin.exe", std::string("-P3307 -uroot -p") + kPassword + " ping", "", 0, "mysqld is alive\r\n"},
      {"mysqladmin.exe", "-P3307 -uroot status", "", 1, "Access denied"},
      {"mysqladmin.exe", "-P3309 -uroot ping", "", 1, "Can't connect"},
      {"mysql.exe", std::string("-P3307 -uroot -p") + kPassword + " -N", "SELECT 40 + 2;\n", 0, "42\r\n"},
      {"mysql.exe", std::string("-P3307 -uroot -p") + kPassword, "SELEC 1;\n", 1, "ERROR 1064"},
      {"mysql.exe", std::string("-P3307 -uroot \"-p") + kPassword + "\" -N -e \"SELECT 'a b'\"", "", 0, "a b\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.args);
    // mysqladmin's input stays open and empty, as the command runner leaves it.
    Launched r = launch(bin(c.program) + " " + c.args, c.input, c.program == std::string("mysql.exe"));
    ASSERT_TRUE(r.ended) << r.out;
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.out.find(c.output), std::string::npos) << r.out;
  }
}

TEST_F(Dbms, StopEndsTheServerCleanly) {
  unsigned pid = serverPid();
  ASSERT_TRUE(linuxProcessAlive(pid));
  ASSERT_TRUE(stopService(L"KVTDB"));
  SERVICE_STATUS st = waitStopped(L"KVTDB", 90000);
  EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
  EXPECT_EQ(st.dwWin32ExitCode, (DWORD)NO_ERROR);
  EXPECT_TRUE(waitGone(pid, 10000));
  EXPECT_FALSE(files.fileExists(dir + "\\data\\mysqld.pid"));  // removed by a clean shutdown
  EXPECT_FALSE(isProcesoEnEjecucion("mysqld.exe", procs));
}

// A server that dies takes the service down with an error; one whose mysqld.exe is ended (as the
// uninstaller ends it) goes with it, and "sc delete" then removes the service.
TEST_F(Dbms, ServerAndServiceProcessEndTogether) {
  ASSERT_TRUE(start()) << serverLog();  // the data folder exists now: no initialisation
  unsigned pid = serverPid();
  std::string out;
  ASSERT_EQ(tffix::runLinux({L"/bin/kill", L"-KILL", std::to_wstring(pid)}, nullptr,
                            [&](const char* d, size_t n) { out.append(d, n); }),
            0)
      << out;
  SERVICE_STATUS st = waitStopped(L"KVTDB", 30000);
  EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
  EXPECT_EQ(st.dwWin32ExitCode, (DWORD)ERROR_SERVICE_SPECIFIC_ERROR);
  EXPECT_EQ(st.dwServiceSpecificExitCode, 4u);

  ASSERT_TRUE(start()) << serverLog();  // InnoDB recovers from the kill
  pid = serverPid();
  EXPECT_EQ(mariadb(kPassword, "SELECT COUNT(*) FROM turnaliafree.turnos", out), 0);
  EXPECT_EQ(out, "3\n");
  EXPECT_TRUE(terminarProcesos("mysqld.exe", procs));
  EXPECT_TRUE(waitGone(pid, 90000));
  EXPECT_NE(mariadb(kPassword, "SELECT 1", out), 0);
  run("\"sc delete KVTDB\"");
  EXPECT_FALSE(isServicioInstalado("KVTDB", services));
}
