// The Win32 view of the form model: real child windows whose texts are the captions.
#pragma once
#include <windows.h>

#include <map>
#include <string>

#include "app/principal.h"
#include "platform/ui.h"

namespace tf {

class Win32View : public Ui {
 public:
  Win32View() = default;
  ~Win32View() override;
  void attach(TfrmPrincipal* frm) { frm_ = frm; }

  // Creates the main window and its children from the model (not shown yet).
  bool create(HINSTANCE instance);
  void show(int nCmdShow);
  // Mirrors the model into the windows.
  void sync();
  HWND hwnd() const { return hwnd_; }

  // Ui
  void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void standardError(const std::string& message) override;
  void setBusyCursor(bool busy) override;
  void processMessages() override;
  void closeWindow() override;
  void setFocus(const std::string& control) override;
  bool shellOpen(const std::string& target, std::string& error) override;

 private:
  static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK panelProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(HWND, UINT, WPARAM, LPARAM);
  HWND createControl(const Control& c);
  HFONT fontFor(const Control& c);
  int scale(int v) const { return MulDiv(v, dpi_, 96); }
  void dispatch(const std::string& name);

  TfrmPrincipal* frm_ = nullptr;
  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = 96;
  bool busy_ = false;
  std::map<std::string, HWND> windows_;
  std::map<HWND, std::string> names_;
  std::map<std::string, HFONT> fonts_;
  HBRUSH white_ = nullptr;
  uint64_t synced_ = ~0ull;
};

}  // namespace tf
