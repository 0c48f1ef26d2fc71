#include "app/principal.h"

#include <climits>
#include <cstdlib>
#include <exception>

#include "app/descubrimiento.h"
#include "core/carpetas.h"
#include "core/crc32.h"
#include "core/mensajes.h"
#include "core/texto.h"
#include "core/vendor.h"
#include "install/instalacion.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "report/informe.h"
#include "transfer/file_transfer.h"
#include "transfer/form_poster.h"
#include "uninstall/desinstalacion.h"
#include "uninstall/opciones.h"
#include "update/update_engine.h"
#include "zip/unzipper.h"

namespace tf {

namespace {

const char* const kRegionEuropa = "La descarga se realizará desde los servidores de TurnaliaFree en Europa";
const char* const kRegionAmerica = "La descarga se realizará desde los servidores de TurnaliaFree en América";

// A text saved as UTF-8 with its byte-order mark becomes the program's Windows-1252; anything else
// is taken as Windows-1252 already. Characters 1252 cannot hold become "?".
std::string textoCp1252(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) return bytes;
  return cp1252FromUtf8(bytes.substr(3), '?');
}

}  // namespace

bool esDesinstalador(const std::string& exePath, Files& files) {
  std::string nombre = files.storedName(exePath);
  if (nombre.empty()) nombre = nombreFichero(exePath);
  return nombre == "uninstall.exe";
}

TfrmPrincipal::TfrmPrincipal(Puertos p, Argumentos a) : Ventana(p), argumentos_(std::move(a)) {
  // First: every program the run starts inherits it.
  puertos.processes.switchOffErrorBoxes();
  crearFormulario(form);
  configurarComponentes();
}

void TfrmPrincipal::configurarComponentes() {
  FileTransfer1.Agent = "FileTransfer";
  FileTransfer1.ShowDialog = false;
  FileTransfer1.FTPPassive = false;
  FileTransfer1.Timeout = 0;
  FileTransfer1.Items.Clear();
  FileTransfer1.OnCopyProgress = [this](TFileTransfer& s, int f, uint32_t size, uint32_t tot) {
    FileTransfer1CopyProgress(s, f, size, tot);
  };

  FormPoster1.Agent = "FormPoster";
  FormPoster1.Port = 443;
  FormPoster1.Server = vendorHost();
  FormPoster1.Action = kReportAction;
  FormPoster1.Items.Clear();

  UpdateEngine1.UpdateUpdate = upSilent;
  UpdateEngine1.VersionCheck = vcAlways;
  UpdateEngine1.ExtractCAB = true;
  UpdateEngine1.Logging = true;
  UpdateEngine1.LogFileName = "UPDATE.LOG";
  UpdateEngine1.Agent = "TUpdateEngine";
  UpdateEngine1.UseWinTempDir = true;
  UpdateEngine1.TempDirectory = "./temp";
  UpdateEngine1.LastURLEntry.Key = "test";
  UpdateEngine1.OnFileProgress = [this](TUpdateEngine&, const std::string& file, int64_t pos, int64_t size) {
    UpdateEngine1FileProgress(file, pos > 0 ? (uint64_t)pos : 0, size > 0 ? (uint64_t)size : 0);
  };
  UpdateEngine1.OnStatus = [this](TUpdateEngine&, const std::string& text, int status, int error) {
    UpdateEngine1Status(text, status, error);
  };

  UnZipper1.createFolders = true;
  UnZipper1.restoreStoredPaths = true;
  UnZipper1.onArchiveProgress = [this](int percent) { UnZipper1ArchiveProgress(percent); };
}

bool TfrmPrincipal::isDesinstalador() const {
  // A program path the system cannot name fails start-up here, with its message.
  if (!argumentos_.errorPrograma.empty()) throw Error(argumentos_.errorPrograma);
  return argumentos_.desinstalador;
}

bool TfrmPrincipal::isRegionEuropa() {
  std::string code, error;
  if (!puertos.sys.localeCountryCode(code, error)) {
    puertos.ui.messageBox(error, kTituloAplicacion, MessageIcon::None);
    return false;
  }
  for (const char* c : {"351", "34", "31", "39", "353", "47", "44", "61", "32", "33", "49"})
    if (code == c) return true;
  return false;
}

std::string TfrmPrincipal::buscarServidorRed() {
  if (argumentos_.servidorIndicado) return argumentos_.servidor;
  std::string nombre, error;
  // A machine that cannot ask (offline, no interface that broadcasts) simply has no server on
  // its LAN: the full installation stays open to it, "-no_downloads" included.
  if (!preguntarServidorRed(puertos.net, UDPClient, puertos.clock, puertos.ui, nombre, error)) {
    registrarLog("No se pudo buscar un servidor de TurnaliaFree en la Red Local: " + error);
    return {};
  }
  return nombre;
}

void TfrmPrincipal::mostrarOpcionesDesinstalacion() { tf::mostrarOpcionesDesinstalacion(*this); }
void TfrmPrincipal::chkKVTDesinstalarClick() { tf::chkKVTDesinstalarClick(*this); }
void TfrmPrincipal::btnDesinstalarClick() { tf::btnDesinstalarClick(*this); }

void TfrmPrincipal::FormCreate() {
  try {
    // 1. The derived password; nothing is logged before it.
    estado.passwordDBMS = getPasswordDBMS(getWindowsID());
    asignarPasswordConexion(SQLConnection1, getWindowsID());

    // 2.
    registrarLog(std::string(87, '*'));
    registrarLog(caption());

    // 3. ClearType on the window's font and on labels, labelled edits, buttons, check boxes, IP and spin edits.
    form.frmPrincipal().clearType = true;
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
    form.txtProxyUsuario().clearType = true;  // labelled edits
    form.txtProxyPassword().clearType = true;

    // 4. The first visit to the licence panel downloads the text.
    form.txtLicencia().text.clear();

    // 5.
    estado.regionEuropa = isRegionEuropa();
    estado.servidorDescarga = vendorHost();
    form.lblMirrorDescarga().caption = estado.regionEuropa ? kRegionEuropa : kRegionAmerica;

    // 6.
    form.lblDirectorioRaizInstalacion().caption = puertos.sys.programFilesDir() + "\\TurnaliaFree";

    // 7.
    for (const char* p : {"pnlBienvenida", "pnlBienvenidaTicador", "pnlLicencia", "pnlOpciones", "pnlProgreso",
                          "pnlFinalizacion", "pnlDesinstalar", "pnlInformeErrores"})
      form[p].color = kColorWhite;
    form.pnlInformeErrores().bevel = false;
    form.pnlProxy().bevel = false;

    // 8. The outcome panel starts in its success state.
    form.imgOK().visible = true;
    form.imgError().visible = false;
    form.lblFinalizacion().caption = msgInstalacionCorrecta;
    form.lblFinalizacion1().caption = msgGraciasInstalar;
    form.lblFinalizacion2().caption.clear();
    form.lblEnviarInformeErrores1().visible = false;
    form.lblEnviarInformeErrores2().visible = false;

    // 9.
    estado.directorioDBMS = puertos.sys.programFilesDir() + "\\MySQL\\MariaDB 10.1";
    estado.ficheroDBMS = "dbms.zip";
    estado.ficheroAplicacion = "TurnaliaFree.zip";
    estado.dbmsEnEjecucion = false;
    estado.descargasActivas = true;

    // 10. Megabytes of 1024000 bytes, not 1048576: the header's own unit.
    std::string equipo = puertos.sys.computerName();
    form.lblProcesador().caption = puertos.sys.processorName();
    form.lblMemoria().caption = std::to_string(puertos.sys.totalPhysicalMemory() / 1024000) + " MB RAM";
    form.lblNombreEquipo().caption = msgNombreEquipo + equipo;

    // 11.
    for (const char* p : kPaneles) form[p].parent = "pnlContenedor";

    // 12.
    registrarLog(form.lblProcesador().caption);
    registrarLog(form.lblMemoria().caption);
    registrarLog(msgNombreEquipo + equipo);

    // 13.
    estado.modoTicador = 0;
    estado.claveDesinstalacion = isWindows64() ? "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                        : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

    // 14. The mode.
    if (isDesinstalador()) {
      for (const char* t : kPestanas) form[t].caption.clear();
      mostrarOpcionesDesinstalacion();
    } else {
      std::string servidor = buscarServidorRed();
      // "-full" keeps the full installation, whoever answered; the log names the server either way,
      // its control characters blanked: the answer is anyone's datagram and must not forge lines.
      if (!servidor.empty() && !argumentos_.servidorIndicado) {
        std::string nombre = servidor;
        for (char& c : nombre)
          if ((unsigned char)c < 0x20) c = ' ';
        registrarLog(formatear(argumentos_.completa ? msgServidorDetectadoCompleta : msgServidorDetectado, {nombre}));
      }
      if (!servidor.empty() && !argumentos_.completa) {
        estado.modoTicador = 1;
        form.lblServidorDetectado().caption = "Se ha detectado una instalación de TurnaliaFree en el equipo " +
                                               servidor +
                                               " de su Red Local, va a proceder a instalar el Software Ticador en "
                                               "el equipo actual.";
        mostrarPanel("pnlBienvenidaTicador");
      } else {
        mostrarPanel("pnlBienvenida");
      }
    }
  } catch (const std::exception& e) {
    puertos.ui.standardError(e.what());
    // The window still opens, but on the failure outcome: start-up did not finish (the mode or
    // the uninstall key may be unset), so nothing may be installed or uninstalled from here.
    try {
      mostrarAlerta(e.what());
    } catch (...) {
      estado.desenlace = Desenlace::Fallido;
      for (const char* p : kPaneles) form[p].visible = std::string(p) == "pnlFinalizacion";
    }
  }
  form.touch();
}

void TfrmPrincipal::procesarParametros() {
  // Read up to the first "-no_downloads": a "-m" after it has no effect.
  if (argumentos_.mirror) form.lblCambiarMirror().visible = true;
  if (argumentos_.sinDescargas) {
    estado.descargasActivas = false;
    form.frmPrincipal().caption += " [no-downloads]";
    form.lblCambiarMirror().visible = false;
    form.lblMirrorDescarga().visible = false;
  }
  // Wherever they stand, "-no_downloads" or not.
  if (argumentos_.sinAccesoEscritorio) form.chkCreateDesktopShortcut().checked = false;
  if (argumentos_.sinAccesoMenu) form.chkCreateStartMenuShortcut().checked = false;
  form.touch();
}

void TfrmPrincipal::FormDestroy() {
  registrarLog(msgEliminandoTemporal);
  std::string temp = getDirectorioTemporalInstalador();
  if (puertos.files.folderExists(temp)) puertos.files.removeFolder(temp);
  registrarLog(msgFinalizandoEjecucion + caption());
}

void TfrmPrincipal::alPulsar(const std::string& control) {
  const std::string& c = control;
  if (c == "btnSalir" || c == "btnSalir4" || c == "btnSalir1" || c == "btnSalir3" || c == "btnRechazarLicencia")
    btnSalirClick();
  else if (c == "btnAvanzar" || c == "btnAvanzar4") btnAvanzarClick();
  else if (c == "btnRetroceder") btnRetrocederClick();
  else if (c == "btnRetroceder1") btnRetroceder1Click();
  else if (c == "btnAceptarLicencia") btnAceptarLicenciaClick();
  else if (c == "lblConfiguracionProxy" || c == "Label23") lblConfiguracionProxyClick();
  else if (c == "btnAceptarProxy") btnAceptarProxyClick();
  else if (c == "btnCerrarProxy") btnCerrarProxyClick();
  else if (c == "lblCambiarMirror") lblCambiarMirrorClick();
  else if (c == "lblDirectorioRaizInstalacion" || c == "lblMirrorDescarga") lblDirectorioRaizInstalacionClick();
  else if (c == "imgTurnaliaFree") imgTurnaliaFreeClick();
  else if (c == "lblEnviarInformeErrores2") lblEnviarInformeErrores2Click();
  else if (c == "btnInstalar") btnInstalarClick();
  else if (c == "btnEnviarInformeErrores") btnEnviarInformeErroresClick();
  else if (c == "chkKVTDesinstalar") chkKVTDesinstalarClick();
  // Only a confirmed uninstall runs, however the click arrived.
  else if (c == "btnDesinstalar" && form.btnDesinstalar().enabled && form.chkKVTDesinstalar().checked) btnDesinstalarClick();
  form.touch();
}

namespace {
bool esEnlaceSubrayable(const std::string& c) {
  return c == "lblConfiguracionProxy" || c == "Label23" || c == "lblCambiarMirror";
}
}  // namespace

void TfrmPrincipal::alEntrarRaton(const std::string& control) {
  if (esEnlaceSubrayable(control)) lblConfiguracionProxyMouseEnter(control);
}

void TfrmPrincipal::alSalirRaton(const std::string& control) {
  if (esEnlaceSubrayable(control)) lblConfiguracionProxyMouseLeave(control);
}

void TfrmPrincipal::lblConfiguracionProxyMouseEnter(const std::string& label) {
  form[label].underline = true;
  form.touch();
}

void TfrmPrincipal::lblConfiguracionProxyMouseLeave(const std::string& label) {
  form[label].underline = false;
  form.touch();
}

void TfrmPrincipal::btnAvanzarClick() {
  form.ProgressBar1().visible = true;
  form.ProgressBar3().visible = true;
  puertos.ui.setBusyCursor(true);
  form.touch();
  auto restore = [this] {
    puertos.ui.setBusyCursor(false);
    form.ProgressBar1().visible = false;
    form.ProgressBar3().visible = false;
    form.touch();
  };
  try {
    mostrarPanel("pnlLicencia");
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TfrmPrincipal::btnAceptarLicenciaClick() {
  if (form.chkAceptarCondiciones().checked) {
    mostrarPanel("pnlOpciones");
    return;
  }
  puertos.ui.messageBox("Debe aceptar las Condiciones de Uso y la Pol\xEDtica de Privacidad antes de continuar",
                   msgTituloAtencion, MessageIcon::Exclamation);
}

void TfrmPrincipal::lblConfiguracionProxyClick() {
  mostrarPanel("pnlProxy");
  puertos.ui.setFocus("txtProxyServidor");
}

void TfrmPrincipal::btnAceptarProxyClick() {
  const std::string& usuario = form.txtProxyUsuario().text;
  const std::string& password = form.txtProxyPassword().text;
  if (!usuario.empty() && !password.empty()) {
    // The spin edit holds a number within its range whatever was typed into it.
    const Control& puerto = form.txtProxyPuerto();
    long valor = std::strtol(puerto.text.c_str(), nullptr, 10);
    if (valor < puerto.minimum) valor = puerto.minimum;
    if (valor > puerto.maximum) valor = puerto.maximum;
    FileTransfer1.Proxy = form.txtProxyServidor().text + ":" + std::to_string(valor);
    FileTransfer1.ProxyUserID = usuario;
    FileTransfer1.ProxyPassword = password;
  } else {
    FileTransfer1.Proxy.clear();
  }
  mostrarPanel("pnlBienvenida");
}

void TfrmPrincipal::btnCerrarProxyClick() {
  FileTransfer1.Proxy.clear();
  mostrarPanel("pnlBienvenida");
}

void TfrmPrincipal::lblCambiarMirrorClick() {
  // There is a single download host; the click only shows which region serves it.
  if (estado.servidorDescarga == vendorHost()) {
    estado.servidorDescarga = vendorHost();
    form.lblMirrorDescarga().caption = kRegionAmerica;
  } else {
    estado.servidorDescarga = vendorHost();
    form.lblMirrorDescarga().caption = kRegionEuropa;
  }
  form.touch();
}

void TfrmPrincipal::imgTurnaliaFreeClick() {
  puertos.ui.setBusyCursor(true);
  std::string error;
  if (!puertos.ui.shellOpen(vendorSiteUrl(), error)) puertos.ui.messageBox(error, msgTituloAtencion, MessageIcon::Exclamation);
  puertos.ui.setBusyCursor(false);
}

void TfrmPrincipal::cargarFicheroLicencia() {
  const std::string fichero = kFicheroLicencia;
  const std::string url = vendorUrl(kUrlLicencia + fichero);
  const std::string carpeta = extraerDirectorio(puertos.sys.exePath()) + "/Temp";
  decargarArchivoWeb(url, carpeta);
  const std::string ruta = carpeta + "/" + fichero;
  std::string texto;
  if (!puertos.files.readFile(ruta, texto)) throw Error("No se puede abrir el archivo " + ruta);
  form.txtLicencia().text = textoCp1252(texto);
  form.touch();
}

void TfrmPrincipal::btnInstalarClick() { instalar(*this); }

void TfrmPrincipal::btnEnviarInformeErroresClick() {
  if (form.txtLogEmail().text.empty())
    throw Error("Debe indicar el correo donde le contactaremos tras analizar la incidencia");
  try {
    confirmar_instalacion(*this, true);
  } catch (...) {
  }
  puertos.ui.closeWindow();
}

void TfrmPrincipal::mostrarAlerta(const std::string& message) {
  estado.desenlace = Desenlace::Fallido;
  registrarLog(message);
  form.imgOK().visible = false;
  form.imgError().visible = true;
  form.lblFinalizacion().caption = msgErrorInstalacion;
  form.lblFinalizacion1().caption = msgNoInstaladoCorrectamente;
  form.lblFinalizacion2().caption = message;
  form.lblEnviarInformeErrores1().visible = true;
  form.lblEnviarInformeErrores2().visible = true;
  mostrarPanel("pnlFinalizacion");
}

void TfrmPrincipal::UnZipper1ArchiveProgress(int percent) {
  form.ProgressBar2().position = percent;
  form.lblProgresoInstalacion().caption = std::to_string(percent) + msgPorcentajeCompletado;
  form.touch();
  puertos.ui.processMessages();
}

void TfrmPrincipal::UpdateEngine1FileProgress(const std::string& fileName, uint64_t position, uint64_t size) {
  (void)fileName;
  // No announced size: no percentage can be told, so the display keeps what it showed.
  if (size == 0) return;
  // The bar counts in int; very large files are shown in coarser units.
  uint64_t max = size, pos = position;
  while (max > (uint64_t)INT_MAX) {
    max >>= 10;
    pos >>= 10;
  }
  Control& bar = form.ProgressBar2();
  bar.maximum = (int)max;
  bar.position = (int)(pos > max ? max : pos);
  // Whole part of position / size * 100, in integers so 29 of 100 reads 29, not 28.
  uint64_t pct = position <= UINT64_MAX / 100 ? position * 100 / size : position / size * 100;
  form.lblProgresoInstalacion().caption = std::to_string(pct) + "% " + msgCompletado;
  form.touch();
}

void TfrmPrincipal::UpdateEngine1Status(const std::string& text, int statusCode, int errorCode) {
  (void)errorCode;
  if (statusCode == 2) registrarLog(text + "\r" + "Update discontinued");
}

std::string TfrmPrincipal::panelVisible() const {
  for (const char* p : kPaneles)
    if (form[p].visible) return p;
  return {};
}

void TfrmPrincipal::mostrarPanel(const std::string& panel) {
  registrarLog(formatear(msgMostrandoPanel, {panel}));
  form.pnlProxy().visible = false;
  // The first visit to the licence panel fetches the agreement; a failure leaves the panels as they were.
  if (panel == "pnlLicencia" && form.txtLicencia().text.empty()) cargarFicheroLicencia();
  for (const char* p : kPaneles) form[p].visible = (panel == p);
  Control& fondo = form.imgFondo();
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
  form.touch();
  if (panel == "pnlInformeErrores" && !form.imgOK().visible) {
    std::string text;
    if (!puertos.files.readFile(puertos.log.getFicheroLog(), text)) throw Error("No se puede abrir el archivo " + puertos.log.getFicheroLog());
    form.txtLogError().text = text;
    form.touch();
  }
}

}  // namespace tf
