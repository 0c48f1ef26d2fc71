#include <gtest/gtest.h>

#include "app/principal.h"
#include "core/log.h"
#include "tests/fakes/maquina.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"

using namespace tf;

namespace {

struct DescargaWeb : ::testing::Test, MaquinaFalsa {
  FakeInternet& net = internet;
  std::unique_ptr<TfrmPrincipal> frm;

  void SetUp() override {
    frm = std::make_unique<TfrmPrincipal>(puertos());
  }
  std::string label() { return frm->form["lblProgresoInstalacion"].caption; }
};

}  // namespace

TEST_F(DescargaWeb, ComponentsAreConfiguredForTheVendor) {
  EXPECT_EQ(frm->FileTransfer1.Agent, "FileTransfer");
  EXPECT_FALSE(frm->FileTransfer1.ShowDialog);
  EXPECT_EQ(frm->FileTransfer1.Timeout, 0);
  EXPECT_EQ(frm->FormPoster1.Agent, "FormPoster");
  EXPECT_EQ(frm->FormPoster1.Port, 443);
  EXPECT_EQ(frm->FormPoster1.Server, "www.turnaliafree.com");
  EXPECT_EQ(frm->FormPoster1.Action, "includes/kvt_instalacion.php");
  EXPECT_TRUE(frm->FormPoster1.WaitResponse);
}

TEST_F(DescargaWeb, DownloadsIntoTheFolderUnderTheHourglass) {
  files.mkdir("C:\\TF\\Temp");
  net.urls["https://www.turnaliafree.com/version/downloads/utils.zip"].body = std::string(9000, 'u');
  std::vector<bool> cursorDuringProgress;
  frm->FileTransfer1.OnFileStart = [&](TFileTransfer&, int) { cursorDuringProgress.push_back(ui.busy); };
  frm->decargarArchivoWeb("https://www.turnaliafree.com/version/downloads/utils.zip", "C:\\TF\\Temp");
  EXPECT_EQ(files.content("C:\\TF\\Temp\\utils.zip"), std::string(9000, 'u'));
  EXPECT_EQ(cursorDuringProgress, std::vector<bool>{true});
  EXPECT_FALSE(ui.busy);
  EXPECT_EQ(label(), "100% completado");
  EXPECT_EQ(frm->form["ProgressBar2"].maximum, 9000);
  EXPECT_EQ(frm->form["ProgressBar2"].position, 9000);
  EXPECT_GT(ui.pumps, 0);

  // A refused file leaves no trace but the missing file, and the cursor restored.
  files.put("C:\\TF\\Temp\\turnaliafree.zip", "anterior");
  net.urls["https://www.turnaliafree.com/version/downloads/turnaliafree.zip"].status = 500;
  frm->decargarArchivoWeb("https://www.turnaliafree.com/version/downloads/turnaliafree.zip", "C:\\TF\\Temp");
  EXPECT_EQ(files.content("C:\\TF\\Temp\\turnaliafree.zip"), "anterior");
  EXPECT_FALSE(ui.busy);
}

TEST_F(DescargaWeb, PercentIsTruncatedNeverRounded) {
  std::string before = label();
  TFileTransfer& wc = frm->FileTransfer1;
  frm->FileTransfer1CopyProgress(wc, 1, 1, 3);
  EXPECT_EQ(label(), "33% completado");
  frm->FileTransfer1CopyProgress(wc, 1, 2, 3);
  EXPECT_EQ(label(), "66% completado");
  frm->FileTransfer1CopyProgress(wc, 1, 29, 100);  // 29.0 exactly, whatever the floating point says
  EXPECT_EQ(label(), "29% completado");
  frm->FileTransfer1CopyProgress(wc, 1, 4294967295u, 4294967295u);
  EXPECT_EQ(label(), "100% completado");
  EXPECT_GT(frm->form["ProgressBar2"].maximum, 0);
  EXPECT_EQ(frm->form["ProgressBar2"].position, frm->form["ProgressBar2"].maximum);
}

TEST_F(DescargaWeb, WithoutALengthKilobytesAreCountedAndRepaintsAreSpaced) {
  TFileTransfer& wc = frm->FileTransfer1;
  clock.ticks = 1000;
  uint64_t r0 = frm->form.revision();
  frm->FileTransfer1CopyProgress(wc, 1, 4096, 0);
  EXPECT_EQ(label(), "4 KB completado");
  EXPECT_EQ(frm->form["ProgressBar2"].maximum, 100);
  uint64_t r1 = frm->form.revision();
  EXPECT_GT(r1, r0);
  frm->FileTransfer1CopyProgress(wc, 1, 8192, 0);  // same tick: the model changes, no repaint yet
  EXPECT_EQ(label(), "8 KB completado");
  EXPECT_EQ(frm->form.revision(), r1);
  frm->FileTransfer1CopyProgress(wc, 1, 8192, 0);  // the closing event shows the final count
  EXPECT_GT(frm->form.revision(), r1);
  EXPECT_EQ(frm->form["ProgressBar2"].position, 0);
  frm->FileTransfer1CopyProgress(wc, 1, 655360, 0);
  EXPECT_EQ(frm->form["ProgressBar2"].position, 10);
}

TEST_F(DescargaWeb, ACutDownloadIsContinuedAndSaysSoInTheInstallationLog) {
  files.mkdir("C:\\TF\\Temp");
  const std::string url = "https://www.turnaliafree.com/version/downloads/utils.zip";
  std::string data(9000, 'u');
  FakeResponse whole;
  whole.body = data;
  whole.cutAfter = 4096;
  whole.headers = {{inet::kQueryAcceptRanges, "bytes"}, {inet::kQueryETag, "\"1\""}};
  FakeResponse rest = whole;
  rest.status = 206;
  rest.body = data.substr(4096);
  rest.cutAfter = -1;
  rest.headers[inet::kQueryContentRange] = "bytes 4096-8999/9000";
  net.next[url] = {whole, rest};
  frm->decargarArchivoWeb(url, "C:\\TF\\Temp");
  EXPECT_EQ(files.content("C:\\TF\\Temp\\utils.zip"), data);
  EXPECT_EQ(label(), "100% completado");
  EXPECT_FALSE(ui.busy);
  std::vector<std::string> lines = mensajes();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Descarga de " + url + " interrumpida en el byte 4096: reintento 1 de 3, pidiendo el resto");
}
