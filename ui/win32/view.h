// The Win32 view of the form model: real child windows whose texts are the captions.
#pragma once
#include <windows.h>

#include <map>
#include <string>

#include "app/principal.h"
#include "platform/ui.h"

namespace tf {

// Window property holding a global atom with the control's name, for UI automation.
constexpr const wchar_t* kPropiedadNombre = L"TurnaliaFreeControl";

class Win32View : public Ui {
 public:
  Win32View() = default;
  ~Win32View() override;
  void attach(TfrmPrincipal* frm) { frm_ = frm; }

  // Creates the main window and its children from the model (not shown yet).
  bool create(HINSTANCE instance);
  void show(int nCmdShow);
  // Mirrors the model into the windows when its revision moved (always with `evenUnchanged`,
  // for a handler that changed the model without touch()); only the controls that differ from
  // what was last mirrored are touched.
  void sync(bool evenUnchanged = false);
  struct SyncStats {
    uint64_t calls = 0;     // sync() called (once per message pump)
    uint64_t passes = 0;    // of those, passes over the model
    uint64_t applied = 0;   // controls mirrored again
    double ms = 0;          // time spent in passes
  };
  const SyncStats& syncStats() const { return stats_; }
  HWND hwnd() const { return hwnd_; }
  // The window of a copy already running, restored and brought to the front; false when none.
  static bool bringRunningToFront();
  // The window's keyboard handling (Enter, Esc, Tab) and dispatch of one message.
  void handleMessage(MSG& m);

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
  static LRESULT CALLBACK barProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK linkProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT handle(HWND, UINT, WPARAM, LPARAM);
  bool keyboard(const MSG& m);
  HWND createControl(const Control& c);
  void applyControl(const Control& c, HWND h, const Control* before);
  HFONT fontFor(const Control& c);
  int scale(int v) const { return MulDiv(v, dpi_, 96); }
  void dispatch(const std::string& name);
  void pullInput();  // what the user typed or ticked, back into the model
  void drawButton(const DRAWITEMSTRUCT& d);
  void paintBar(HWND h, HDC dc);
  const Control* control(HWND h) const;

  TfrmPrincipal* frm_ = nullptr;
  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = 96;
  bool busy_ = false;
  int depth_ = 0;             // handlers running (a download pumps messages inside one)
  bool closePending_ = false;  // the window was closed while a handler ran
  std::string shownPanel_;
  std::map<std::string, HWND> windows_;
  std::map<HWND, std::string> names_;
  std::map<std::string, Control> synced_;  // the model as last mirrored
  uint64_t syncedRevision_ = 0;
  bool everSynced_ = false;
  SyncStats stats_;
  std::map<std::string, HFONT> fonts_;
  std::map<std::string, ATOM> atoms_;
  std::map<HWND, int> marquee_;  // animation phase per marquee bar
  HBRUSH white_ = nullptr;
};

// The thread's messages handled without a window of ours (a silent run: COM and the system's
// own hidden windows still expect them).
void pumpThreadMessages();

}  // namespace tf
