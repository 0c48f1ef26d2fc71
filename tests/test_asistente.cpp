#include <gtest/gtest.h>

#include "app/principal.h"
#include "core/log.h"
#include "core/mensajes.h"
#include "platform/error.h"
#include "tests/fakes/maquina.h"
#include "transfer/file_transfer.h"

using namespace tf;

namespace {

const char* const kLicencia = "C:\\Descargas/Temp/Licencia_KVT.txt";

// The window with a download that writes the agreement through the files port and counts calls.
class VentanaPrueba : public TfrmPrincipal {
 public:
  using TfrmPrincipal::TfrmPrincipal;
  FakeFiles* files = nullptr;
  std::string contenido = "Acuerdo de Licencia de Usuario Final\r\nCl\xE1usula \xFAnica.\r\n";
  bool servidorResponde = true;
  std::vector<std::pair<std::string, std::string>> descargas;
  void decargarArchivoWeb(const std::string& url, const std::string& targetDir) override {
    descargas.push_back({url, targetDir});
    if (servidorResponde) files->put(targetDir + "/Licencia_KVT.txt", contenido);
  }
};

struct Asistente : ::testing::Test, MaquinaFalsa {
  VentanaPrueba* frm = nullptr;

  std::unique_ptr<TfrmPrincipal> crearVentana(Puertos p, const Argumentos& a) override {
    auto v = std::make_unique<VentanaPrueba>(p, a);
    v->files = &files;
    frm = v.get();
    return v;
  }
  void start(std::vector<std::string> args = {}) { arrancar(args); }
  int visibles() {
    int n = 0;
    for (const char* p : kPaneles) n += frm->form[p].visible;
    return n;
  }
  std::string pestanaIluminada() {
    std::string lit;
    for (const char* t : kPestanas)
      if (frm->form[t].color == kColorButtonFace) lit += t;
    return lit;
  }
};

}  // namespace

TEST_F(Asistente, FormHoldsEveryControlWithItsDesignState) {
  start();
  const FormModel& f = frm->form;
  for (const char* nombre : kControlesVentana) EXPECT_TRUE(f.has(nombre)) << nombre;  // the accessors' list
  struct { const char* name; const char* caption; } captions[] = {
      {"pnlCabeceraBienvenida", "Bienvenida"}, {"pnlCabeceraFinalizacion", "Finalizaci\xF3n"},
      {"Label17", "Bienvenido al instalador de TurnaliaFree de gesti\xF3n de turnos de trabajo y control de "
                  "presencia del personal."},
      {"Label23", "Configuraci\xF3n Proxy"}, {"Label13", "Configuraci\xF3n de Proxy"},
      {"Label5", "Si usted accede a Internet a trav\xE9s de un proxy debe rellenar los siguientes campos, "},
      {"Label22", "Lea detenidamente el acuerdo de Licencia de Usuario Final y pulse el bot\xF3n \"Aceptar\" para "
                  "continuar el proceso de instalaci\xF3n."},
      {"chkAceptarCondiciones", "He le\xED" "do y acepto las Condiciones de Uso y en especial la Pol\xEDtica de "
                                "Privacidad"},
      {"btnRechazarLicencia", "Rechazar"}, {"Label46", "Directorio Ra\xEDz de Instalaci\xF3n"},
      {"lblCambiarMirror", "Servidor de Descarga (cambiar Mirror)"},
      {"chkCreateStartMenuShortcut", "Crear Acceso Directo en el Menu de Inicio"},
      {"Label75", "Progreso de la Instalaci\xF3n"}, {"lblMensajeAviso", "Descargando paquete de instalaci\xF3n .."},
      {"lblProgresoInstalacion", "0% completado"}, {"btnSalir1", "Cerrar"},
      {"lblEnviarInformeErrores2", "Pulse aqu\xED para enviar el Informe de Errores"},
      {"Label11", "Este es el log del proceso de instalaci\xF3n que ser\xE1 enviado al equipo de soporte"},
      {"Label3", "Su correo electr\xF3nico"}, {"btnEnviarInformeErrores", "Enviar Error"},
      {"btnDesinstalar", "Continuar"}};
  for (const auto& c : captions) EXPECT_EQ(f[c.name].caption, c.caption) << c.name;
  EXPECT_FALSE(f["btnDesinstalar"].enabled);
  EXPECT_EQ(f["btnDesinstalar"].parent, "pnlDesinstalar");
  EXPECT_FALSE(f["chkAceptarCondiciones"].checked);
  EXPECT_TRUE(f["chkCreateDesktopShortcut"].checked);
  EXPECT_TRUE(f["chkCreateStartMenuShortcut"].checked);
  for (const char* hidden : {"lblCambiarMirror", "ProgressBar1", "ProgressBar3", "imgError",
                             "lblEnviarInformeErrores1", "lblEnviarInformeErrores2", "lblNombreEquipo"})
    EXPECT_FALSE(f[hidden].visible) << hidden;
  EXPECT_EQ(f["txtProxyServidor"].text, "0.0.0.0");
  EXPECT_EQ(f["txtProxyPuerto"].minimum, 1);
  EXPECT_EQ(f["txtProxyPuerto"].maximum, 50000);
  EXPECT_EQ(f["txtProxyPassword"].kind, Kind::PasswordlessEdit);
  EXPECT_TRUE(f["btnRechazarLicencia"].isCancel);
  for (const char* p : kPaneles) {
    if (std::string(p) == "pnlProgreso") EXPECT_EQ(botonPorDefecto(f, p), "") << p;
    else EXPECT_NE(botonPorDefecto(f, p), "") << p;
  }
}

TEST_F(Asistente, EveryPanelShowsAloneAndLightsItsTab) {
  start();
  const std::map<std::string, std::string> tab = {
      {"pnlBienvenida", "pnlCabeceraBienvenida"}, {"pnlProxy", "pnlCabeceraBienvenida"},
      {"pnlLicencia", "pnlCabeceraLicencia"},     {"pnlOpciones", "pnlCabeceraOpciones"},
      {"pnlProgreso", "pnlCabeceraProgreso"},     {"pnlFinalizacion", "pnlCabeceraFinalizacion"}};
  for (const char* first : kPaneles) {
    for (const char* p : kPaneles) {
      frm->mostrarPanel(first);
      frm->mostrarPanel(p);
      EXPECT_EQ(visibles(), 1) << first << " -> " << p;
      EXPECT_TRUE(frm->form[p].visible);
      EXPECT_EQ(frm->form["imgFondo"].parent, p);
      auto it = tab.find(p);
      EXPECT_EQ(pestanaIluminada(), it == tab.end() ? "" : it->second) << p;
    }
  }
  EXPECT_EQ(frm->descargas.size(), 1u);
}

TEST_F(Asistente, UninstallerLightsNoTab) {
  sys.exe = "C:\\windows\\TurnaliaFree\\uninstall.exe";
  start();
  for (const char* p : kPaneles) {
    frm->mostrarPanel(p);
    EXPECT_EQ(pestanaIluminada(), "") << p;
  }
}

TEST_F(Asistente, LicenceIsFetchedOnceAcrossBackAndForward) {
  start();
  frm->alPulsar("btnAvanzar");
  ASSERT_EQ(frm->panelVisible(), "pnlLicencia");
  ASSERT_EQ(frm->descargas.size(), 1u);
  EXPECT_EQ(frm->descargas[0].first, "https://www.turnaliafree.com/version/Licencia_KVT.txt");
  EXPECT_EQ(frm->descargas[0].second, "C:\\Descargas/Temp");
  EXPECT_EQ(frm->form["txtLicencia"].text, frm->contenido);
  EXPECT_TRUE(files.has(kLicencia));  // left in place
  EXPECT_FALSE(ui.busy);
  EXPECT_FALSE(frm->form["ProgressBar1"].visible);

  frm->form["chkAceptarCondiciones"].checked = true;
  frm->alPulsar("btnAceptarLicencia");
  EXPECT_EQ(frm->panelVisible(), "pnlOpciones");
  frm->alPulsar("btnRetroceder1");
  EXPECT_EQ(frm->panelVisible(), "pnlLicencia");
  frm->alPulsar("btnRetroceder");
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
  frm->alPulsar("btnAvanzar");
  EXPECT_EQ(frm->panelVisible(), "pnlLicencia");
  EXPECT_EQ(frm->descargas.size(), 1u);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Asistente, LicenceAsUtf8WithMarkIsShownInTheProgramsCharacters) {
  start();
  frm->contenido = "\xEF\xBB\xBF" "Cl\xC3\xA1usula \xE2\x82\xAC \xE2\x80\x9C" "a\xE2\x80\x9D \xE4\xB8\xAD";
  frm->alPulsar("btnAvanzar");
  EXPECT_EQ(frm->form["txtLicencia"].text, "Cl\xE1usula \x80 \x93" "a\x94 ?");
}

TEST_F(Asistente, MissingLicenceKeepsTheWelcomePanelAndAnEarlierCopyIsUsed) {
  start();
  frm->servidorResponde = false;
  auto before = frm->form.controls();
  EXPECT_THROW(frm->btnAvanzarClick(), Error);
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
  EXPECT_FALSE(ui.busy);
  EXPECT_FALSE(frm->form["ProgressBar1"].visible);
  EXPECT_FALSE(frm->form["ProgressBar3"].visible);
  EXPECT_EQ(pestanaIluminada(), "pnlCabeceraBienvenida");
  try {
    frm->mostrarPanel("pnlLicencia");
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("No se puede abrir el archivo ") + kLicencia);
  }

  files.put(kLicencia, "copia anterior");
  frm->alPulsar("btnAvanzar4");
  EXPECT_EQ(frm->panelVisible(), "pnlLicencia");
  EXPECT_EQ(frm->form["txtLicencia"].text, "copia anterior");
}

TEST_F(Asistente, AnEmptyAgreementIsFetchedAgainNextTime) {
  start();
  frm->contenido = "";
  frm->alPulsar("btnAvanzar");
  frm->alPulsar("btnRetroceder");
  frm->alPulsar("btnAvanzar");
  EXPECT_EQ(frm->descargas.size(), 2u);
}

TEST_F(Asistente, AcceptingUncheckedWarnsAndStays) {
  start();
  frm->alPulsar("btnAvanzar");
  frm->alPulsar("btnAceptarLicencia");
  EXPECT_EQ(frm->panelVisible(), "pnlLicencia");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "Debe aceptar las Condiciones de Uso y la Pol\xEDtica de Privacidad antes de continuar");
  EXPECT_EQ(ui.boxes[0].caption, "Instalaci\xF3n TurnaliaFree - Atenci\xF3n");
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Exclamation);
}

TEST_F(Asistente, ProxyNeedsUserAndPassword) {
  start({"-ip", "SERVIDOR1"});
  frm->alPulsar("Label23");
  EXPECT_EQ(frm->panelVisible(), "pnlProxy");
  EXPECT_EQ(ui.focused, "txtProxyServidor");
  EXPECT_EQ(pestanaIluminada(), "pnlCabeceraBienvenida");
  auto& f = frm->form;
  f["txtProxyServidor"].text = "10.0.0.1";
  f["txtProxyPuerto"].text = "8080";
  f["txtProxyUsuario"].text = "user";
  f["txtProxyPassword"].text = "password";
  frm->alPulsar("btnAceptarProxy");
  EXPECT_EQ(frm->FileTransfer1.Proxy, "10.0.0.1:8080");
  EXPECT_EQ(frm->FileTransfer1.ProxyUserID, "user");
  EXPECT_EQ(frm->FileTransfer1.ProxyPassword, "password");
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");  // also when opened from the client welcome
  EXPECT_EQ(frm->estado.modoTicador, 1);

  f["txtProxyPassword"].text = "";
  frm->alPulsar("btnAceptarProxy");
  EXPECT_EQ(frm->FileTransfer1.Proxy, "");

  f["txtProxyPassword"].text = "password";
  f["txtProxyPuerto"].text = "99999";
  frm->alPulsar("btnAceptarProxy");
  EXPECT_EQ(frm->FileTransfer1.Proxy, "10.0.0.1:50000");

  frm->alPulsar("lblConfiguracionProxy");
  frm->alPulsar("btnCerrarProxy");
  EXPECT_EQ(frm->FileTransfer1.Proxy, "");
  EXPECT_EQ(frm->panelVisible(), "pnlBienvenida");
}

TEST_F(Asistente, LinksUnderlineMirrorAndWebSite) {
  start({"-m"});
  frm->alEntrarRaton("lblCambiarMirror");
  EXPECT_TRUE(frm->form["lblCambiarMirror"].underline);
  frm->alSalirRaton("lblCambiarMirror");
  EXPECT_FALSE(frm->form["lblCambiarMirror"].underline);
  frm->alEntrarRaton("btnAvanzar");  // not a link: nothing changes
  EXPECT_FALSE(frm->form["btnAvanzar"].underline);

  ASSERT_NE(frm->form["lblMirrorDescarga"].caption.find("Europa"), std::string::npos);
  frm->alPulsar("lblCambiarMirror");
  EXPECT_EQ(frm->form["lblMirrorDescarga"].caption,
            "La descarga se realizar\xE1 desde los servidores de TurnaliaFree en Am\xE9rica");
  EXPECT_EQ(frm->estado.servidorDescarga, "www.turnaliafree.com");
  std::string raiz = frm->getDirectorioTurnaliaFree();
  frm->alPulsar("lblDirectorioRaizInstalacion");
  EXPECT_EQ(frm->getDirectorioTurnaliaFree(), raiz);

  frm->alPulsar("imgTurnaliaFree");
  ASSERT_EQ(ui.opened.size(), 1u);
  EXPECT_EQ(ui.opened[0], "https://www.turnaliafree.com");
  ui.shellFails = true;
  frm->alPulsar("imgTurnaliaFree");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "No se encontr\xF3 la aplicaci\xF3n");
  EXPECT_EQ(ui.boxes[0].caption, msgTituloAtencion);
  EXPECT_FALSE(ui.busy);

  for (const char* exit : {"btnSalir", "btnSalir4", "btnSalir1", "btnRechazarLicencia"}) {
    ui.closed = false;
    frm->alPulsar(exit);
    EXPECT_TRUE(ui.closed) << exit;
  }
}

TEST_F(Asistente, ProgressHandlers) {
  start();
  ui.pumps = 0;  // start-up's LAN question pumps while it waits
  auto& f = frm->form;
  frm->UpdateEngine1FileProgress("dbms.zip", 50, 200);
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "25% completado");
  EXPECT_EQ(f["ProgressBar2"].maximum, 200);
  EXPECT_EQ(f["ProgressBar2"].position, 50);
  frm->UpdateEngine1FileProgress("x", 29, 100);
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "29% completado");
  frm->UpdateEngine1FileProgress("x", 2, 3);
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "66% completado");
  frm->UpdateEngine1FileProgress("x", 7, 0);  // no size: the display stays
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "66% completado");
  EXPECT_EQ(f["ProgressBar2"].maximum, 3);
  frm->UpdateEngine1FileProgress("x", 3000000000ull, 6000000000ull);
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "50% completado");
  EXPECT_LE(f["ProgressBar2"].position, f["ProgressBar2"].maximum);
  EXPECT_EQ(ui.pumps, 0);

  f["ProgressBar2"].maximum = 100;
  frm->UnZipper1ArchiveProgress(42);
  EXPECT_EQ(f["lblProgresoInstalacion"].caption, "42% completado");
  EXPECT_EQ(f["ProgressBar2"].position, 42);
  EXPECT_EQ(f["ProgressBar2"].maximum, 100);
  EXPECT_EQ(ui.pumps, 1);

  size_t n = mensajes().size();
  frm->UpdateEngine1Status("Conectando", 1, 0);
  frm->UpdateEngine1Status("Fallo de red", 2, 12029);
  auto m = mensajes();
  ASSERT_EQ(m.size(), n + 1);
  EXPECT_EQ(m.back(), "Fallo de red\rUpdate discontinued");
}

TEST_F(Asistente, AlertTurnsTheOutcomeIntoTheFailureReport) {
  start();
  frm->mostrarPanel("pnlFinalizacion");
  auto& f = frm->form;
  EXPECT_TRUE(f["imgOK"].visible);
  EXPECT_EQ(f["lblFinalizacion"].caption, "La Instalaci\xF3n se realiz\xF3 con \xE9xito !");
  EXPECT_EQ(f["lblFinalizacion1"].caption, "Gracias por instalar TurnaliaFree.");
  EXPECT_EQ(f["lblFinalizacion2"].caption, "");
  frm->mostrarPanel("pnlInformeErrores");  // after a success the log is not loaded
  EXPECT_EQ(f["txtLogError"].text, "");

  size_t n = mensajes().size();
  const std::string msg = formatear(msgFicheroNoDescargado, {"dbms.zip"});
  ASSERT_EQ(msg, "Fichero dbms.zip no descargado, instalaci\xF3n detenida !");
  frm->mostrarAlerta(msg);
  EXPECT_EQ(frm->panelVisible(), "pnlFinalizacion");
  EXPECT_FALSE(f["imgOK"].visible);
  EXPECT_TRUE(f["imgError"].visible);
  EXPECT_EQ(f["lblFinalizacion"].caption, "Error en la Instalaci\xF3n");
  EXPECT_EQ(f["lblFinalizacion1"].caption,
            "TurnaliaFree no se ha instalado correctamente debido al siguiente error:");
  EXPECT_EQ(f["lblFinalizacion2"].caption, msg);
  EXPECT_TRUE(f["lblEnviarInformeErrores1"].visible);
  EXPECT_TRUE(f["lblEnviarInformeErrores2"].visible);
  auto m = mensajes();
  ASSERT_EQ(m.size(), n + 2);
  EXPECT_EQ(m[n], msg);
  EXPECT_EQ(m[n + 1], "Mostrando panel pnlFinalizacion ...");

  // The report panel now carries the log.
  files.put(log().getFicheroLog(), sink.files[log().getFicheroLog()]);
  frm->alPulsar("lblEnviarInformeErrores2");
  EXPECT_EQ(frm->panelVisible(), "pnlInformeErrores");
  EXPECT_NE(f["txtLogError"].text.find("Fichero dbms.zip no descargado"), std::string::npos);

  frm->mostrarAlerta("");
  EXPECT_EQ(f["lblFinalizacion2"].caption, "");
  EXPECT_TRUE(f["imgError"].visible);
}

TEST_F(Asistente, ReportPanelWithoutALogFileShowsThePanelAndRaises) {
  start();
  frm->mostrarAlerta("x");
  EXPECT_THROW(frm->mostrarPanel("pnlInformeErrores"), Error);
  EXPECT_EQ(frm->panelVisible(), "pnlInformeErrores");
}
