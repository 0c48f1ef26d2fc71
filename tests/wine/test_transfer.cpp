// The transfer engine and the form poster over real WinINet, against the vendor test server
// that tests/wine/run_all.sh starts (TF_VENDOR_* tell where its docroot, faults and log are).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "platform/win32/internet_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "tests/wine/casos_corte.h"
#include "tests/wine/vendor_test.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"

using namespace tf;

namespace {

void pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

// The installation log as the engine writes to it.
struct Lineas : Log {
  std::vector<std::string> lineas;
  void registrarLog(const std::string& m) override { lineas.push_back(m); }
};

struct Vendor : ::testing::Test {
  Win32Internet net;
  Win32Files files;
  Win32Clock clock;
  Lineas log;
  TFileTransfer wc{net, files, clock, pump, &log};
  std::string host = env("TF_VENDOR_HOST");
  std::string docroot, dir;
  struct Ev {
    std::string what;
    int a;
    uint32_t size, tot;
    std::string text;
  };
  std::vector<Ev> events;

  void SetUp() override {
    if (env("TF_VENDOR_DOCROOT").empty()) GTEST_SKIP() << "no vendor test server (run through run_all.sh)";
    docroot = winPath(env("TF_VENDOR_DOCROOT"));
    setFaults("{}");
    dir = files.tempFolder() + "tf_transfer_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : dir)
      if (c == '/') c = '_';  // a parameterised test's name
    clean();
    files.createFolders(dir);
    wc.OnFileStart = [this](TFileTransfer&, int i) { events.push_back({"start", i, 0, 0, ""}); };
    wc.OnCopyProgress = [this](TFileTransfer&, int f, uint32_t s, uint32_t t) { events.push_back({"progress", f, s, t, ""}); };
    wc.OnFileDone = [this](TFileTransfer&, int i) { events.push_back({"done", i, 0, 0, ""}); };
    wc.OnError = [this](TFileTransfer&, int c) { events.push_back({"error", c, 0, 0, ""}); };
    wc.OnErrorInfo = [this](TFileTransfer&, int c, const std::string& t) { events.push_back({"errorinfo", c, 0, 0, t}); };
    wc.OnURLNotFound = [this](TFileTransfer&, const std::string& u) { events.push_back({"notfound", 0, 0, 0, u}); };
  }
  void TearDown() override {
    if (!docroot.empty()) setFaults("{}");
  }
  void clean() {
    std::vector<FileEntry> list;
    if (files.list(dir + "\\*", list))
      for (const auto& e : list)
        if (!e.isFolder) files.deleteFile(dir + "\\" + e.name);
  }
  void serve(const std::string& rel, const std::string& data) {
    std::string p = docroot + "\\tfw\\" + rel;
    files.createFolders(docroot + "\\tfw");
    ASSERT_TRUE(files.writeFile(p, data));
  }
  void setFaults(const std::string& json) {
    std::string p = winPath(env("TF_VENDOR_FAULTS"));
    ASSERT_TRUE(files.writeFile(p + ".tmp", json));
    ASSERT_TRUE(files.moveFile(p + ".tmp", p, true));
  }
  std::string url(const std::string& rel) { return "https://" + host + "/tfw/" + rel; }
  TFileTransferItem& add(const std::string& rel, const std::string& target) {
    TFileTransferItem& it = wc.Items.Add();
    it.URL = url(rel);
    it.TargetDir = target;
    return it;
  }
  std::string content(const std::string& path) {
    std::string s;
    EXPECT_TRUE(files.readFile(path, s)) << path;
    return s;
  }
  std::vector<Ev> progress() {
    std::vector<Ev> p;
    for (const auto& e : events)
      if (e.what == "progress") p.push_back(e);
    return p;
  }
  void noPartFiles() {
    std::vector<FileEntry> list;
    if (files.list(dir + "\\*.part", list)) ADD_FAILURE() << "left behind: " << list[0].name;
  }
};

}  // namespace

TEST_F(Vendor, DownloadOverTlsWithProgress) {
  std::string data = pattern(100000);
  serve("paquete.zip", data);
  add("paquete.zip", dir);
  wc.Execute();
  EXPECT_EQ(content(dir + "\\paquete.zip"), data);
  EXPECT_TRUE(wc.Items[0].Success);
  auto p = progress();
  ASSERT_GE(p.size(), 2u);
  uint32_t last = 0;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    EXPECT_EQ(p[i].a, 1);
    EXPECT_EQ(p[i].tot, 100000u);
    EXPECT_GT(p[i].size, last);
    EXPECT_LE(p[i].size - last, 4096u);
    last = p[i].size;
  }
  EXPECT_EQ(p[p.size() - 2].size, 100000u);
  EXPECT_EQ(p.back().size, 100000u);  // the read that meets the end repeats the numbers
  EXPECT_EQ(p.back().tot, 100000u);
  EXPECT_EQ(events.front().what, "start");
  EXPECT_EQ(events.back().what, "done");
  noPartFiles();
}

TEST_F(Vendor, NotFoundLeavesTheOldFile) {
  ASSERT_TRUE(files.writeFile(dir + "\\falta.zip", "anterior"));
  add("falta.zip", dir);
  wc.Execute();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].what, "error");
  EXPECT_EQ(events[1].a, 404);
  EXPECT_EQ(events[2].what, "errorinfo");
  EXPECT_EQ(events[2].a, 404);
  EXPECT_EQ(events[2].text, "Returned http error code 404");
  EXPECT_EQ(content(dir + "\\falta.zip"), "anterior");
  noPartFiles();
}

TEST_F(Vendor, NoLengthEmptyBodyAndCutShort) {
  std::string data = pattern(30000);
  serve("sinlongitud.bin", data);
  serve("vacio.txt", "");
  serve("cortado.zip", data);
  // Without ranges the cut file starts over once, is cut again and fails.
  setFaults(R"({"/tfw/sinlongitud.bin": {"fault": "nolength"},
                "/tfw/cortado.zip": {"fault": "cut", "at": 10000, "ranges": "off"}})");
  ASSERT_TRUE(files.writeFile(dir + "\\cortado.zip", "anterior"));
  add("sinlongitud.bin", dir);
  add("vacio.txt", dir);
  add("cortado.zip", dir);
  wc.Execute();

  EXPECT_EQ(content(dir + "\\sinlongitud.bin"), data);
  EXPECT_TRUE(wc.Items[0].Success);
  EXPECT_EQ(content(dir + "\\vacio.txt"), "");
  EXPECT_FALSE(wc.Items[1].Success);
  EXPECT_EQ(content(dir + "\\cortado.zip"), "anterior");
  EXPECT_FALSE(wc.Items[2].Success);
  uint32_t cutMax = 0;
  for (const auto& e : progress()) {
    if (e.a == 1) {
      EXPECT_EQ(e.tot, 0u);
    }
    if (e.a == 2) {
      EXPECT_EQ(e.size, 0u);
    }
    if (e.a == 3) {
      EXPECT_EQ(e.tot, 30000u);
      cutMax = std::max(cutMax, e.size);
    }
  }
  EXPECT_LT(cutMax, 30000u);
  noPartFiles();
}

TEST_F(Vendor, TargetFolderThatCannotBeWritten) {
  serve("a.txt", "A");
  ASSERT_TRUE(files.writeFile(dir + "\\fichero", "x"));
  std::string target = dir + "\\fichero\\sub";  // a file stands where the folder should be
  add("a.txt", target);
  wc.Execute();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].what, "error");
  EXPECT_EQ(events[1].a, 3);
  EXPECT_EQ(events[2].text, "Cannot create file " + target + "\\a.txt");
}

TEST_F(Vendor, TargetDirWithAndWithoutClosingBackslashAndInactiveFirstItem) {
  serve("b.txt", "B");
  add("b.txt", dir).Active = false;
  add("b.txt", dir + "\\");
  wc.Execute();
  EXPECT_EQ(wc.LastFile(), dir + "\\b.txt");
  EXPECT_EQ(content(dir + "\\b.txt"), "B");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().what, "start");
  EXPECT_EQ(events.front().a, 1);
  for (const auto& e : progress()) EXPECT_EQ(e.a, 1);
  EXPECT_EQ(events.back().what, "done");
  EXPECT_EQ(events.back().a, 1);

  ASSERT_TRUE(files.deleteFile(dir + "\\b.txt"));
  wc.Items[0].Active = true;
  wc.Items[1].Active = false;
  wc.Execute();
  EXPECT_EQ(wc.LastFile(), dir + "\\b.txt");
  EXPECT_EQ(content(dir + "\\b.txt"), "B");
}

TEST_F(Vendor, PostArrivesExactlyAndAFailedPostReportsTheSystemText) {
  NoUi ui;
  TFormPoster wp(net, ui, pump);
  std::vector<std::pair<std::string, int>> errors;
  wp.OnError = [&](TFormPoster&, const std::string& t, int c) { errors.push_back({t, c}); };
  wp.Server = host;
  wp.Port = 443;
  wp.Action = "includes/kvt_instalacion.php";
  const char* const fields[][2] = {{"empresa", "Mi Empresa S.L."}, {"nota", "a+b&c=d 100%"}, {"vacio", ""},
                                   {"pa\xEDs", "Espa\xF1" "a"}};
  for (auto& f : fields) {
    TFormPosterItem& it = wp.Items.Add();
    it.Name = f[0];
    it.Value = f[1];
  }
  std::string body = "empresa=Mi+Empresa+S.L.&nota=a+b&c=d+100%&vacio=&pa\xEDs=Espa\xF1" "a";
  ASSERT_TRUE(wp.Execute());
  EXPECT_EQ(wp.Response(), "OK");
  EXPECT_TRUE(errors.empty());

  std::string log;
  ASSERT_TRUE(files.readFile(winPath(env("TF_VENDOR_LOG")), log));
  size_t last = log.rfind("\"method\": \"POST\"");
  ASSERT_NE(last, std::string::npos);
  std::string line = log.substr(log.rfind('\n', last) + 1);
  line = line.substr(0, line.find('\n'));
  EXPECT_NE(line.find("\"path\": \"/includes/kvt_instalacion.php\""), std::string::npos) << line;
  EXPECT_NE(line.find("[\"Content-Type\", \"application/x-www-form-urlencoded\"]"), std::string::npos) << line;
  EXPECT_NE(line.find("[\"User-Agent\", \"FormPoster\"]"), std::string::npos) << line;
  EXPECT_NE(line.find("\"body_b64\": \"" + codificarBase64(body) + "\""), std::string::npos) << line;

  // Nothing listens on port 80 here.
  wp.Server = "127.0.0.1";
  wp.Port = 0;
  EXPECT_FALSE(wp.Execute());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].second, 12029);  // cannot connect
  HMODULE wininet = GetModuleHandleW(L"wininet.dll");
  ASSERT_TRUE(wininet);
  wchar_t buf[1025];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet, 12029, 0, buf, 1025,
                           nullptr);
  ASSERT_GT(n, 0u);
  std::string text = narrow(std::wstring(buf, n));  // the library's text, shown without its line end
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  EXPECT_EQ(errors[0].first, text);
}

TEST_F(Vendor, CertificateForAnotherNameIsRefusedByTheEngine) {
  // The address is right but the name is not the certificate's: the engine keeps full checks.
  serve("c.txt", "C");
  TFileTransferItem& it = wc.Items.Add();
  it.URL = "https://localhost/tfw/c.txt";
  it.TargetDir = dir;
  wc.Execute();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[1].what, "notfound");
  EXPECT_EQ(net.lastError(), 12038u);  // ERROR_INTERNET_SEC_CERT_CN_INVALID
}

namespace {
struct VendorCortes : Vendor, ::testing::WithParamInterface<CasoCorte> {};
}  // namespace

TEST_P(VendorCortes, CutBodies) {
  const CasoCorte& c = GetParam();
  std::string rel = std::string("corte_") + c.nombre + ".bin", otro = std::string("corte_") + c.nombre + "_b.bin";
  std::string data = pattern(c.tamano), other = pattern(c.tamano, 88172645u), served;
  serve(rel, data);
  serve(otro, other);
  setFaults("{\"/tfw/" + rel + "\": " + falloDe(c, "/tfw/" + otro) + "}");
  ASSERT_TRUE(files.writeFile(dir + "\\" + rel, "older package"));
  add(rel, dir);
  wc.Execute();
  ASSERT_TRUE(files.readFile(winPath(env("TF_VENDOR_LOG")), served));
  std::vector<int64_t> bytes;
  for (const auto& e : progress()) bytes.push_back(e.size);
  comprobarCorte(c, wc.Items[0].Success, content(dir + "\\" + rel), data, other, peticionesA(served, "/tfw/" + rel),
                 log.lineas, bytes);
  for (const auto& e : events) EXPECT_TRUE(e.what != "error" && e.what != "notfound") << e.what << " " << e.a;
  noPartFiles();
}

INSTANTIATE_TEST_SUITE_P(Reanudacion, VendorCortes, ::testing::ValuesIn(casosCorte()),
                         [](const ::testing::TestParamInfo<CasoCorte>& i) { return std::string(i.param.nombre); });
