// The update engine's Win32 ports on Wine: cabinets, LZ files, the component log, replacing files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <map>

#include "platform/win32/internet_win32.h"
#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/update_win32.h"
#include "tests/wine/cabinet.h"
#include "update/update_http_internet.h"
#include "update/update_engine.h"

using namespace tf;

namespace {

using testcab::CabEntry;
using testcab::le16;
using testcab::le32;
using testcab::makeCabinet;

// An LZ file in the system's format, written with literals only.
std::string makeLz(const std::string& content, char missing) {
  std::string s = "SZDD";
  s += "\x88\xF0\x27\x33";
  s += 'A';
  s += missing;
  le32(s, (uint32_t)content.size());
  for (size_t i = 0; i < content.size(); i += 8) {
    s += (char)0xFF;
    s += content.substr(i, 8);
  }
  return s;
}

struct UpdateOnWine : ::testing::Test {
  Win32Files files;
  std::string dir;
  void SetUp() override {
    dir = files.tempFolder() + "tf_update_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(files.createFolders(dir));
    dir += "\\";
  }
  void TearDown() override {
    // Bounded clean-up of what the test made.
    std::wstring from = widen(dir.substr(0, dir.size() - 1));
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
};

// An HTTP session that serves bodies from memory.
class MemoryHttp : public UpdateHttp {
 public:
  std::map<std::string, std::string> bodies;
  bool connectedState(bool& a) override {
    a = true;
    return true;
  }
  bool dial(bool) override { return false; }
  void hangUp() override {}
  bool openSession(const std::string&, const std::string&) override { return true; }
  void setTimeouts(int, int) override {}
  void ignoreCertificateErrors() override {}
  std::unique_ptr<UpdateRequest> openUrl(const std::string& url, const std::string&,
                                         const UpdateRequestFlags&) override {
    auto it = bodies.find(url);
    return std::unique_ptr<UpdateRequest>(new Req(it == bodies.end() ? 404 : 200, it == bodies.end() ? "" : it->second));
  }
  uint32_t lastError(std::string& t) override {
    t.clear();
    return 0;
  }
  void closeSession() override {}
  PostResult postForm(const std::string&, const std::string&, const std::string&, std::string&) override {
    return PostResult::Ok;
  }

 private:
  struct Req : UpdateRequest {
    Req(int s, std::string b) : status(s), body(std::move(b)) {}
    int status;
    std::string body;
    size_t pos = 0;
    int statusCode() override { return status; }
    bool contentLength(uint64_t& n) override {
      n = body.size();
      return true;
    }
    long long read(void* d, size_t n) override {
      size_t k = std::min(n, body.size() - pos);
      memcpy(d, body.data() + pos, k);
      pos += k;
      return (long long)k;
    }
    CabecerasRespuesta headers() override {
      CabecerasRespuesta c;
      c.status = status;
      c.hayLongitud = contentLength(c.longitud);
      return c;
    }
  };
};

class NoUi : public UpdateUi {
 public:
  void processMessages() override {}
  void information(const std::string&) override {}
  bool askYesNo(const std::string&) override { return true; }
  void showError(const std::string&) override {}
  void showHtmlDialog(const std::string&) override {}
  bool showWhatsNew(const std::string&, const std::string&, const std::string&, const std::string&, bool) override {
    return true;
  }
  bool showLicence(const std::string&, const std::string&, const std::string&, const std::string&, const std::string&,
                   bool) override {
    return true;
  }
  bool login(const std::string&, std::string&, std::string&) override { return false; }
};

}  // namespace

TEST_F(UpdateOnWine, CabinetEntriesLandUnderTheTargetWithTheirTimes) {
  unsigned date = ((2021 - 1980) << 9) | (3 << 5) | 14, time = (15 << 11) | (9 << 5) | (26 / 2);
  ASSERT_TRUE(files.writeFile(dir + "p.cab", makeCabinet({{"sub\\inner.txt", "inside the cabinet", date, time},
                                                           {"top.txt", "top", 0, 0}})));
  Win32UpdateArchives arch;
  ASSERT_TRUE(arch.extractCabinet(dir + "p.cab", dir + "out"));
  std::string got;
  ASSERT_TRUE(files.readFile(dir + "out\\sub\\inner.txt", got));
  EXPECT_EQ(got, "inside the cabinet");
  ASSERT_TRUE(files.readFile(dir + "out\\top.txt", got));
  EXPECT_EQ(got, "top");
  LocalTime t;
  ASSERT_TRUE(files.lastWriteTime(dir + "out\\sub\\inner.txt", t));
  EXPECT_EQ(t.year, 2021);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 14);
  EXPECT_EQ(t.hour, 15);
  EXPECT_EQ(t.minute, 9);
  ASSERT_TRUE(files.lastWriteTime(dir + "out\\top.txt", t));
  EXPECT_GT(t.year, 2020);  // no stored time: now

  // A stored name that climbs out of the target is refused and nothing lands outside.
  ASSERT_TRUE(files.writeFile(dir + "evil.cab", makeCabinet({{"..\\escaped.txt", "x", date, time}})));
  EXPECT_FALSE(arch.extractCabinet(dir + "evil.cab", dir + "out2"));
  EXPECT_FALSE(files.fileExists(dir + "escaped.txt"));
  // Not a cabinet.
  ASSERT_TRUE(files.writeFile(dir + "fake.cab", "PK\x03\x04 not a cabinet"));
  EXPECT_FALSE(arch.extractCabinet(dir + "fake.cab", dir + "out3"));
}

TEST_F(UpdateOnWine, LzFilesExpandAndOtherFilesStay) {
  std::string text = "TurnaliaFree: notas de la versi\xF3n, m\xE1s de ocho bytes.\r\n";
  ASSERT_TRUE(files.writeFile(dir + "notas.tx_", makeLz(text, 't')));
  Win32UpdateArchives arch;
  std::string expanded;
  ASSERT_EQ(arch.lzExpand(dir + "notas.tx_", dir, expanded), LzResult::Expanded);
  EXPECT_EQ(expanded, dir + "notas.txt");
  std::string got;
  ASSERT_TRUE(files.readFile(dir + "notas.txt", got));
  EXPECT_EQ(got, text);

  ASSERT_TRUE(files.writeFile(dir + "plain.tx_", "just text"));
  EXPECT_EQ(arch.lzExpand(dir + "plain.tx_", dir, expanded), LzResult::NotLz);
  ASSERT_TRUE(files.readFile(dir + "plain.tx_", got));
  EXPECT_EQ(got, "just text");
}

TEST_F(UpdateOnWine, EngineReplacesReadOnlyTargetAndWritesItsLog) {
  Win32Clock clock;
  Win32LogSink sink;
  Win32UpdateSystem sys;
  Win32UpdateArchives arch;
  MemoryHttp http;
  NoUi ui;
  TUpdateEngine wu;
  Win32Processes processes;
  wu.conectar(UpdateEnginePorts{files, clock, sink, http, sys, arch, ui, processes});
  wu.UpdateUpdate = upSilent;
  wu.VersionCheck = vcAlways;
  wu.ExtractCAB = true;
  wu.Logging = true;
  wu.LogFileName = dir + "UPDATE.LOG";
  wu.URL = "https://h.test/version/pack3.inf";
  http.bodies[wu.URL] =
      "[update]\r\nunconditional=1\r\n[files]\r\ncount=2\r\n[file1]\r\nurl=https://h.test/a.zip\r\ntargetdir=" + dir +
      "Temp\r\n[file2]\r\nurl=https://h.test/p.cab\r\ntargetdir=" + dir + "Data\r\ncompressed=1\r\n";
  http.bodies["https://h.test/a.zip"] = "new package";
  http.bodies["https://h.test/p.cab"] = makeCabinet({{"x\\y.txt", "unpacked", 0, 0}});
  ASSERT_TRUE(files.createFolders(dir + "Temp"));
  ASSERT_TRUE(files.writeFile(dir + "Temp\\a.zip", "old"));
  ASSERT_TRUE(files.setReadOnly(dir + "Temp\\a.zip", true));
  int success = 0;
  wu.OnSuccess = [&](TUpdateEngine&) { ++success; };
  wu.RunUpdate(false);
  std::string got;
  ASSERT_TRUE(files.readFile(dir + "Temp\\a.zip", got));
  EXPECT_EQ(got, "new package");
  ASSERT_TRUE(files.readFile(dir + "Data\\x\\y.txt", got));
  EXPECT_EQ(got, "unpacked");
  EXPECT_EQ(success, 1);
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "p.cab"));
  EXPECT_FALSE(files.fileExists(files.tempFolder() + "pack3.inf"));

  std::string log;
  ASSERT_TRUE(files.readFile(dir + "UPDATE.LOG", log));
  size_t first = log.find("\r\n");
  ASSERT_NE(first, std::string::npos);
  std::string line = log.substr(0, first);
  // dd/mm/yyyy hh:nn:ss : [968] Start update : Non threaded update --------------------------- (Status:0) (Error:0)
  ASSERT_GT(line.size(), 22u);
  EXPECT_EQ(line[2], '/');
  EXPECT_EQ(line[5], '/');
  EXPECT_EQ(line[13], ':');
  EXPECT_EQ(line.substr(19), " : [968] Start update : Non threaded update --------------------------- (Status:0) (Error:0)");
  EXPECT_NE(log.find(" : [926] Update control file found (Status:3) (Error:0)\r\n"), std::string::npos);
  EXPECT_NE(log.find(" : [949] Closed Internet connection (Status:3) (Error:0)\r\n"), std::string::npos);
}

TEST_F(UpdateOnWine, SystemFactsAndUniqueTemporaryFiles) {
  Win32UpdateSystem sys;
  std::string t1 = sys.uniqueTempFile(dir, "UPD"), t2 = sys.uniqueTempFile(dir, "UPD");
  ASSERT_FALSE(t1.empty());
  EXPECT_NE(t1, t2);
  // The system keeps the first three letters of the prefix.
  EXPECT_EQ(t1.substr(dir.size(), 3), "UPD");
  EXPECT_TRUE(files.fileExists(t1));
  EXPECT_FALSE(sys.documentsDir().empty());
  std::string lad;
  EXPECT_TRUE(sys.localAppDataDir(lad));
  EXPECT_TRUE(sys.fileVersion(sys.systemDir() + "\\kernel32.dll").valid);
  EXPECT_FALSE(sys.fileVersion(t1).valid);
  EXPECT_FALSE(sys.osVersionText().empty());
  EXPECT_FALSE(sys.programDir().empty());
}

TEST(UpdateHttpOnWine, SessionOpensAndConnectedStateAnswers) {
  Win32Internet internet;
  InternetUpdateHttp http(internet);
  bool available = false;
  bool online = http.connectedState(available);
  EXPECT_TRUE(available);
  // Inside the test namespace the veth pair's gateway makes the machine count as online.
  if (getenv("TF_RUN_DIR")) {
    EXPECT_TRUE(online);
  }
  EXPECT_TRUE(http.openSession("TUpdateEngine", ""));
  std::string text;
  EXPECT_EQ(http.openUrl("https://", "", UpdateRequestFlags{}), nullptr);
  EXPECT_NE(http.lastError(text), 0u);
  EXPECT_FALSE(text.empty());
  // Nothing listens on port 1: an Internet error, its text from the library's table without its line end.
  EXPECT_EQ(http.openUrl("http://127.0.0.1:1/", "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 12029u) << text;
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  http.closeSession();
  // Without a session nothing is opened and the failure is a system one with its own text.
  EXPECT_EQ(http.openUrl("http://127.0.0.1/", "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 6u);
  EXPECT_FALSE(text.empty());
}
