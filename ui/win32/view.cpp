#include "ui/win32/view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/mensajes.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

const wchar_t* const kMainClass = L"TurnaliaFreeSetupWindow";
const wchar_t* const kPanelClass = L"TurnaliaFreePanel";
const wchar_t* const kBarClass = L"TurnaliaFreeProgress";
const COLORREF kAzul = RGB(0, 90, 156);  // the vendor's blue
const UINT_PTR kMarqueeTimer = 1;

COLORREF toColorRef(uint32_t c) {
  if (c == kColorButtonFace) return GetSysColor(COLOR_BTNFACE);
  return RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
}

// Model colours are written 0xRRGGBB except fontColor, which is BGR like the VCL's TColor.
COLORREF fontColorRef(uint32_t c) { return (COLORREF)c; }

std::wstring windowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring s(n + 1, L'\0');
  GetWindowTextW(h, &s[0], n + 1);
  s.resize(n);
  return s;
}

COLORREF mix(COLORREF a, COLORREF b, int k, int of) {
  if (of <= 0) return a;
  return RGB(GetRValue(a) + (GetRValue(b) - GetRValue(a)) * k / of, GetGValue(a) + (GetGValue(b) - GetGValue(a)) * k / of,
             GetBValue(a) + (GetBValue(b) - GetBValue(a)) * k / of);
}

void fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void verticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  int h = r.bottom - r.top;
  for (int y = 0; y < h; ++y) {
    RECT line = {r.left, r.top + y, r.right, r.top + y + 1};
    fill(dc, line, mix(top, bottom, y, h > 1 ? h - 1 : 1));
  }
}

void disc(HDC dc, int cx, int cy, int radius, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  HGDIOBJ oldB = SelectObject(dc, b);
  HGDIOBJ oldP = SelectObject(dc, GetStockObject(NULL_PEN));
  Ellipse(dc, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1);
  SelectObject(dc, oldP);
  SelectObject(dc, oldB);
  DeleteObject(b);
}

HFONT pictureFont(int height, bool bold) {
  LOGFONTW lf = {};
  lf.lfHeight = -height;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcscpy(lf.lfFaceName, L"Segoe UI");
  return CreateFontIndirectW(&lf);
}

// The program's own pictures: nothing is loaded from files.
void drawPicture(HDC dc, const RECT& r, const std::string& name) {
  int w = r.right - r.left, h = r.bottom - r.top;
  if (name == "imgOK" || name == "imgError") {
    bool ok = name == "imgOK";
    fill(dc, r, RGB(255, 255, 255));
    disc(dc, r.left + w / 2, r.top + h / 2, std::min(w, h) / 2 - 1, ok ? RGB(46, 160, 67) : RGB(200, 40, 40));
    HPEN pen = CreatePen(PS_SOLID, std::max(2, w / 9), RGB(255, 255, 255));
    HGDIOBJ oldP = SelectObject(dc, pen);
    if (ok) {
      MoveToEx(dc, r.left + w * 27 / 100, r.top + h * 52 / 100, nullptr);
      LineTo(dc, r.left + w * 44 / 100, r.top + h * 69 / 100);
      LineTo(dc, r.left + w * 74 / 100, r.top + h * 34 / 100);
    } else {
      MoveToEx(dc, r.left + w * 33 / 100, r.top + h * 33 / 100, nullptr);
      LineTo(dc, r.left + w * 67 / 100, r.top + h * 67 / 100);
      MoveToEx(dc, r.left + w * 67 / 100, r.top + h * 33 / 100, nullptr);
      LineTo(dc, r.left + w * 33 / 100, r.top + h * 67 / 100);
    }
    SelectObject(dc, oldP);
    DeleteObject(pen);
  } else if (name == "imgFondo") {
    // Blue gradient with a calendar-like grid of shifts fading towards the bottom.
    verticalGradient(dc, r, RGB(0, 70, 130), RGB(60, 150, 210));
    int cell = w / 7;
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 5; ++col) {
        int x = r.left + cell + col * cell, y = r.top + h / 6 + row * cell;
        RECT c = {x + 3, y + 3, x + cell - 3, y + cell - 3};
        bool lit = (row * 5 + col) % 3 == 0;
        fill(dc, c, mix(RGB(40, 120, 185), lit ? RGB(255, 255, 255) : RGB(90, 170, 225), lit ? 2 : 1, 3));
      }
    HFONT f = pictureFont(w / 8, true);
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT t = {r.left, r.top + h * 3 / 4, r.right, r.top + h * 3 / 4 + w / 5};
    DrawTextW(dc, L"TurnaliaFree", -1, &t, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(f);
  } else if (name == "imgTurnaliaFree") {
    // The logo: a clock face beside the product name.
    int d = h - 8;
    int cx = r.left + 4 + d / 2, cy = r.top + h / 2;
    disc(dc, cx, cy, d / 2, kAzul);
    disc(dc, cx, cy, d / 2 - 3, RGB(255, 255, 255));
    HPEN pen = CreatePen(PS_SOLID, 3, kAzul);
    HGDIOBJ oldP = SelectObject(dc, pen);
    MoveToEx(dc, cx, cy, nullptr);
    LineTo(dc, cx, cy - d / 3);
    MoveToEx(dc, cx, cy, nullptr);
    LineTo(dc, cx + d / 4, cy);
    SelectObject(dc, oldP);
    DeleteObject(pen);
    HFONT f = pictureFont(h * 5 / 10, true);
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kAzul);
    RECT t = {r.left + d + 12, r.top, r.right, r.bottom};
    DrawTextW(dc, L"TurnaliaFree", -1, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(f);
  }
}

bool isTextInput(Kind k) {
  return k == Kind::Edit || k == Kind::PasswordlessEdit || k == Kind::SpinEdit || k == Kind::IpEdit;
}

std::wstring crlf(const std::wstring& t) {
  std::wstring out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == L'\n' && (i == 0 || t[i - 1] != L'\r')) out += L'\r';
    out += t[i];
  }
  return out;
}

}  // namespace

Win32View::~Win32View() {
  for (auto& f : fonts_) DeleteObject(f.second);
  for (auto& a : atoms_) GlobalDeleteAtom(a.second);
  if (white_) DeleteObject(white_);
}

bool Win32View::create(HINSTANCE instance) {
  instance_ = instance;
  white_ = CreateSolidBrush(RGB(255, 255, 255));
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = white_;
  wc.lpszClassName = kMainClass;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hIconSm = wc.hIcon;
  RegisterClassExW(&wc);
  WNDCLASSEXW pc = {};
  pc.cbSize = sizeof(pc);
  pc.lpfnWndProc = panelProc;
  pc.hInstance = instance;
  pc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  pc.lpszClassName = kPanelClass;
  RegisterClassExW(&pc);
  WNDCLASSEXW bc = pc;
  bc.lpfnWndProc = barProc;
  bc.lpszClassName = kBarClass;
  RegisterClassExW(&bc);

  const Control& w = frm_->form.frmPrincipal();
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT r = {0, 0, scale(w.w), scale(w.h)};
  AdjustWindowRect(&r, style, FALSE);
  int ww = r.right - r.left, wh = r.bottom - r.top;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - ww) / 2, y = work.top + ((work.bottom - work.top) - wh) / 2;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainClass, widen(w.caption).c_str(), style, x, y, ww, wh, nullptr,
                          nullptr, instance, this);
  if (!hwnd_) return false;
  windows_["frmPrincipal"] = hwnd_;
  names_[hwnd_] = "frmPrincipal";
  // Creation order is the Tab order: within a parent, tab stops follow their tabOrder.
  std::vector<const Control*> order;
  for (const Control& c : frm_->form.controls())
    if (c.kind != Kind::Window) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    bool pa = a->kind == Kind::Panel || a->kind == Kind::HeaderTab, pb = b->kind == Kind::Panel || b->kind == Kind::HeaderTab;
    if (pa != pb) return pa;  // containers first, so every child finds its parent
    return (a->tabOrder < 0 ? -1 : a->tabOrder) < (b->tabOrder < 0 ? -1 : b->tabOrder);
  });
  for (const Control* c : order) createControl(*c);
  SetTimer(hwnd_, kMarqueeTimer, 40, nullptr);
  sync(true);
  return true;
}

HFONT Win32View::fontFor(const Control& c) {
  std::string key = std::to_string(c.fontSize) + (c.bold ? "b" : "") + (c.underline ? "u" : "") +
                    (c.clearType ? "c" : "");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  LOGFONTW lf = {};
  lf.lfHeight = -MulDiv(c.fontSize, dpi_, 72);  // 8 point: -11 at 96 dpi
  lf.lfWeight = c.bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = c.underline;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = c.clearType ? CLEARTYPE_QUALITY : DEFAULT_QUALITY;
  wcscpy(lf.lfFaceName, L"Segoe UI");
  HFONT f = CreateFontIndirectW(&lf);
  fonts_[key] = f;
  return f;
}

HWND Win32View::createControl(const Control& c) {
  HWND parent = windows_.count(c.parent) ? windows_[c.parent] : hwnd_;
  const wchar_t* cls = kPanelClass;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  switch (c.kind) {
    case Kind::Panel: case Kind::HeaderTab: case Kind::Picture:
      style |= WS_CLIPCHILDREN;
      ex = WS_EX_CONTROLPARENT;
      break;
    case Kind::Label:
      cls = L"STATIC";
      style |= SS_NOPREFIX | SS_NOTIFY | (c.alignRight ? SS_RIGHT : c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      break;
    case Kind::LinkLabel:
      cls = L"STATIC";
      style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
      break;
    case Kind::Button:
      cls = L"BUTTON";
      style |= BS_OWNERDRAW | WS_TABSTOP;
      break;
    case Kind::CheckBox:
      cls = L"BUTTON";
      style |= BS_AUTOCHECKBOX | WS_TABSTOP | BS_MULTILINE;
      break;
    case Kind::Edit: case Kind::PasswordlessEdit: case Kind::SpinEdit:
      cls = L"EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex = WS_EX_CLIENTEDGE;
      if (c.kind == Kind::SpinEdit) style |= ES_NUMBER;
      break;
    case Kind::Memo:
      cls = L"EDIT";
      style |= ES_MULTILINE | WS_VSCROLL | WS_TABSTOP | (c.readOnly ? ES_READONLY : 0) |
               (c.wordWrap ? 0 : (WS_HSCROLL | ES_AUTOHSCROLL));
      ex = WS_EX_CLIENTEDGE;
      break;
    case Kind::IpEdit:
      cls = WC_IPADDRESSW;
      style |= WS_TABSTOP;
      break;
    case Kind::ProgressBar: case Kind::MarqueeBar:
      cls = kBarClass;
      break;
    case Kind::Window:
      return hwnd_;
  }
  int w = scale(c.w);
  if (c.kind == Kind::SpinEdit) w -= GetSystemMetrics(SM_CXVSCROLL);  // room for the arrows
  HWND h = CreateWindowExW(ex, cls, widen(c.caption).c_str(), style, scale(c.x), scale(c.y), w, scale(c.h), parent,
                           nullptr, instance_, this);
  if (!h) return nullptr;
  SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  windows_[c.name] = h;
  names_[h] = c.name;
  ATOM atom = GlobalAddAtomW(widen(c.name).c_str());
  if (atom) {
    atoms_[c.name] = atom;
    SetPropW(h, kPropiedadNombre, (HANDLE)(ULONG_PTR)atom);
  }
  SendMessageW(h, WM_SETFONT, (WPARAM)fontFor(c), FALSE);
  if (c.kind == Kind::LinkLabel) SetWindowSubclass(h, linkProc, 1, (DWORD_PTR)this);
  if (c.kind == Kind::SpinEdit) {
    HWND ud = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | UDS_SETBUDDYINT | UDS_ALIGNRIGHT |
                                                         UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                              0, 0, 0, 0, parent, nullptr, instance_, nullptr);
    SendMessageW(ud, UDM_SETBUDDY, (WPARAM)h, 0);
    SendMessageW(ud, UDM_SETRANGE32, c.minimum, c.maximum);
    SendMessageW(ud, UDM_SETPOS32, 0, c.position);
    ShowWindow(ud, SW_SHOWNA);
  }
  if (c.kind == Kind::Edit || c.kind == Kind::PasswordlessEdit) SendMessageW(h, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(3, 3));
  return h;
}

const Control* Win32View::control(HWND h) const {
  auto it = names_.find(h);
  if (it == names_.end() || !frm_ || !frm_->form.has(it->second)) return nullptr;
  return &frm_->form[it->second];
}

void Win32View::applyControl(const Control& c, HWND h, const Control* before) {
  bool changed = !before;
  auto differs = [&](auto get) { return !before || get(*before) != get(c); };
  if (c.kind == Kind::Window) {
    std::wstring caption = widen(c.caption);
    if (windowText(h) != caption) SetWindowTextW(h, caption.c_str());
    return;
  }
  switch (c.kind) {
    case Kind::Edit: case Kind::PasswordlessEdit: case Kind::SpinEdit: case Kind::Memo: {
      if (differs([](const Control& x) { return x.text; })) {
        std::wstring t = widen(c.text);
        if (c.kind == Kind::Memo) t = crlf(t);  // memos show lines; the model may hold LF text
        if (windowText(h) != t) SetWindowTextW(h, t.c_str());
      }
      break;
    }
    case Kind::IpEdit:
      if (differs([](const Control& x) { return x.text; })) {
        unsigned a = 0, b = 0, cc = 0, d = 0;
        if (sscanf(c.text.c_str(), "%u.%u.%u.%u", &a, &b, &cc, &d) == 4 && a < 256 && b < 256 && cc < 256 && d < 256)
          SendMessageW(h, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, cc, d));
        else
          SendMessageW(h, IPM_CLEARADDRESS, 0, 0);
      }
      break;
    case Kind::ProgressBar: case Kind::MarqueeBar:
      if (differs([](const Control& x) { return x.position; }) || differs([](const Control& x) { return x.maximum; }))
        changed = true;
      break;
    case Kind::CheckBox:
      if (differs([](const Control& x) { return x.checked; }))
        SendMessageW(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      [[fallthrough]];
    default:
      if (differs([](const Control& x) { return x.caption; })) {
        std::wstring caption = widen(c.caption);
        if (windowText(h) != caption) SetWindowTextW(h, caption.c_str());
        changed = true;
      }
      break;
  }
  if (differs([](const Control& x) { return x.parent; })) {
    HWND wantParent = windows_.count(c.parent) ? windows_[c.parent] : hwnd_;
    if (GetParent(h) != wantParent) SetParent(h, wantParent);
    changed = true;
  }
  if (c.zOrder < 0 && (changed || differs([](const Control& x) { return x.zOrder; })))
    SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (differs([](const Control& x) { return x.fontSize * 8 + x.bold * 4 + x.underline * 2 + x.clearType; })) {
    SendMessageW(h, WM_SETFONT, (WPARAM)fontFor(c), FALSE);
    changed = true;
  }
  if (differs([](const Control& x) { return x.color; }) || differs([](const Control& x) { return x.fontColor; }))
    changed = true;
  if (differs([](const Control& x) { return x.visible; }) || (bool)(GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != c.visible)
    ShowWindow(h, c.visible ? SW_SHOWNA : SW_HIDE);
  if (differs([](const Control& x) { return x.enabled; })) {
    EnableWindow(h, c.enabled);
    changed = true;
  }
  if (changed) InvalidateRect(h, nullptr, TRUE);
}

namespace {
// Everything applyControl mirrors; equal states need no window call.
bool sameState(const Control& a, const Control& b) {
  return a.caption == b.caption && a.text == b.text && a.visible == b.visible && a.enabled == b.enabled &&
         a.checked == b.checked && a.underline == b.underline && a.bold == b.bold && a.clearType == b.clearType &&
         a.parent == b.parent && a.zOrder == b.zOrder && a.fontSize == b.fontSize && a.color == b.color &&
         a.fontColor == b.fontColor && a.position == b.position && a.maximum == b.maximum;
}
}  // namespace

void Win32View::sync(bool evenUnchanged) {
  if (!hwnd_ || !frm_) return;
  ++stats_.calls;
  // Called on every message pump (a download pumps every few milliseconds): a model whose
  // revision did not move costs nothing.
  uint64_t revision = frm_->form.revision();
  if (!evenUnchanged && everSynced_ && revision == syncedRevision_) return;
  everSynced_ = true;
  syncedRevision_ = revision;
  ++stats_.passes;
  LARGE_INTEGER t0, t1, f;
  QueryPerformanceCounter(&t0);
  for (const Control& c : frm_->form.controls()) {
    auto it = windows_.find(c.name);
    if (it == windows_.end()) continue;
    auto was = synced_.find(c.name);
    if (was != synced_.end() && sameState(was->second, c)) continue;
    applyControl(c, it->second, was == synced_.end() ? nullptr : &was->second);
    synced_[c.name] = c;
    ++stats_.applied;
  }
  QueryPerformanceCounter(&t1);
  QueryPerformanceFrequency(&f);
  stats_.ms += (double)(t1.QuadPart - t0.QuadPart) * 1000.0 / (double)f.QuadPart;
  // A new page takes the keyboard to its main button, unless the focus is already on it.
  std::string panel = frm_->panelVisible();
  if (panel != shownPanel_) {
    shownPanel_ = panel;
    HWND focus = GetFocus();
    HWND page = windows_.count(panel) ? windows_[panel] : nullptr;
    if (page && !(focus && IsChild(page, focus))) {
      std::string main = botonPorDefecto(frm_->form, panel);
      HWND target = nullptr;
      if (!main.empty() && frm_->form[main].enabled) target = windows_[main];
      if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
      if (target) SetFocus(target);
    }
  }
}

void Win32View::show(int nCmdShow) {
  ShowWindow(hwnd_, nCmdShow);
  UpdateWindow(hwnd_);
  shownPanel_.clear();
  sync(true);
}

void Win32View::pullInput() {
  if (!frm_) return;
  for (auto& [name, h] : windows_) {
    if (!frm_->form.has(name)) continue;
    Control& c = frm_->form[name];
    if (c.kind == Kind::IpEdit) {
      DWORD a = 0;
      SendMessageW(h, IPM_GETADDRESS, 0, (LPARAM)&a);
      c.text = std::to_string(FIRST_IPADDRESS(a)) + "." + std::to_string(SECOND_IPADDRESS(a)) + "." +
               std::to_string(THIRD_IPADDRESS(a)) + "." + std::to_string(FOURTH_IPADDRESS(a));
    } else if (isTextInput(c.kind)) {
      c.text = narrow(windowText(h));
    } else if (c.kind == Kind::CheckBox) {
      c.checked = SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    } else {
      continue;
    }
    synced_[name] = c;  // the window already shows it
  }
}

void Win32View::dispatch(const std::string& name) {
  if (!frm_) return;
  // One handler at a time: a click while a download pumps messages is not run inside it.
  if (depth_ > 0) return;
  pullInput();
  ++depth_;
  try {
    frm_->alPulsar(name);
  } catch (const std::exception& e) {
    sync(true);
    standardError(e.what());
  }
  --depth_;
  if (IsWindow(hwnd_)) sync(true);
  if (depth_ == 0 && closePending_ && IsWindow(hwnd_)) {
    closePending_ = false;
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
}

bool Win32View::keyboard(const MSG& m) {
  if (m.message != WM_KEYDOWN || !frm_ || !hwnd_ || !(m.hwnd == hwnd_ || IsChild(hwnd_, m.hwnd))) return false;
  if (m.wParam != VK_RETURN && m.wParam != VK_ESCAPE) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
  std::string panel = frm_->panelVisible();
  std::string target;
  if (m.wParam == VK_RETURN) {
    // Enter presses the focused button, otherwise the page's main button.
    const Control* focused = control(GetFocus());
    if (focused && focused->kind == Kind::Button) target = focused->name;
    else target = botonPorDefecto(frm_->form, panel);
  } else {
    for (const Control& c : frm_->form.controls())
      if (c.isCancel && c.parent == panel) target = c.name;
  }
  if (target.empty()) return false;
  const Control& c = frm_->form[target];
  if (!c.visible || !c.enabled) return true;
  dispatch(target);
  return true;
}

void Win32View::handleMessage(MSG& m) {
  if (keyboard(m)) return;
  if (hwnd_ && IsDialogMessageW(hwnd_, &m)) return;
  TranslateMessage(&m);
  DispatchMessageW(&m);
}

// The view travels in each window's user data from WM_NCCREATE on.
static Win32View* viewOf(HWND h, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Win32View*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(h, GWLP_USERDATA, (LONG_PTR)self);
    return self;
  }
  return reinterpret_cast<Win32View*>(GetWindowLongPtrW(h, GWLP_USERDATA));
}

LRESULT CALLBACK Win32View::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Win32View* self = viewOf(h, msg, lp);
  return self ? self->handle(h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK Win32View::panelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Win32View* self = viewOf(h, msg, lp);
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT r;
      GetClientRect(h, &r);
      if (const Control* c = self->control(h)) {
        fill(dc, r, toColorRef(c->color));
        if (c->kind == Kind::Picture) drawPicture(dc, r, c->name);
        if (c->kind == Kind::HeaderTab) {
          SetBkMode(dc, TRANSPARENT);
          SetTextColor(dc, RGB(0x33, 0x33, 0x33));
          HGDIOBJ old = SelectObject(dc, self->fontFor(*c));
          std::wstring t = widen(c->caption);
          DrawTextW(dc, t.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
          SelectObject(dc, old);
          RECT edge = {r.right - 1, r.top + 10, r.right, r.bottom - 10};
          fill(dc, edge, RGB(0xDD, 0xDD, 0xDD));
        }
        if (c->name == "pnlHeader") {
          RECT line = {r.left, r.bottom - 1, r.right, r.bottom};
          fill(dc, line, RGB(0xDD, 0xDD, 0xDD));
        } else if (c->name == "pnlFooter") {
          RECT line = {r.left, r.top, r.right, r.top + 1};
          fill(dc, line, RGB(0xDD, 0xDD, 0xDD));
        }
      }
      EndPaint(h, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (!self->busy_ && self->names_.count(h) && self->names_[h] == "imgTurnaliaFree") {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_LBUTTONUP: {
      const Control* c = self->control(h);
      if (c && c->kind == Kind::Picture) self->dispatch(c->name);
      return 0;
    }
    case WM_COMMAND: case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: case WM_CTLCOLOREDIT: case WM_NOTIFY:
    case WM_DRAWITEM:
      return self->handle(h, msg, wp, lp);
  }
  return DefWindowProcW(h, msg, wp, lp);
}

void Win32View::paintBar(HWND h, HDC dc) {
  RECT r;
  GetClientRect(h, &r);
  const Control* c = control(h);
  fill(dc, r, RGB(0xE6, 0xE6, 0xE6));
  RECT in = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  if (!c) return;
  int w = in.right - in.left;
  if (c->kind == Kind::MarqueeBar) {
    int block = w / 4, phase = marquee_[h] % (w + block);
    RECT b = {in.left + phase - block, in.top, in.left + phase, in.bottom};
    if (b.left < in.left) b.left = in.left;
    if (b.right > in.right) b.right = in.right;
    if (b.right > b.left) verticalGradient(dc, b, RGB(90, 170, 230), kAzul);
  } else {
    long long span = (long long)c->maximum - c->minimum;
    long long pos = std::max<long long>(0, std::min<long long>((long long)c->position - c->minimum, span));
    RECT b = in;
    b.right = in.left + (span > 0 ? (int)(w * pos / span) : 0);
    if (b.right > b.left) verticalGradient(dc, b, RGB(90, 170, 230), kAzul);
  }
}

LRESULT CALLBACK Win32View::barProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Win32View* self = viewOf(h, msg, lp);
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      self->paintBar(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    // Answers the standard progress queries, so automation can read the bar.
    case PBM_GETPOS:
      if (const Control* c = self->control(h)) return c->position;
      return 0;
    case PBM_GETRANGE:
      if (const Control* c = self->control(h)) {
        if (lp) {
          reinterpret_cast<PBRANGE*>(lp)->iLow = c->minimum;
          reinterpret_cast<PBRANGE*>(lp)->iHigh = c->maximum;
        }
        return wp ? c->minimum : c->maximum;
      }
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK Win32View::linkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  Win32View* self = reinterpret_cast<Win32View*>(data);
  const Control* c = self->control(h);
  bool link = c && c->kind == Kind::LinkLabel;
  switch (msg) {
    case WM_SETCURSOR:
      if (link && !self->busy_) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (c && !c->underline && self->frm_) {
        TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, h, 0};
        TrackMouseEvent(&t);
        std::string name = c->name;
        self->frm_->alEntrarRaton(name);
        self->sync();
      }
      break;
    case WM_MOUSELEAVE:
      if (c && self->frm_) {
        std::string name = c->name;
        self->frm_->alSalirRaton(name);
        self->sync();
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(h, linkProc, 1);
      break;
  }
  return DefSubclassProc(h, msg, wp, lp);
}

void Win32View::drawButton(const DRAWITEMSTRUCT& d) {
  const Control* c = control(d.hwndItem);
  if (!c) return;
  HDC dc = d.hDC;
  RECT r = d.rcItem;
  fill(dc, r, RGB(255, 255, 255));
  bool pressed = d.itemState & ODS_SELECTED, disabled = d.itemState & ODS_DISABLED, focus = d.itemState & ODS_FOCUS;
  bool main = c->isDefault;
  COLORREF top, bottom, border, text;
  if (disabled) {
    top = bottom = RGB(0xEE, 0xEE, 0xEE);
    border = RGB(0xCC, 0xCC, 0xCC);
    text = RGB(0x99, 0x99, 0x99);
  } else if (main) {
    top = pressed ? RGB(0, 70, 125) : RGB(40, 135, 205);
    bottom = pressed ? RGB(0, 90, 156) : kAzul;
    border = RGB(0, 60, 110);
    text = RGB(255, 255, 255);
  } else {
    top = pressed ? RGB(0xD8, 0xD8, 0xD8) : RGB(0xFA, 0xFA, 0xFA);
    bottom = pressed ? RGB(0xE8, 0xE8, 0xE8) : RGB(0xE4, 0xE4, 0xE4);
    border = RGB(0xAA, 0xAA, 0xAA);
    text = RGB(0x22, 0x22, 0x22);
  }
  // Rounded glow: a gradient clipped to a rounded rectangle.
  HRGN rgn = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 8, 8);
  SelectClipRgn(dc, rgn);
  verticalGradient(dc, r, top, bottom);
  SelectClipRgn(dc, nullptr);
  HBRUSH frame = CreateSolidBrush(border);
  FrameRgn(dc, rgn, frame, 1, 1);
  DeleteObject(frame);
  DeleteObject(rgn);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  HGDIOBJ old = SelectObject(dc, fontFor(*c));
  std::wstring t = widen(c->caption);
  RECT tr = r;
  if (pressed) OffsetRect(&tr, 1, 1);
  DrawTextW(dc, t.c_str(), -1, &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
  if (focus && !(d.itemState & ODS_NOFOCUSRECT)) {
    RECT fr = r;
    InflateRect(&fr, -4, -4);
    SetTextColor(dc, main ? RGB(255, 255, 255) : RGB(0, 0, 0));
    DrawFocusRect(dc, &fr);
  }
}

LRESULT Win32View::handle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      HWND child = (HWND)lp;
      const Control* c = control(child);
      if (!c) return 0;
      int code = HIWORD(wp);
      std::string name = c->name;
      if (c->kind == Kind::CheckBox && code == BN_CLICKED) {
        frm_->form[name].checked = SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        synced_[name].checked = frm_->form[name].checked;
      } else if (isTextInput(c->kind) && code == EN_CHANGE) {
        return 0;  // read back when a handler needs it
      }
      if (code == BN_CLICKED || code == STN_CLICKED) dispatch(name);
      return 0;
    }
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (d->CtlType == ODT_BUTTON) {
        drawButton(*d);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: case WM_CTLCOLOREDIT: {
      HDC dc = (HDC)wp;
      const Control* c = control((HWND)lp);
      if (msg == WM_CTLCOLOREDIT || (c && (c->kind == Kind::Memo || isTextInput(c->kind)))) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
      }
      SetBkMode(dc, TRANSPARENT);
      if (c) SetTextColor(dc, fontColorRef(c->fontColor));
      return (LRESULT)white_;
    }
    case WM_TIMER:
      if (wp == kMarqueeTimer) {
        for (auto& [name, win] : windows_) {
          if (!frm_->form.has(name) || frm_->form[name].kind != Kind::MarqueeBar || !IsWindowVisible(win)) continue;
          marquee_[win] += 6;
          InvalidateRect(win, nullptr, FALSE);
        }
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      if (depth_ > 0) {
        closePending_ = true;  // closed once the running handler returns
        return 0;
      }
      DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      if (h == hwnd_) {
        KillTimer(h, kMarqueeTimer);
        if (frm_) frm_->FormDestroy();
        PostQuitMessage(0);
      }
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

void Win32View::messageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  UINT flags = MB_OK;
  switch (icon) {
    case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
    case MessageIcon::Exclamation: flags |= MB_ICONEXCLAMATION; break;
    case MessageIcon::Error: flags |= MB_ICONERROR; break;
    case MessageIcon::Question: flags |= MB_ICONQUESTION; break;
    case MessageIcon::None: break;
  }
  sync(true);
  MessageBoxW(hwnd_ && IsWindowVisible(hwnd_) ? hwnd_ : nullptr, widen(text).c_str(), widen(caption).c_str(), flags);
}

void Win32View::standardError(const std::string& message) {
  std::string text = message;
  if (text.empty() || text.back() != '.') text += ".";
  messageBox(text, kTituloAplicacion, MessageIcon::Error);
}

void Win32View::setBusyCursor(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursor(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Win32View::processMessages() {
  sync();
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    handleMessage(m);
  }
}

bool Win32View::bringRunningToFront() {
  HWND other = FindWindowW(kMainClass, nullptr);
  if (!other) return false;
  if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
  SetForegroundWindow(other);
  return true;
}

void pumpThreadMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

void Win32View::closeWindow() {
  if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Win32View::setFocus(const std::string& control) {
  sync(true);  // the page that holds it must be showing
  auto it = windows_.find(control);
  if (it != windows_.end()) SetFocus(it->second);
}

bool Win32View::shellOpen(const std::string& target, std::string& error) {
  HINSTANCE r = ShellExecuteW(hwnd_, L"open", widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if ((INT_PTR)r > 32) return true;
  DWORD code = GetLastError();
  error = systemErrorText(code ? code : (DWORD)(INT_PTR)r);
  return false;
}

}  // namespace tf
