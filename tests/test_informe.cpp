// The installation and error reports: what reaches the vendor, and the error report's button.
#include <gtest/gtest.h>

#include "app/principal.h"
#include "platform/error.h"
#include "report/informe.h"
#include "tests/fakes/maquina.h"

using namespace tf;

namespace {
struct Informe : ::testing::Test, MaquinaFalsa {
  TfrmPrincipal* frm = nullptr;
  void SetUp() override { frm = &arrancar(); }
};
}  // namespace

TEST_F(Informe, BothReportsCarryTheirFieldsInOrderToTheVendorsScript) {
  // CRC-32 of the product ID "00330-80000-00000-AA123", as an unsigned decimal.
  const std::string wid = "op=instalacion&version=19.04.002&wid=952049938";
  confirmar_instalacion(*frm, false);
  frm->form["txtLogEmail"].text = "  ";
  frm->form["txtLogError"].text = "    [08/12/2024 10:31:05] a&b=c\r\n    [08/12/2024 10:31:06] C:\\x \xF1";
  confirmar_instalacion(*frm, true);
  ASSERT_EQ(internet.posts.size(), 2u);
  const auto& p = internet.posts[0];
  EXPECT_EQ(p.server, "www.turnaliafree.com");
  EXPECT_EQ(p.port, 443);
  EXPECT_EQ(p.object, "includes/kvt_instalacion.php");
  EXPECT_EQ(p.headers, "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(p.body, wid);
  EXPECT_EQ(internet.posts[1].body,
            wid + "&email=++&error=++++[08/12/2024+10:31:05]+a&b=c\r\n++++[08/12/2024+10:31:06]+C:\\x+\xF1");
  EXPECT_EQ(internet.calls[0], "open FormPoster 0 ");
}

TEST_F(Informe, SendingWithoutAnAddressAsksForOneAndSendsNothing) {
  EXPECT_THROW(
      {
        try {
          frm->alPulsar("btnEnviarInformeErrores");
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), "Debe indicar el correo donde le contactaremos tras analizar la incidencia");
          throw;
        }
      },
      Error);
  EXPECT_TRUE(internet.posts.empty());
  EXPECT_FALSE(ui.closed);
}

TEST_F(Informe, SendingEndsTheProgramAlsoWhenThePostFails) {
  frm->form["txtLogEmail"].text = "ana@empresa.es";
  internet.sendFails = true;
  frm->alPulsar("btnEnviarInformeErrores");
  ASSERT_EQ(ui.boxes.size(), 1u);  // the poster's own error box
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
  EXPECT_TRUE(ui.closed);
}
