#include "app/principal.h"

#include <cctype>
#include <exception>

#include "app/carpetas.h"
#include "app/log.h"
#include "app/mensajes.h"
#include "app/vendor.h"
#include "platform/error.h"

namespace tf {

const char* const kTituloAplicacion = "TurnaliaFree™ - Instalador";

namespace {

const char* const kRegionEuropa = "La descarga se realizará desde los servidores de TurnaliaFree en Europa";
const char* const kRegionAmerica = "La descarga se realizará desde los servidores de TurnaliaFree en América";

std::string minusculas(std::string s) {
  for (char& c : s) c = (char)std::tolower((unsigned char)c);
  return s;
}

std::string nombreFichero(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(Servicios s, std::vector<std::string> args)
    : s_(s),
      args_(std::move(args)),
      WebCopy1(s.internet, s.files, s.clock, [this] { s_.ui.processMessages(); }),
      WebPost1(s.internet, s.ui, [this] { s_.ui.processMessages(); }) {
  crearFormulario(form);
  configurarTransferencias();
}

bool TfrmPrincipal::isDesinstalador() const { return nombreFichero(s_.sys.exePath()) == "uninstall.exe"; }

bool TfrmPrincipal::isRegionEuropa() {
  std::string code, error;
  if (!s_.sys.localeCountryCode(code, error)) {
    s_.ui.messageBox(error, kTituloAplicacion, MessageIcon::None);
    return false;
  }
  for (const char* c : {"351", "34", "31", "39", "353", "47", "44", "61", "32", "33", "49"})
    if (code == c) return true;
  return false;
}

std::string TfrmPrincipal::buscarServidorRed() {
  // Only the "-ip" switch names a server for now; the LAN question comes with discovery.
  if (!args_.empty() && minusculas(args_[0]) == "-ip") return args_.size() > 1 ? args_[1] : std::string();
  return {};
}

void TfrmPrincipal::mostrarOpcionesDesinstalacion() { mostrarPanel("pnlFinalizacion"); }

std::string TfrmPrincipal::getDirectorioTemporal() const {
  return tf::getDirectorioTemporal(getDirectorioTurnaliaFree());
}
std::string TfrmPrincipal::getDirectorioUtilidades() const {
  return tf::getDirectorioUtilidades(getDirectorioTurnaliaFree());
}
std::string TfrmPrincipal::getDirectorioBackUp() const { return tf::getDirectorioBackUp(getDirectorioTurnaliaFree()); }
std::string TfrmPrincipal::getDirectorioTemporalInstalador() const {
  return tf::getDirectorioTemporalInstalador(s_.sys.exePath());
}

void TfrmPrincipal::FormCreate() {
  try {
    // 1. The derived password; nothing is logged before it.
    passwordDBMS = getPasswordDBMS(getWindowsID());
    asignarPasswordConexion(SQLConnection1, getWindowsID());

    // 2.
    registrarLog(std::string(87, '*'));
    registrarLog(caption());

    // 3. ClearType on the window's font and on labels, labelled edits, buttons, check boxes, IP and spin edits.
    form["frmPrincipal"].clearType = true;
    for (Control& c : form.controls()) {
      switch (c.kind) {
        case Kind::Label: case Kind::LinkLabel: case Kind::Button: case Kind::CheckBox:
        case Kind::IpEdit: case Kind::SpinEdit:
          c.clearType = true;
          break;
        default:
          break;
      }
    }
    for (const char* labelled : {"txtProxyUsuario", "txtProxyPassword"}) form[labelled].clearType = true;

    // 4. The first visit to the licence panel downloads the text.
    form["txtLicencia"].text.clear();

    // 5.
    regionEuropa = isRegionEuropa();
    servidorDescarga = vendorHost();
    form["lblMirrorDescarga"].caption = regionEuropa ? kRegionEuropa : kRegionAmerica;

    // 6.
    form["lblDirectorioRaizInstalacion"].caption = s_.sys.programFilesDir() + "\\TurnaliaFree";

    // 7.
    for (const char* p : {"pnlBienvenida", "pnlBienvenidaTicador", "pnlLicencia", "pnlOpciones", "pnlProgreso",
                          "pnlFinalizacion", "pnlDesinstalar", "pnlInformeErrores"})
      form[p].color = kColorWhite;
    form["pnlInformeErrores"].bevel = false;
    form["pnlProxy"].bevel = false;

    // 8. The outcome panel starts in its success state.
    form["imgOK"].visible = true;
    form["imgError"].visible = false;
    form["lblFinalizacion"].caption = msgInstalacionCorrecta;
    form["lblFinalizacion1"].caption = msgGraciasInstalar;
    form["lblFinalizacion2"].caption.clear();
    form["lblEnviarInformeErrores1"].visible = false;
    form["lblEnviarInformeErrores2"].visible = false;

    // 9.
    directorioDBMS = s_.sys.programFilesDir() + "\\MySQL\\MariaDB 10.1";
    ficheroDBMS = "dbms.zip";
    ficheroAplicacion = "TurnaliaFree.zip";
    dbmsEnEjecucion = false;
    descargasActivas = true;

    // 10. Megabytes of 1024000 bytes, as the product has always shown them.
    std::string equipo = s_.sys.computerName();
    form["lblProcesador"].caption = s_.sys.processorName();
    form["lblMemoria"].caption = std::to_string(s_.sys.totalPhysicalMemory() / 1024000) + " MB RAM";
    form["lblNombreEquipo"].caption = msgNombreEquipo + equipo;

    // 11.
    for (const char* p : kPaneles) form[p].parent = "pnlContenedor";

    // 12.
    registrarLog(form["lblProcesador"].caption);
    registrarLog(form["lblMemoria"].caption);
    registrarLog(msgNombreEquipo + equipo);

    // 13.
    modoTicador = 0;
    claveDesinstalacion = isWindows64() ? "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                        : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

    // 14. The mode.
    if (isDesinstalador()) {
      for (const char* t : kPestanas) form[t].caption.clear();
      mostrarOpcionesDesinstalacion();
    } else {
      std::string servidor = buscarServidorRed();
      if (!servidor.empty()) {
        modoTicador = 1;
        form["lblServidorDetectado"].caption = "Se ha detectado una instalación de TurnaliaFree en el equipo " +
                                               servidor +
                                               " de su Red Local, va a proceder a instalar el Software Ticador en "
                                               "el equipo actual.";
        mostrarPanel("pnlBienvenidaTicador");
      } else {
        mostrarPanel("pnlBienvenida");
      }
    }
  } catch (const std::exception& e) {
    s_.ui.standardError(e.what());
    // The window still opens; with no panel chosen yet it offers the welcome panel.
    if (panelVisible().empty()) {
      try {
        mostrarPanel(isDesinstalador() ? "pnlFinalizacion" : "pnlBienvenida");
      } catch (...) {
      }
    }
  }
  form.touch();
}

void TfrmPrincipal::procesarParametros() {
  for (const std::string& arg : args_) {
    std::string a = minusculas(arg);
    if (a == "-m") {
      form["lblCambiarMirror"].visible = true;
    } else if (a == "-no_downloads") {
      descargasActivas = false;
      form["frmPrincipal"].caption += " [no-downloads]";
      form["lblCambiarMirror"].visible = false;
      form["lblMirrorDescarga"].visible = false;
      break;
    }
  }
  form.touch();
}

void TfrmPrincipal::FormDestroy() {
  registrarLog(msgEliminandoTemporal);
  std::string temp = getDirectorioTemporalInstalador();
  if (s_.files.folderExists(temp)) s_.files.removeFolder(temp);
  registrarLog(msgFinalizandoEjecucion + caption());
}

void TfrmPrincipal::alPulsar(const std::string& control) {
  if (control == "btnSalir" || control == "btnSalir4" || control == "btnSalir1" || control == "btnRechazarLicencia")
    btnSalirClick();
}

std::string TfrmPrincipal::panelVisible() const {
  for (const char* p : kPaneles)
    if (form[p].visible) return p;
  return {};
}

void TfrmPrincipal::mostrarPanel(const std::string& panel) {
  registrarLog(formatear(msgMostrandoPanel, {panel}));
  form["pnlProxy"].visible = false;
  for (const char* p : kPaneles) form[p].visible = (panel == p);
  Control& fondo = form["imgFondo"];
  fondo.parent = panel;
  fondo.zOrder = -1;
  for (const char* t : kPestanas) form[t].color = kColorWhite;
  if (!isDesinstalador()) {
    const char* lit = nullptr;
    if (panel == "pnlBienvenida" || panel == "pnlProxy") lit = "pnlCabeceraBienvenida";
    else if (panel == "pnlLicencia") lit = "pnlCabeceraLicencia";
    else if (panel == "pnlOpciones") lit = "pnlCabeceraOpciones";
    else if (panel == "pnlProgreso") lit = "pnlCabeceraProgreso";
    else if (panel == "pnlFinalizacion") lit = "pnlCabeceraFinalizacion";
    if (lit) form[lit].color = kColorButtonFace;
  }
  if (panel == "pnlInformeErrores" && !form["imgOK"].visible) {
    std::string text;
    if (!s_.files.readFile(getFicheroLog(), text)) throw Error("No se puede abrir el archivo " + getFicheroLog());
    form["txtLogError"].text = text;
  }
  form.touch();
}

}  // namespace tf
