// The form model: the single source of UI state. Handlers change it; the Win32 view mirrors it.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tf {

enum class Kind {
  Window, Panel, HeaderTab, Label, LinkLabel, Button, CheckBox, Edit, PasswordlessEdit, Memo,
  IpEdit, SpinEdit, Picture, ProgressBar, MarqueeBar
};

constexpr uint32_t kColorWhite = 0xFFFFFF;
constexpr uint32_t kColorButtonFace = 0xFF00000F;  // the system colour "button face"

struct Control {
  std::string name;
  Kind kind = Kind::Label;
  std::string parent;
  std::string caption;   // window text
  std::string text;      // edit and memo content
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  bool underline = false;
  bool bold = false;
  bool clearType = false;
  bool bevel = true;
  bool wordWrap = false;
  bool alignRight = false;  // labels: text against the right edge
  bool readOnly = false;
  int x = 0, y = 0, w = 0, h = 0;
  int position = 0, maximum = 100, minimum = 0;
  int fontSize = 8;
  uint32_t color = kColorWhite;
  uint32_t fontColor = 0;
  int zOrder = 0;        // lower is further back
  int tabOrder = -1;     // -1: not a tab stop
  bool isDefault = false;  // the panel's main button: Enter clicks it
  bool isCancel = false;   // Esc clicks it while it is showing
};

class FormModel {
 public:
  Control& add(Control c);
  Control& operator[](const std::string& name);
  const Control& operator[](const std::string& name) const;
  bool has(const std::string& name) const { return index_.count(name) != 0; }
  const std::vector<Control>& controls() const { return controls_; }
  std::vector<Control>& controls() { return controls_; }
  std::vector<std::string> childrenOf(const std::string& parent) const;
  // A change a view should show is followed by touch(): the view compares itself with the model
  // only when the revision moved (and once after every handler), not on every message pump.
  void touch() { ++revision_; }
  uint64_t revision() const { return revision_; }

 private:
  std::vector<Control> controls_;
  std::map<std::string, size_t> index_;
  uint64_t revision_ = 0;
};

// The panel's main button (Enter), "" when it has none.
std::string botonPorDefecto(const FormModel& form, const std::string& panel);

}  // namespace tf
