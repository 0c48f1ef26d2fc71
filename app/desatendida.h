// The silent run ("-silent"): no window, every box a log line, the run straight through.
#pragma once
#include <functional>
#include <string>

#include "app/argumentos.h"
#include "core/log.h"
#include "platform/ui.h"
#include "update/update_ports.h"

namespace tf {

class TfrmPrincipal;

// The user interface of a run nobody watches: a box becomes one log line ("caption: text"),
// nothing waits, and messages are pumped for the thread alone (`bombear`).
class UiDesatendida : public Ui {
 public:
  UiDesatendida(Log& log, std::function<void()> bombear) : log_(log), bombear_(std::move(bombear)) {}

  void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void standardError(const std::string& message) override;
  void setBusyCursor(bool) override {}
  void processMessages() override {
    if (bombear_) bombear_();
  }
  // There is no window: the run ends when its handler returns (ejecutarDesatendida).
  void closeWindow() override {}
  void setFocus(const std::string&) override {}
  bool shellOpen(const std::string& target, std::string& error) override;

 private:
  Log& log_;
  std::function<void()> bombear_;
};

// The update engine's questions and dialogs, answered as their default button would be (Yes,
// OK, the text accepted: the silent switch accepts the terms) and written to the log.
class UpdateUiDesatendida : public UpdateUi {
 public:
  explicit UpdateUiDesatendida(UiDesatendida& ui) : ui_(ui) {}
  void processMessages() override { ui_.processMessages(); }
  void information(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  void showError(const std::string& text) override;
  void showHtmlDialog(const std::string& page) override;
  bool showWhatsNew(const std::string& caption, const std::string& okText, const std::string& cancelText,
                    const std::string& text, bool rich) override;
  bool showLicence(const std::string& caption, const std::string& okText, const std::string& acceptText,
                   const std::string& notAcceptText, const std::string& text, bool rich) override;
  bool login(const std::string& caption, std::string& user, std::string& password) override;
  // No browser: the address goes to the log.
  bool mayOpenBrowser(const std::string& url) override;

 private:
  UiDesatendida& ui_;
};

extern const char* const kLineaModoInstalacion;
extern const char* const kLineaModoDesinstalacion;
extern const char* const kLineaLicenciaAceptada;

// After start-up (FormCreate, procesarParametros): logs the mode, goes through what a person
// would press (the licence accepted, "Instalar"; or the confirmation and "Continuar"), and
// returns the exit code, logged as the last line before shutdown.
int ejecutarDesatendida(TfrmPrincipal& frm);

}  // namespace tf
