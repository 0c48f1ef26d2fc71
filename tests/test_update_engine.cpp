#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "core/log.h"
#include "app/desatendida.h"
#include "app/principal.h"
#include "install/descarga_paquete.h"
#include "platform/error.h"
#include "tests/fakes/fake_internet.h"
#include "tests/fakes/fakes_sys.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_net.h"
#include "tests/fakes/posix_net.h"
#include "tests/fakes/update_fakes.h"
#include "update/update_engine.h"

using namespace tf;

namespace {

const char* const kCtl = "https://h.test/version/pack3.inf";

struct Actualizador : ::testing::Test {
  FakeFiles files;
  FakeClock clock;
  FakeLogSink sink;
  FakeUpdateHttp http;
  FakeUpdateSystem sys{files};
  FakeUpdateArchives archives{files};
  FakeUpdateUi ui;
  FakeProcesses procs;
  TUpdateEngine wu;
  struct Report {
    std::string text;
    int status, error;
  };
  std::vector<Report> reports;
  std::vector<int64_t> sizes;
  int successes = 0;

  void SetUp() override {
    files.mkdir("C:\\Temp");
    files.mkdir("C:\\Prog");
    procs.env["ProgramFiles"] = "C:\\Program Files";
    wu.conectar(UpdateEnginePorts{files, clock, sink, http, sys, archives, ui, procs});
    wu.URL = kCtl;
    wu.UpdateUpdate = upSilent;
    wu.VersionCheck = vcAlways;
    wu.Logging = true;
    wu.OnStatus = [this](TUpdateEngine&, const std::string& t, int s, int e) { reports.push_back({t, s, e}); };
    wu.OnFileProgress = [this](TUpdateEngine&, const std::string&, int64_t, int64_t size) { sizes.push_back(size); };
    wu.OnSuccess = [this](TUpdateEngine&) { ++successes; };
  }
  void control(const std::string& ini) { http.serve(kCtl, ini); }
  bool reported(const std::string& text, int status = -1, int error = -1) const {
    for (const auto& r : reports)
      if (r.text == text && (status < 0 || r.status == status) && (error < 0 || r.error == error)) return true;
    return false;
  }
  size_t indexOf(const std::string& text) const {
    for (size_t i = 0; i < reports.size(); ++i)
      if (reports[i].text == text) return i;
    return std::string::npos;
  }
  bool decide(const std::string& updateSection) {
    control("[update]\n" + updateSection);
    bool due = false;
    wu.OnSuccess = nullptr;
    wu.OnCustomValidate = [&](TUpdateEngine&, const std::string&, const std::string&, bool& allow) { due = allow; };
    wu.RunUpdate(false);
    return due;
  }
};

}  // namespace

// ---- the update decision ----

TEST_F(Actualizador, DateTestDueNotDueAndUnparsable) {
  files.put("C:\\Prog\\kvt.exe", "x");  // written 1980-01-01 by the fake
  EXPECT_TRUE(decide("date=31/12/2099\nlocalversion={APP}\\kvt.exe\n"));
  EXPECT_TRUE(reported("Date based update found", 3, 0));
  EXPECT_TRUE(reported("New version found : 31/12/2099", 5, 0));
  reports.clear();
  files.nodes[FakeFiles::key("C:\\Prog\\kvt.exe")].second.time = LocalTime{2030, 1, 1};
  EXPECT_FALSE(decide("date=31/12/2029\ntime=23:00\nlocalversion={APP}\\kvt.exe\n"));
  EXPECT_TRUE(reported("No new version found", 4, 0));
  reports.clear();
  EXPECT_FALSE(decide("date=yesterday\nlocalversion={APP}\\kvt.exe\n"));  // 1 January 1980
  EXPECT_TRUE(decide("date=yesterday\nunconditional=1\n"));
  EXPECT_FALSE(decide("descr=only a description\n"));
}

TEST_F(Actualizador, ChecksumSizeAndVersionTests) {
  files.put("C:\\Prog\\kvt.exe", "123456789");
  EXPECT_FALSE(decide("localversion={APP}\\kvt.exe\nnewchecksum=476\n"));
  EXPECT_TRUE(reported("Checksum based update found"));
  EXPECT_TRUE(reported("Version check : Checksum compare of C:\\Prog\\kvt.exe:476:476", 3, 0));
  EXPECT_TRUE(decide("localversion={APP}\\kvt.exe\nnewchecksum=477\n"));
  wu.UseCRC32 = true;
  EXPECT_FALSE(decide("localversion={APP}\\kvt.exe\nnewchecksum=517010384\n"));  // 0x1ED0F3D0
  EXPECT_TRUE(decide("localversion={APP}\\kvt.exe\nnewchecksum=476\n"));
  EXPECT_FALSE(decide("localversion={APP}\\kvt.exe\nnewsize=9\n"));
  EXPECT_TRUE(reported("File size based update found"));
  EXPECT_TRUE(decide("localversion={APP}\\kvt.exe\nnewsize=10\n"));

  sys.versions[FakeFiles::key("C:\\Prog\\kvt.exe")] = parseVersion("2.0.9.9");
  EXPECT_TRUE(decide("localversion={APP}\\kvt.exe\nnewversion=2,1\n"));
  EXPECT_TRUE(reported("Version check : Version compare of C:\\Prog\\kvt.exe:2.0.9.9 with 2,1:2.1.0.0"));
  EXPECT_TRUE(reported("New version found : 2,1", 5, 0));
  EXPECT_FALSE(decide("localversion={APP}\\kvt.exe\nnewversion=2.0.9.9\n"));
  EXPECT_FALSE(decide("localversion={APP}\\kvt.exe\nnewversion=latest\n"));  // never newer
}

TEST_F(Actualizador, FileComparisonUnderBothModes) {
  std::string none, missing = "C:\\Prog\\missing.dll", nv = "1.0";
  // Every test absent: always newer.
  EXPECT_TRUE(wu.IsNewer(none, missing, 0, -1));
  wu.VersionCheck = vcUpdateOnly;
  EXPECT_TRUE(wu.IsNewer(nv, none, 0, -1));        // empty local path
  EXPECT_FALSE(wu.IsNewer(nv, missing, 0, -1));    // no version resource: not newer
  EXPECT_FALSE(wu.IsNewer(none, missing, 100, -1));  // size -1 with vcUpdateOnly
  wu.VersionCheck = vcAlways;
  EXPECT_TRUE(wu.IsNewer(nv, missing, 0, -1));
  files.put("C:\\Prog\\old.dll", "abc");
  std::string old = "C:\\Prog\\old.dll", bad = "x.y.z";
  EXPECT_TRUE(wu.IsNewer(nv, old, 0, -1));    // invalid local version is older under vcAlways
  EXPECT_FALSE(wu.IsNewer(bad, old, 0, -1));  // invalid new version
  wu.VersionCheck = vcUpdateOnly;
  EXPECT_FALSE(wu.IsNewer(nv, old, 0, -1));
}

// ---- file list, filter and download ----

TEST_F(Actualizador, CountMissingOrZeroDownloadsNothing) {
  control("[update]\nunconditional=1\n[files]\n[file1]\nurl=https://h.test/a.zip\n");
  wu.RunUpdate(false);
  control("[update]\nunconditional=1\n[files]\ncount=0\n[file1]\nurl=https://h.test/a.zip\n");
  wu.RunUpdate(false);
  EXPECT_EQ(std::count(http.requested.begin(), http.requested.end(), "https://h.test/a.zip"), 0);
  EXPECT_EQ(successes, 0);
  EXPECT_TRUE(reported("Closed Internet connection"));
  EXPECT_FALSE(files.has("C:\\Temp\\pack3.inf"));  // the local copy goes at the end
}

TEST_F(Actualizador, FilterKeepsMissingAndDropsCurrentFiles) {
  files.put("C:\\Prog\\same.dll", "123456789");
  files.put("C:\\Prog\\dated.dll", "d");
  files.nodes[FakeFiles::key("C:\\Prog\\dated.dll")].second.time = LocalTime{2024, 6, 2};
  control(
      "[update]\nunconditional=1\n[files]\ncount=4\n"
      "[file1]\nurl=https://h.test/always.zip\ntargetdir={APP}\\Temp\n"
      "[file2]\nurl=https://h.test/same.dll\nlocalversion={APP}\\same.dll\nnewchecksum=476\ntargetdir={APP}\n"
      "[file3]\nurl=https://h.test/dated.dll\nlocalversion={APP}\\dated.dll\ndate=01/06/2024\ntargetdir={APP}\n"
      "[file4]\nurl=https://h.test/new.dll\nlocalversion={APP}\\new.dll\nnewversion=1.0\ntargetdir={APP}\n");
  for (const char* u : {"https://h.test/always.zip", "https://h.test/same.dll", "https://h.test/dated.dll",
                        "https://h.test/new.dll"})
    http.serve(u, std::string("body of ") + u);
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Found file update instruction", 3, 0));
  EXPECT_TRUE(reported("Processing file : https://h.test/always.zip[,nv=,nd=,ns=0,nc=-1]", 0, 0));
  EXPECT_TRUE(reported("No new version found", 0, 0));
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\always.zip"), "body of https://h.test/always.zip");
  EXPECT_EQ(files.content("C:\\Prog\\new.dll"), "body of https://h.test/new.dll");
  EXPECT_EQ(files.content("C:\\Prog\\same.dll"), "123456789");
  EXPECT_EQ(files.content("C:\\Prog\\dated.dll"), "d");
  EXPECT_EQ(successes, 1);
  EXPECT_LT(indexOf("Finished processing update control file"), indexOf("Closed Internet connection"));
}

TEST_F(Actualizador, ControlFileNotFoundEndsAfterClosing) {
  wu.RunUpdate(false);
  ASSERT_GE(reports.size(), 3u);
  size_t s = indexOf("Http status : 404");
  ASSERT_NE(s, std::string::npos);
  EXPECT_EQ(reports[s].status, 6);
  EXPECT_EQ(reports[s].error, 404);
  EXPECT_EQ(reports[s + 1].text, "Update control file not found");
  EXPECT_EQ(reports[s + 1].status, 2);
  EXPECT_EQ(reports[s + 2].text, "Closed Internet connection");
  EXPECT_EQ(reports.size(), s + 3);
  EXPECT_EQ(http.openSessions, 0);
  EXPECT_EQ(successes, 0);
}

TEST_F(Actualizador, FailedListFileIsReportedWhileOthersArrive) {
  control(
      "[update]\nunconditional=1\n[files]\ncount=3\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n"
      "[file2]\nurl=https://h.test/gone.zip\ntargetdir={APP}\\Temp\n"
      "[file3]\nurl=https://h.test/c.sql\ntargetdir={APP}\\Temp\n");
  http.serve("https://h.test/a.zip", "A");
  http.serve("https://h.test/c.sql", "C");
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Cannot download update file : https://h.test/gone.zip", 2, 9));
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\a.zip"), "A");
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\c.sql"), "C");
  EXPECT_TRUE(reported("Finished processing update control file"));
  EXPECT_EQ(successes, 0);
}

TEST_F(Actualizador, ACancelStillReportsEveryFileThatDidNotArrive) {
  control(
      "[update]\nunconditional=1\n[files]\ncount=3\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n"
      "[file2]\nurl=https://h.test/b.zip\ntargetdir={APP}\\Temp\n"
      "[file3]\nurl=https://h.test/c.zip\ntargetdir={APP}\\Temp\n");
  for (const char* u : {"https://h.test/a.zip", "https://h.test/b.zip", "https://h.test/c.zip"})
    http.serve(u, std::string(9000, 'x'));
  bool pressed = false;  // the user's cancel button, pressed during the first package
  wu.OnFileProgress = [&](TUpdateEngine&, const std::string& f, int64_t pos, int64_t) {
    if (f.find("a.zip") != std::string::npos && pos >= 4096) pressed = true;
  };
  wu.OnProgressCancel = [&](TUpdateEngine&, bool& cancel) { cancel = pressed; };
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Update process cancelled", 0, 0));
  for (const char* n : {"a.zip", "b.zip", "c.zip"}) {
    EXPECT_TRUE(reported(std::string("Cannot download update file : https://h.test/") + n, 2, 9)) << n;
    EXPECT_FALSE(files.has(std::string("C:\\Prog\\Temp\\") + n)) << n;
  }
  EXPECT_FALSE(reported("Finished processing update control file"));  // no closing actions
  EXPECT_TRUE(reported("Closed Internet connection"));
  EXPECT_EQ(successes, 0);
  for (const auto& p : files.paths()) EXPECT_EQ(p.find("UPD"), std::string::npos) << p;
}

TEST_F(Actualizador, ACountBeyondTheFileSectionsListsOnlyThoseThatExist) {
  control(
      "[update]\nunconditional=1\n[files]\ncount=1000000\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n"
      "[file7]\nurl=https://h.test/b.zip\ntargetdir={APP}\\Temp\n[file01]\nurl=https://h.test/x.zip\n");
  http.serve("https://h.test/a.zip", "A");
  http.serve("https://h.test/b.zip", "B");
  wu.RunUpdate(false);
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\a.zip"), "A");
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\b.zip"), "B");
  EXPECT_EQ(std::count_if(reports.begin(), reports.end(),
                          [](const Report& r) { return r.text.rfind("Processing file : ", 0) == 0; }),
            2);
  EXPECT_EQ(successes, 1);
  auto l = sink.lines("C:\\Users\\ana\\Documents\\UPDATE.LOG");
  EXPECT_NE(std::find(l.begin(), l.end(),
                      "08/12/2024 10:31:05 : Files count 1000000 in the update control file, 2 file sections found"),
            l.end());
}

TEST_F(Actualizador, TruncatedOrEmptyBodyLeavesOldTargetAndNoTemporary) {
  files.put("C:\\Prog\\Temp\\a.zip", "old");
  files.put("C:\\Prog\\Temp\\b.zip", "old b");
  control(
      "[update]\nunconditional=1\n[files]\ncount=2\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n"
      "[file2]\nurl=https://h.test/b.zip\ntargetdir={APP}\\Temp\n");
  http.serve("https://h.test/a.zip", "half");
  http.responses["https://h.test/a.zip"].announced = 10000;
  http.serve("https://h.test/b.zip", "");
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Cannot download update file : https://h.test/a.zip", 2, 9));
  EXPECT_TRUE(reported("Cannot download update file : https://h.test/b.zip", 2, 9));
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\a.zip"), "old");
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\b.zip"), "old b");
  for (const auto& p : files.paths()) EXPECT_EQ(p.find("UPD"), std::string::npos) << p;
}

TEST_F(Actualizador, ADownloadThatCannotTakeItsPlaceIsNotLeftInTemp) {
  files.mkdir("C:\\Prog\\Temp\\a.zip");  // a folder where the package should go
  control("[update]\nunconditional=1\n[files]\ncount=1\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n");
  http.serve("https://h.test/a.zip", std::string(9000, 'n'));
  wu.RunUpdate(false);
  EXPECT_TRUE(files.folderExists("C:\\Prog\\Temp\\a.zip"));
  for (const auto& p : files.paths()) EXPECT_FALSE(p.size() > 6 && p.compare(p.size() - 6, 6, "\\a.zip") == 0 && !files.folderExists(p)) << p;
}

TEST_F(Actualizador, ReadOnlyTargetReplacedAndNoLengthMeansSizeZero) {
  files.put("C:\\Prog\\Temp\\a.zip", "old", true);
  control("[update]\nunconditional=1\n[files]\ncount=1\n[file1]\nurl=https://h.test/a.zip\ntargetdir={APP}\\Temp\n");
  http.serve("https://h.test/a.zip", std::string(9000, 'n'));
  http.responses["https://h.test/a.zip"].announce = false;
  http.responses[kCtl].announce = false;
  wu.RunUpdate(false);
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\a.zip"), std::string(9000, 'n'));
  ASSERT_GE(sizes.size(), 4u);  // 1 + 1 for the control file, 3 + 1 for the package
  for (int64_t s : sizes) EXPECT_EQ(s, 0);
  EXPECT_EQ(successes, 1);
}

TEST_F(Actualizador, CabinetsLzFilesAndProgramComponents) {
  wu.ExtractCAB = true;
  control(
      "[update]\nunconditional=1\n[application]\nappupdate=1\nappname={APP}\\setup.exe\nappcomps=kvt.exe;x.dll\n"
      "[files]\ncount=4\n"
      "[file1]\nurl=https://h.test/p.cab\ntargetdir={APP}\\Data\ncompressed=1\n"
      "[file2]\nurl=https://h.test/readme.tx_\ntargetdir={APP}\\Doc\ncompressed=1\n"
      "[file3]\nurl=https://h.test/plain.tx_\ntargetdir={APP}\\Doc\ncompressed=1\n"
      "[file4]\nurl=https://h.test/KVT.EXE\ntargetdir={APP}\n");
  http.serve("https://h.test/p.cab", "CAB:sub\\inner.txt=inside");
  http.serve("https://h.test/readme.tx_", "LZ:readme.txt=expanded");
  http.serve("https://h.test/plain.tx_", "not packed");
  http.serve("https://h.test/KVT.EXE", "MZ");
  wu.RunUpdate(false);
  EXPECT_EQ(files.content("C:\\Prog\\Data\\sub\\inner.txt"), "inside");
  EXPECT_FALSE(files.has("C:\\Temp\\p.cab"));
  EXPECT_EQ(files.content("C:\\Prog\\Doc\\readme.txt"), "expanded");
  EXPECT_FALSE(files.has("C:\\Prog\\Doc\\readme.tx_"));
  EXPECT_EQ(files.content("C:\\Prog\\Doc\\plain.tx_"), "not packed");  // not LZ: kept as it is
  EXPECT_TRUE(reported("Found application component : KVT.EXE", 0, 0));
  EXPECT_EQ(files.content("C:\\Temp\\KVT.EXE"), "MZ");  // stays in the temporary folder
  EXPECT_FALSE(files.has("C:\\Prog\\KVT.EXE"));
  EXPECT_TRUE(reported("Restart app in directory : C:\\"));
}

TEST_F(Actualizador, ActionsRunInOrderAndQueryCanStop) {
  control(
      "[update]\nunconditional=1\n[action]\nmsg=Linea uno\\nLinea dos\nrunbefore={APP}\\pre.exe\n"
      "runbeforeparam=/q\nshowURL=https://h.test/notas\nquery=Seguir?\nrunafter={APP}\\post.exe\n"
      "[files]\ncount=1\n[file1]\nurl=https://h.test/a.zip\n");
  ui.answerYes = false;
  wu.RunUpdate(false);
  ASSERT_GE(ui.shown.size(), 2u);
  EXPECT_EQ(ui.shown[0], "info:Linea uno\r\nLinea dos");
  EXPECT_EQ(ui.shown[1], "ask:Seguir?");
  ASSERT_EQ(sys.started.size(), 2u);
  EXPECT_EQ(sys.started[0], "C:\\Prog\\pre.exe|/q");
  EXPECT_EQ(sys.started[1], "browser|https://h.test/notas");
  EXPECT_EQ(std::count(http.requested.begin(), http.requested.end(), "https://h.test/a.zip"), 0);
  EXPECT_TRUE(reported("Closed Internet connection"));
}

// In a silent run the page is logged, not opened, and the update goes on.
TEST_F(Actualizador, ASilentRunOpensNoBrowserForShowURL) {
  struct : Log {
    std::vector<std::string> lineas;
    void registrarLog(const std::string& m) override { lineas.push_back(m); }
  } log;
  UiDesatendida silenciosa(log, nullptr);
  UpdateUiDesatendida silenciosaUpd(silenciosa);
  wu.conectar(UpdateEnginePorts{files, clock, sink, http, sys, archives, silenciosaUpd, procs});
  control("[update]\nunconditional=1\n[action]\nshowURL=https://h.test/notas\n[files]\ncount=1\n[file1]\n"
          "url=https://h.test/a.zip\n");
  http.serve("https://h.test/a.zip", "A");
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Found URL show instruction", 3, 0));
  EXPECT_TRUE(sys.started.empty());
  EXPECT_EQ(log.lineas, std::vector<std::string>{"No se abre https://h.test/notas en una ejecuci\xF3n desatendida"});
  EXPECT_EQ(successes, 1);
}

TEST_F(Actualizador, WhatsNewDeclinedStopsBeforeFiles) {
  control(
      "[update]\nunconditional=1\n[whatsnew]\nfile=https://h.test/new.txt\ncaption=Novedades\n"
      "[files]\ncount=1\n[file1]\nurl=https://h.test/a.zip\n");
  http.serve("https://h.test/new.txt", "Mejoras");
  ui.acceptTexts = false;
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Found whatsnew instruction", 12, 0));
  EXPECT_TRUE(reported("Whatsnew not accepted", 14, 0));
  ASSERT_FALSE(ui.shown.empty());
  EXPECT_EQ(ui.shown[0], "whatsnew:Novedades:Mejoras");
  EXPECT_FALSE(files.has("C:\\Temp\\new.txt"));
  EXPECT_EQ(std::count(http.requested.begin(), http.requested.end(), "https://h.test/a.zip"), 0);
}

TEST_F(Actualizador, ConnectionModes) {
  wu.UpdateConnect = ucNone;
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Checking for Internet connection", 3, 0));
  EXPECT_FALSE(reported("Found open Internet connection"));
  EXPECT_TRUE(http.requested.empty());
  reports.clear();
  wu.UpdateConnect = ucNoConnect;
  http.online = false;
  wu.RunUpdate(false);
  EXPECT_EQ(reports.back().text, "Checking for Internet connection");  // ends silently
  reports.clear();
  wu.URL = "https://127.0.0.1/version/pack3.inf";  // loopback always counts as online
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Found open Internet connection"));
  reports.clear();
  http.openError = 12007;
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("System error : El nombre del servidor no se pudo resolver", 1, 12007));
  EXPECT_TRUE(reported("File not found : https://127.0.0.1/version/pack3.inf", 2, 1));
}

TEST_F(Actualizador, ComponentLogLinesAndPlace) {
  clock.time = LocalTime{2024, 3, 7, 9, 5, 2};
  wu.RunUpdate(false);
  auto l = sink.lines("C:\\Users\\ana\\Documents\\UPDATE.LOG");
  ASSERT_FALSE(l.empty());
  EXPECT_EQ(l[0], "07/03/2024 09:05:02 : [968] Start update : Non threaded update --------------------------- "
                  "(Status:0) (Error:0)");
  EXPECT_NE(std::find(l.begin(), l.end(), "07/03/2024 09:05:02 : [916] Http status : 404 (Status:6) (Error:404)"),
            l.end());
  wu.LogFileName = "D:\\logs\\wu.log";
  wu.RunUpdate(false);
  EXPECT_FALSE(sink.lines("D:\\logs\\wu.log").empty());
}

TEST_F(Actualizador, HostileNamesNeverLeaveTheFolder) {
  control("[update]\nunconditional=1\n[files]\ncount=1\n[file1]\nurl=https://h.test/..\ntargetdir={APP}\\Temp\n");
  http.serve("https://h.test/..", "x");
  wu.RunUpdate(false);
  EXPECT_TRUE(reported("Cannot download update file : https://h.test/..", 2, 9));
}

TEST_F(Actualizador, LocalAppDataUnknownIsAnError) {
  sys.hasLocalAppData = false;
  EXPECT_THROW(wu.expandPath("{LAD}\\x"), Error);
  EXPECT_EQ(wu.expandPath("{PF}\\x"), "C:\\Program Files\\x");
  EXPECT_EQ(wu.expandPath("{TMP}x"), "C:\\Tempx");
}

// ---- the package download step of the window ----

namespace {
struct Paquete : Actualizador {
  FakeSystemInfo info;
  FakeUi winUi;
  FakeInternet internet;
  FakeServices services{clock};
  FakeRegistry registry;
  FakeShellLinks links;
  FakeShell shell;
  FakeNetwork net;
  OpenSslHashes hashes;
  std::unique_ptr<ULog> log;
  std::unique_ptr<TfrmPrincipal> frm;
  void SetUp() override {
    Actualizador::SetUp();
    info.exe = "C:\\Prog\\setup.exe";
    log = std::make_unique<ULog>(clock, sink, info.exe);
    frm = std::make_unique<TfrmPrincipal>(Puertos{info, clock, files, winUi, internet, procs, services, registry, links, shell, net, hashes, *log});
    frm->UpdateEngine1.conectar(UpdateEnginePorts{files, clock, sink, http, sys, archives, ui, procs});
    frm->estado.servidorDescarga = "h.test";
  }
  std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const auto& l : sink.lines(log->getFicheroLog())) out.push_back(l.size() > 26 ? l.substr(26) : "");
    return out;
  }
};
}  // namespace

TEST_F(Paquete, LeavesThePackagesInTheInstallersTemp) {
  // The vendor test server's control file, as the fixture keeps it.
  std::string src = __FILE__;
  std::ifstream in(src.substr(0, src.find_last_of('/')) + "/fixtures/vendor/version/pack3.inf.in", std::ios::binary);
  std::string inf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(inf.empty());
  for (size_t p; (p = inf.find("@VENDOR_HOST@")) != std::string::npos;) inf.replace(p, 13, "h.test");
  http.serve("https://h.test/version/pack3.inf", inf);
  for (const char* n : {"dbms.zip", "TurnaliaFree.zip", "temp_turnaliafree.sql"})
    http.serve(std::string("https://h.test/version/packages/") + n, std::string("data ") + n);
  descargarPaqueteInstalacion(*frm);
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\dbms.zip"), "data dbms.zip");
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\TurnaliaFree.zip"), "data TurnaliaFree.zip");
  EXPECT_EQ(files.content("C:\\Prog\\Temp\\temp_turnaliafree.sql"), "data temp_turnaliafree.sql");
  auto m = messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], "Downloading software TurnaliaFree");
  EXPECT_EQ(m[1], "Software TurnaliaFree downloaded successfully !");
  EXPECT_EQ(frm->form["lblMensajeAviso"].caption, "Descargando paquete de instalaci\xF3n TurnaliaFree ...");
  EXPECT_EQ(frm->form["lblProgresoInstalacion"].caption, "100% completado");
  EXPECT_FALSE(sink.lines("C:\\Users\\ana\\Documents\\UPDATE.LOG").empty());
}

TEST_F(Paquete, FailuresGoToTheLogWithUpdateDiscontinued) {
  descargarPaqueteInstalacion(*frm);  // no control file on the server
  auto m = messages();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1], "Update control file not found\rUpdate discontinued");
  EXPECT_EQ(m[2], "Software TurnaliaFree downloaded successfully !");
  EXPECT_EQ(http.requested.at(0), "https://h.test/version/pack3.inf");
}

TEST_F(Paquete, EngineProgressReachesTheWindowsHandler) {
  frm->UpdateEngine1.OnFileProgress(frm->UpdateEngine1, "x", 2, 3);
  EXPECT_EQ(frm->form["lblProgresoInstalacion"].caption, "66% completado");
  EXPECT_EQ(frm->form["ProgressBar2"].maximum, 3);
  frm->UpdateEngine1.OnFileProgress(frm->UpdateEngine1, "x", 4096, 0);  // no size: the display stays
  EXPECT_EQ(frm->form["lblProgresoInstalacion"].caption, "66% completado");
}

TEST_F(Paquete, AStepThatThrowsLeavesNothingOpenAndTheStepStillEnds) {
  const std::string ctl =
      "[update]\nunconditional=1\n[files]\ncount=2\n"
      "[file1]\nurl=https://h.test/p/dbms.zip\ntargetdir={APP}\\Temp\n"
      "[file2]\nurl=https://h.test/p/TurnaliaFree.zip\ntargetdir={LAD}\\Temp\n";
  http.serve("https://h.test/version/pack3.inf", ctl);
  http.serve("https://h.test/p/dbms.zip", std::string(9000, 'd'));
  http.serve("https://h.test/p/TurnaliaFree.zip", "t");
  // A dial-up made for the run is hung up whatever happens.
  frm->UpdateEngine1.UpdateConnect = ucConnectSilentHangup;
  http.online = false;
  http.dialOk = true;
  struct Caso {
    const char* what;
    std::function<void()> arrange;
    const char* error;
  } casos[] = {
      {"temporary folder missing", [&] { files.temp = "C:\\NoExiste\\"; }, "Cannot create file : C:\\NoExiste\\UPD"},
      {"disk full", [&] { files.room = ctl.size() + 100; }, "Cannot write file : C:\\Temp\\UPD"},
      {"no local application-data folder", [&] { sys.hasLocalAppData = false; },
       "Could not find Local Application Data folder location."},
  };
  for (const Caso& c : casos) {
    files.temp = "C:\\Temp\\";
    files.room = UINT64_MAX;
    sys.hasLocalAppData = true;
    http.calls.clear();
    c.arrange();
    EXPECT_NO_THROW(descargarPaqueteInstalacion(*frm)) << c.what;
    EXPECT_EQ(http.openSessions, 0) << c.what;
    ASSERT_FALSE(http.calls.empty()) << c.what;
    EXPECT_EQ(http.calls.back(), "hangup") << c.what;
    EXPECT_FALSE(files.has(files.temp + "pack3.inf")) << c.what;
    for (const auto& p : files.paths()) EXPECT_EQ(p.find("UPD"), std::string::npos) << c.what << " " << p;
    auto m = messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[m.size() - 2].rfind(c.error, 0), 0u) << c.what << ": " << m[m.size() - 2];
    EXPECT_NE(m[m.size() - 2].find("\rUpdate discontinued"), std::string::npos) << c.what;
    EXPECT_EQ(m.back(), "Software TurnaliaFree downloaded successfully !") << c.what;
  }
}
