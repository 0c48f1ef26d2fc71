#include "app/desatendida.h"

#include <exception>

#include "app/principal.h"
#include "app/salida.h"
#include "core/mensajes.h"

namespace tf {

const char* const kLineaModoInstalacion = "Instalación desatendida (-silent): sin ventana";
const char* const kLineaModoDesinstalacion = "Desinstalación desatendida (-silent): sin ventana";
const char* const kLineaLicenciaAceptada =
    "Condiciones de Uso y Política de Privacidad aceptadas con la opción -silent";

namespace {

// A log line is one line: the box's own line breaks become blanks.
std::string enUnaLinea(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void UiDesatendida::messageBox(const std::string& text, const std::string& caption, MessageIcon) {
  log_.registrarLog(enUnaLinea(caption + ": " + text));
}

void UiDesatendida::standardError(const std::string& message) {
  std::string text = message;
  if (text.empty() || text.back() != '.') text += ".";
  messageBox(text, kTituloAplicacion, MessageIcon::Error);
}

bool UiDesatendida::shellOpen(const std::string& target, std::string& error) {
  error = "No se abre " + target + " en una ejecución desatendida";
  log_.registrarLog(error);
  return false;
}

void UpdateUiDesatendida::information(const std::string& text) {
  ui_.messageBox(text, kTituloAplicacion, MessageIcon::Information);
}

bool UpdateUiDesatendida::askYesNo(const std::string& text) {
  ui_.messageBox(text + " -> Sí", kTituloAplicacion, MessageIcon::Question);
  return true;
}

void UpdateUiDesatendida::showError(const std::string& text) {
  ui_.messageBox(text, kTituloAplicacion, MessageIcon::Error);
}

void UpdateUiDesatendida::showHtmlDialog(const std::string& page) {
  ui_.messageBox("página no mostrada en una ejecución desatendida: " + page, kTituloAplicacion,
                 MessageIcon::Information);
}

bool UpdateUiDesatendida::showWhatsNew(const std::string& caption, const std::string&, const std::string&,
                                       const std::string&, bool) {
  ui_.messageBox("texto no mostrado en una ejecución desatendida", caption, MessageIcon::Information);
  return true;
}

bool UpdateUiDesatendida::showLicence(const std::string& caption, const std::string&, const std::string&,
                                      const std::string&, const std::string&, bool) {
  ui_.messageBox("acuerdo aceptado con la opción -silent", caption, MessageIcon::Information);
  return true;
}

bool UpdateUiDesatendida::login(const std::string& caption, std::string&, std::string&) {
  ui_.messageBox("no hay credenciales en una ejecución desatendida", caption, MessageIcon::Exclamation);
  return false;
}

bool UpdateUiDesatendida::mayOpenBrowser(const std::string& url) {
  // The silent interface opens nothing; its refusal is the log line.
  std::string error;
  ui_.shellOpen(url, error);
  return false;
}

int ejecutarDesatendida(TfrmPrincipal& frm) {
  bool desinstalador = false;
  try {  // a path the system cannot name has already failed start-up
    desinstalador = frm.isDesinstalador();
  } catch (...) {
  }
  frm.registrarLog(desinstalador ? kLineaModoDesinstalacion : kLineaModoInstalacion);
  // Start-up may already have settled the run: nothing to uninstall, or its own failure.
  if (frm.estado.desenlace == Desenlace::Pendiente) {
    try {
      if (desinstalador) {
        if (frm.panelVisible() == "pnlDesinstalar") {
          frm.form.chkKVTDesinstalar().checked = true;
          frm.chkKVTDesinstalarClick();
          frm.btnDesinstalarClick();
        }
      } else {
        frm.registrarLog(kLineaLicenciaAceptada);
        frm.btnInstalarClick();
      }
    } catch (const std::exception& e) {
      // What the window's standard error box would have shown.
      frm.puertos.ui.standardError(e.what());
    } catch (...) {
      frm.puertos.ui.standardError("Error desconocido");
    }
  }
  const int codigo = codigoSalida(frm.estado.desenlace, true);
  frm.registrarLog(lineaCodigoSalida(codigo));
  return codigo;
}

}  // namespace tf
