// The update engine's questions and text dialogs on Win32.
#pragma once
#include <windows.h>

#include "platform/ui.h"
#include "update/update_ports.h"

namespace tf {

class Win32UpdateUi : public UpdateUi {
 public:
  explicit Win32UpdateUi(Ui& ui, HWND owner = nullptr) : ui_(ui), owner_(owner) {}
  void processMessages() override { ui_.processMessages(); }
  void information(const std::string& text) override;
  bool askYesNo(const std::string& text) override;
  void showError(const std::string& text) override;
  // The page is opened with the shell: no HTML dialog host is carried.
  void showHtmlDialog(const std::string& page) override;
  bool showWhatsNew(const std::string& caption, const std::string& okText, const std::string& cancelText,
                    const std::string& text, bool rich) override;
  bool showLicence(const std::string& caption, const std::string& okText, const std::string& acceptText,
                   const std::string& notAcceptText, const std::string& text, bool rich) override;
  // No login dialog is carried: asking for credentials counts as cancelled.
  bool login(const std::string&, std::string&, std::string&) override { return false; }

 private:
  Ui& ui_;
  HWND owner_;
};

}  // namespace tf
