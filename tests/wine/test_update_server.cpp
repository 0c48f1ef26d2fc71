// The update engine over its real Win32 ports against the vendor test server that
// tests/wine/run_all.sh starts (TF_VENDOR_* tell where its docroot, faults and log are).
// Each test serves its own files under /upd/<test>/ and adds its faults to the shared faults file.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>

#include "core/log.h"
#include "app/principal.h"
#include "install/descarga_paquete.h"
#include "platform/error.h"
#include "platform/win32/maquina_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "tests/wine/casos_corte.h"
#include "tests/wine/vendor_test.h"
#include "platform/win32/update_win32.h"
#include "tests/wine/cabinet.h"
#include "ui/win32/update_ui_win32.h"
#include "update/update_http_internet.h"
#include "update/update_engine.h"

using namespace tf;

namespace {

// The top-level members of a JSON object as (quoted key, raw value); enough for the faults file.
std::vector<std::pair<std::string, std::string>> jsonMembers(const std::string& j) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = j.find('{');
  if (i == std::string::npos) return out;
  ++i;
  auto skipSpace = [&] {
    while (i < j.size() && isspace((unsigned char)j[i])) ++i;
  };
  auto skipString = [&] {  // at the opening quote
    for (++i; i < j.size() && j[i] != '"'; ++i)
      if (j[i] == '\\') ++i;
    ++i;
  };
  for (;;) {
    skipSpace();
    if (i >= j.size() || j[i] != '"') break;
    size_t k = i;
    skipString();
    std::string key = j.substr(k, i - k);
    skipSpace();
    if (i >= j.size() || j[i] != ':') break;
    ++i;
    skipSpace();
    size_t v = i;
    int depth = 0;
    while (i < j.size()) {
      char c = j[i];
      if (c == '"') {
        skipString();
        continue;
      }
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') {
        if (depth == 0) break;
        --depth;
      }
      if (c == ',' && depth == 0) break;
      ++i;
    }
    size_t e = i;
    while (e > v && isspace((unsigned char)j[e - 1])) --e;
    out.push_back({key, j.substr(v, e - v)});
    if (i < j.size() && j[i] == ',') ++i;
  }
  return out;
}

struct Status {
  int id, status, error;
};

// Records every status report with its id as the engine makes it.
class RecordingUpdate : public TUpdateEngine {
 public:
  std::vector<Status> reports;

 protected:
  void ReportStatus(int MessageId, const std::string& Param, int StatusCode, int ErrCode) override {
    reports.push_back({MessageId, StatusCode, ErrCode});
    TUpdateEngine::ReportStatus(MessageId, Param, StatusCode, ErrCode);
  }
};

// Shared access to the server: own docroot folder, merged faults, clean-up of both.
struct ServerTest : ::testing::Test {
  Win32Files files;
  Win32Clock clock;
  Win32LogSink sink;
  Win32Internet internet;
  InternetUpdateHttp http{internet};
  Win32UpdateSystem sys;
  Win32UpdateArchives arch;
  Win32Processes processes;
  NoUi ui;
  std::unique_ptr<Win32UpdateUi> updateUi;
  std::string host = env("TF_VENDOR_HOST");
  std::string docroot, name, dir;
  std::set<std::string> faultKeys;

  void SetUp() override {
    if (env("TF_VENDOR_DOCROOT").empty()) GTEST_SKIP() << "no vendor test server (run through run_all.sh)";
    docroot = winPath(env("TF_VENDOR_DOCROOT"));
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
      if (c == '/') c = '_';  // a parameterised test's name
    dir = files.tempFolder() + "tf_updsrv_" + name;
    removeTree(dir);
    ASSERT_TRUE(files.createFolders(dir));
    dir += "\\";
    updateUi.reset(new Win32UpdateUi(ui));
  }
  void TearDown() override {
    if (docroot.empty()) return;
    if (!faultKeys.empty()) writeFaults({});
    removeTree(dir.substr(0, dir.size() - 1));
  }
  void removeTree(const std::string& folder) {
    std::wstring from = widen(folder);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
  void serve(const std::string& rel, const std::string& data) {
    std::string folder = docroot + "\\upd\\" + name;
    ASSERT_TRUE(files.createFolders(folder));
    ASSERT_TRUE(files.writeFile(folder + "\\" + rel, data));
  }
  std::string url(const std::string& rel) { return "https://" + host + "/upd/" + name + "/" + rel; }
  std::string path(const std::string& rel) { return "/upd/" + name + "/" + rel; }
  // Replaces this test's faults, keeping the other members of the file as they are.
  void writeFaults(const std::vector<std::pair<std::string, std::string>>& mine) {
    std::string p = winPath(env("TF_VENDOR_FAULTS")), old, json = "{";
    files.readFile(p, old);
    for (const auto& m : jsonMembers(old))
      if (!faultKeys.count(m.first)) json += (json.size() > 1 ? ", " : "") + m.first + ": " + m.second;
    faultKeys.clear();
    for (const auto& m : mine) {
      std::string key = "\"" + m.first + "\"";
      faultKeys.insert(key);
      json += (json.size() > 1 ? ", " : "") + key + ": " + m.second;
    }
    json += "}";
    ASSERT_TRUE(files.writeFile(p + ".tmp", json));
    ASSERT_TRUE(files.moveFile(p + ".tmp", p, true));
  }
  std::string content(const std::string& file) {
    std::string s;
    EXPECT_TRUE(files.readFile(file, s)) << file;
    return s;
  }
  std::set<std::string> tempFiles(const std::string& pattern) {
    std::vector<FileEntry> list;
    std::set<std::string> out;
    if (files.list(files.tempFolder() + pattern, list))
      for (const auto& e : list) out.insert(e.name);
    return out;
  }
};

struct UpdateServer : ServerTest {
  RecordingUpdate wu;
  int success = 0;
  struct Progress {
    std::string file;
    int64_t pos, size;
  };
  std::vector<Progress> progress;

  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    wu.conectar(UpdateEnginePorts{files, clock, sink, http, sys, arch, *updateUi, processes});
    wu.UpdateUpdate = upSilent;
    wu.VersionCheck = vcAlways;
    wu.ExtractCAB = true;
    wu.Logging = true;
    wu.LogFileName = dir + "UPDATE.LOG";
    wu.URL = url("control.inf");
    wu.OnSuccess = [this](TUpdateEngine&) { ++success; };
    wu.OnFileProgress = [this](TUpdateEngine&, const std::string& f, int64_t pos, int64_t size) {
      progress.push_back({f, pos, size});
    };
  }
  // A control file listing `entries` (url relative to this test's folder, target folder, extra lines).
  void serveControl(const std::vector<std::vector<std::string>>& entries) {
    std::string inf = "[update]\r\nunconditional=1\r\n[files]\r\ncount=" + std::to_string(entries.size()) + "\r\n";
    for (size_t i = 0; i < entries.size(); ++i) {
      inf += "[file" + std::to_string(i + 1) + "]\r\nurl=" + url(entries[i][0]) + "\r\ntargetdir=" + entries[i][1] +
             "\r\n";
      if (entries[i].size() > 2) inf += entries[i][2] + "\r\n";
    }
    serve("control.inf", inf);
  }
  size_t indexOf(int id) {
    for (size_t i = 0; i < wu.reports.size(); ++i)
      if (wu.reports[i].id == id) return i;
    return std::string::npos;
  }
  std::string ids() {
    std::string s;
    for (const auto& r : wu.reports) s += std::to_string(r.id) + "(" + std::to_string(r.status) + "," +
                                          std::to_string(r.error) + ") ";
    return s;
  }
};

}  // namespace

TEST_F(UpdateServer, ControlFileNotFoundEndsAfterClosingTheConnection) {
  auto before = tempFiles("UPD*.tmp");
  wu.RunUpdate(false);
  size_t at = indexOf(916);
  ASSERT_NE(at, std::string::npos) << ids();
  ASSERT_EQ(wu.reports.size(), at + 3) << ids();
  EXPECT_EQ(wu.reports[at].status, 6);
  EXPECT_EQ(wu.reports[at].error, 404);
  EXPECT_EQ(wu.reports[at + 1].id, 925);
  EXPECT_EQ(wu.reports[at + 1].status, 2);
  EXPECT_EQ(wu.reports[at + 2].id, 949);
  EXPECT_EQ(success, 0);
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "control.inf"));
  EXPECT_EQ(tempFiles("UPD*.tmp"), before);
}

TEST_F(UpdateServer, ListFileNotFoundOthersStillArrive) {
  serve("a.zip", "package a");
  serve("c.sql", "script c");
  serveControl({{"a.zip", dir + "Temp"}, {"b.zip", dir + "Temp"}, {"c.sql", dir + "Temp"}});
  writeFaults({{path("b.zip"), R"({"status": 404})"}});
  wu.RunUpdate(false);
  EXPECT_EQ(content(dir + "Temp\\a.zip"), "package a");
  EXPECT_EQ(content(dir + "Temp\\c.sql"), "script c");
  EXPECT_FALSE(files.fileExists(dir + "Temp\\b.zip"));
  size_t at = indexOf(946);
  ASSERT_NE(at, std::string::npos) << ids();
  EXPECT_EQ(wu.reports[at].status, 2);
  EXPECT_EQ(wu.reports[at].error, 9);
  EXPECT_NE(indexOf(948), std::string::npos) << ids();
  EXPECT_EQ(wu.reports.back().id, 949) << ids();
  EXPECT_EQ(success, 0);
}

TEST_F(UpdateServer, NoLengthReadOnlyTargetAndCabinet) {
  std::string big = pattern(70000, 88172645u);
  serve("big.bin", big);
  serve("ro.txt", "fresh");
  serve("p.cab", testcab::makeCabinet({{"x\\y.txt", "unpacked from the cabinet"}, {"top.txt", "top"}}));
  serveControl({{"big.bin", dir + "Temp"}, {"ro.txt", dir + "Temp"}, {"p.cab", dir + "Data", "compressed=1"}});
  writeFaults({{path("big.bin"), R"({"fault": "nolength"})"}});
  ASSERT_TRUE(files.createFolders(dir + "Temp"));
  ASSERT_TRUE(files.writeFile(dir + "Temp\\ro.txt", "stale"));
  ASSERT_TRUE(files.setReadOnly(dir + "Temp\\ro.txt", true));
  wu.RunUpdate(false);

  EXPECT_EQ(content(dir + "Temp\\big.bin"), big);
  EXPECT_EQ(content(dir + "Temp\\ro.txt"), "fresh");
  EXPECT_EQ(content(dir + "Data\\x\\y.txt"), "unpacked from the cabinet");
  EXPECT_EQ(content(dir + "Data\\top.txt"), "top");
  EXPECT_FALSE(files.fileExists(dir + "Data\\p.cab"));
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "p.cab"));
  EXPECT_EQ(success, 1) << ids();
  EXPECT_EQ(indexOf(946), std::string::npos) << ids();

  int bigReports = 0;
  int64_t last = 0;
  for (const auto& p : progress) {
    if (p.file.find("big.bin") == std::string::npos) continue;
    ++bigReports;
    EXPECT_EQ(p.size, 0);
    last = p.pos;
  }
  EXPECT_GT(bigReports, 1);
  EXPECT_EQ(last, (int64_t)big.size());
}

TEST_F(UpdateServer, BodyCutShortKeepsTheOldTarget) {
  std::string data = pattern(50000, 88172645u);
  serve("cut.zip", data);
  serve("ok.txt", "whole");
  serveControl({{"cut.zip", dir + "Temp"}, {"ok.txt", dir + "Temp"}});
  // Without ranges the cut file starts over once, is cut again and fails.
  writeFaults({{path("cut.zip"), R"({"fault": "cut", "at": 20000, "ranges": "off"})"}});
  ASSERT_TRUE(files.createFolders(dir + "Temp"));
  ASSERT_TRUE(files.writeFile(dir + "Temp\\cut.zip", "previous package"));
  auto before = tempFiles("UPD*.tmp");
  wu.RunUpdate(false);

  EXPECT_EQ(content(dir + "Temp\\cut.zip"), "previous package");
  EXPECT_EQ(content(dir + "Temp\\ok.txt"), "whole");
  size_t at = indexOf(946);
  ASSERT_NE(at, std::string::npos) << ids();
  EXPECT_EQ(wu.reports[at].status, 2);
  EXPECT_EQ(success, 0);
  EXPECT_EQ(tempFiles("UPD*.tmp"), before);
}

TEST_F(UpdateServer, ACountOfAMillionWithTwoFileSectionsFetchesTwo) {
  serve("a.zip", "package a");
  serve("b.sql", "script b");
  serve("control.inf", "[update]\r\nunconditional=1\r\n[files]\r\ncount=1000000\r\n[file1]\r\nurl=" + url("a.zip") +
                           "\r\ntargetdir=" + dir + "Temp\r\n[file2]\r\nurl=" + url("b.sql") + "\r\ntargetdir=" + dir +
                           "Temp\r\n");
  wu.RunUpdate(false);
  EXPECT_EQ(content(dir + "Temp\\a.zip"), "package a");
  EXPECT_EQ(content(dir + "Temp\\b.sql"), "script b");
  EXPECT_EQ(std::count_if(wu.reports.begin(), wu.reports.end(), [](const Status& r) { return r.id == 971; }), 2)
      << ids();
  EXPECT_EQ(success, 1) << ids();
  EXPECT_NE(content(dir + "UPDATE.LOG").find(" : Files count 1000000 in the update control file, 2 file sections found\r\n"),
            std::string::npos);
}

namespace {
struct UpdateCortes : UpdateServer, ::testing::WithParamInterface<CasoCorte> {};
}  // namespace

TEST_P(UpdateCortes, CutBodies) {
  const CasoCorte& c = GetParam();
  std::string data = pattern(c.tamano), other = pattern(c.tamano, 88172645u), served;
  serve("paquete.bin", data);
  serve("otro.bin", other);
  serveControl({{"paquete.bin", dir + "Temp"}});
  writeFaults({{path("paquete.bin"), falloDe(c, path("otro.bin"))}});
  ASSERT_TRUE(files.createFolders(dir + "Temp"));
  ASSERT_TRUE(files.writeFile(dir + "Temp\\paquete.bin", "older package"));
  auto before = tempFiles("UPD*.tmp");
  wu.RunUpdate(false);
  ASSERT_TRUE(files.readFile(winPath(env("TF_VENDOR_LOG")), served));
  std::vector<std::string> lines;
  std::string log = content(dir + "UPDATE.LOG");
  for (size_t at = log.find(" : Download of "); at != std::string::npos; at = log.find(" : Download of ", at + 1))
    lines.push_back(log.substr(at, log.find("\r\n", at) - at));
  std::vector<int64_t> bytes;
  for (const auto& p : progress)
    if (p.file.find("paquete.bin") != std::string::npos) bytes.push_back(p.pos);
  comprobarCorte(c, success == 1, content(dir + "Temp\\paquete.bin"), data, other,
                 peticionesA(served, path("paquete.bin")), lines, bytes);
  // A file that failed is reported once it finally fails; a cut is no 916 or 917.
  EXPECT_EQ(indexOf(946) != std::string::npos, c.final == CasoCorte::NoLlega) << ids();
  EXPECT_EQ(indexOf(916), std::string::npos) << ids();
  EXPECT_EQ(indexOf(917), std::string::npos) << ids();
  EXPECT_EQ(tempFiles("UPD*.tmp"), before);
}

INSTANTIATE_TEST_SUITE_P(Reanudacion, UpdateCortes, ::testing::ValuesIn(casosCorte()),
                         [](const ::testing::TestParamInfo<CasoCorte>& i) { return std::string(i.param.nombre); });

namespace {
// The system cannot tell the local application-data folder.
struct SinAppDataLocal : Win32UpdateSystem {
  bool localAppDataDir(std::string&) override { return false; }
};
}  // namespace

TEST_F(UpdateServer, AFolderThatCannotBeNamedMidRunLeavesNothingOpenOrBehind) {
  serve("a.zip", "package a");
  serveControl({{"a.zip", "{LAD}\\tf_updsrv"}});
  SinAppDataLocal noLad;
  wu.conectar(UpdateEnginePorts{files, clock, sink, http, noLad, arch, *updateUi, processes});
  auto before = tempFiles("UPD*.tmp");
  EXPECT_THROW(wu.RunUpdate(false), Error);
  ASSERT_NE(indexOf(926), std::string::npos) << ids();  // the control file had arrived
  EXPECT_EQ(wu.reports.back().id, 949) << ids();        // the connection is closed
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "control.inf"));
  EXPECT_EQ(tempFiles("UPD*.tmp"), before);
}

namespace {

// The package download step on the window object, with the Win32 ports setup.exe uses.
struct PackageStep : ServerTest {
  MaquinaWin32 maquina;
  std::unique_ptr<ULog> log;
  std::unique_ptr<TfrmPrincipal> frm;
  std::string temp;
  const char* const packages[3] = {"dbms.zip", "TurnaliaFree.zip", "temp_turnaliafree.sql"};

  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    if (!files.fileExists(docroot + "\\version\\pack3.inf")) GTEST_SKIP() << "no vendor update content";
    // The installation log goes to this test's folder; the packages to {APP}\Temp.
    log.reset(new ULog(clock, sink, dir + "setup.exe"));
    frm.reset(new TfrmPrincipal(maquina.puertos(ui, *log), {}));
    frm->UpdateEngine1.conectar(UpdateEnginePorts{files, clock, sink, http, sys, arch,  *updateUi, processes});
    frm->estado.servidorDescarga = host;
    temp = sys.programDir() + "\\Temp\\";
    for (const char* p : packages) files.deleteFile(temp + p);
    files.deleteFile(updateLog());
  }
  void TearDown() override {
    if (!temp.empty())
      for (const char* p : packages) files.deleteFile(temp + p);
    ServerTest::TearDown();
  }
  std::string updateLog() { return sys.documentsDir() + "\\UPDATE.LOG"; }
  std::vector<std::string> lines(const std::string& file) {
    std::string text = content(file);
    std::vector<std::string> out;
    size_t at = 0, nl;
    while ((nl = text.find("\r\n", at)) != std::string::npos) {
      out.push_back(text.substr(at, nl - at));
      at = nl + 2;
    }
    if (at < text.size()) out.push_back(text.substr(at));
    return out;
  }
  static bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }
};

}  // namespace

TEST_F(PackageStep, ThreePackagesLandInTheInstallersTempFolder) {
  std::string served[3];
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(files.readFile(docroot + "\\version\\packages\\" + packages[i], served[i]));
  descargarPaqueteInstalacion(*frm);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(content(temp + packages[i]), served[i]) << packages[i];
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "pack3.inf"));

  auto inst = lines(log->getFicheroLog());
  ASSERT_FALSE(inst.empty());
  EXPECT_TRUE(endsWith(inst.back(), "] Software TurnaliaFree downloaded successfully !")) << inst.back();
  for (const auto& l : inst) EXPECT_EQ(l.find("Update discontinued"), std::string::npos) << l;

  // The component log: a bare name lands in the documents folder, one report a line.
  auto wl = lines(updateLog());
  ASSERT_GT(wl.size(), 5u);
  std::regex form(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d : \[\d{3}\] .* \(Status:\d+\) \(Error:-?\d+\))");
  for (const auto& l : wl) EXPECT_TRUE(std::regex_match(l, form)) << l;
  LocalTime now = clock.now();
  char today[16];
  snprintf(today, sizeof today, "%02d/%02d/%04d", now.day, now.month, now.year);
  EXPECT_EQ(wl.front().substr(0, 10), today);
  EXPECT_NE(wl.front().find(" : [968] Start update : Non threaded update"), std::string::npos) << wl.front();
  EXPECT_TRUE(endsWith(wl.back(), " : [949] Closed Internet connection (Status:3) (Error:0)")) << wl.back();
}

TEST_F(PackageStep, MissingControlFileIsLoggedAndTheStepStillEnds) {
  writeFaults({{"/version/pack3.inf", R"({"status": 404})"}});
  descargarPaqueteInstalacion(*frm);
  for (const char* p : packages) EXPECT_FALSE(files.fileExists(temp + p)) << p;
  auto inst = lines(log->getFicheroLog());
  ASSERT_GE(inst.size(), 2u);
  EXPECT_TRUE(endsWith(inst[inst.size() - 2], "] Update control file not found\rUpdate discontinued"))
      << inst[inst.size() - 2];
  EXPECT_TRUE(endsWith(inst.back(), "] Software TurnaliaFree downloaded successfully !")) << inst.back();
}

namespace {
// The machine's own disk, full once the control file is written.
class DiscoLleno : public Win32Files {
 public:
  int libres = 1;  // files that may still be written
  std::unique_ptr<OutputFile> createFile(const std::string& path) override {
    std::unique_ptr<OutputFile> f = Win32Files::createFile(path);
    if (!f || libres-- > 0) return f;
    struct Lleno : OutputFile {
      std::unique_ptr<OutputFile> f;
      bool write(const void*, size_t) override { return false; }
      bool close() override { return f->close(); }
    };
    auto lleno = std::make_unique<Lleno>();
    lleno->f = std::move(f);
    return lleno;
  }
};
}  // namespace

TEST_F(PackageStep, ADiskFullMidRunClosesEverythingAndTheStepStillEnds) {
  DiscoLleno disco;
  frm->UpdateEngine1.conectar(UpdateEnginePorts{disco, clock, sink, http, sys, arch, *updateUi, processes});
  auto before = tempFiles("UPD*.tmp");
  EXPECT_NO_THROW(descargarPaqueteInstalacion(*frm));
  for (const char* p : packages) EXPECT_FALSE(files.fileExists(temp + p)) << p;
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "pack3.inf"));
  EXPECT_EQ(tempFiles("UPD*.tmp"), before);
  auto wl = lines(updateLog());
  ASSERT_FALSE(wl.empty());
  EXPECT_TRUE(endsWith(wl.back(), " : [949] Closed Internet connection (Status:3) (Error:0)")) << wl.back();
  auto inst = lines(log->getFicheroLog());
  ASSERT_GE(inst.size(), 2u);
  EXPECT_NE(inst[inst.size() - 2].find("] Cannot write file : "), std::string::npos) << inst[inst.size() - 2];
  EXPECT_TRUE(endsWith(inst[inst.size() - 2], "\rUpdate discontinued")) << inst[inst.size() - 2];
  EXPECT_TRUE(endsWith(inst.back(), "] Software TurnaliaFree downloaded successfully !")) << inst.back();
}
