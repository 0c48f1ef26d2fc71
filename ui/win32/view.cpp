#include "ui/win32/view.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/win32/text.h"

namespace tf {

namespace {

const wchar_t* const kMainClass = L"TurnaliaFreeSetupWindow";
const wchar_t* const kPanelClass = L"TurnaliaFreePanel";

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

void drawPicture(HDC dc, const RECT& r, const std::string& name) {
  if (name == "imgOK" || name == "imgError") {
    bool ok = name == "imgOK";
    HBRUSH b = CreateSolidBrush(ok ? RGB(46, 160, 67) : RGB(200, 40, 40));
    HGDIOBJ oldB = SelectObject(dc, b);
    HGDIOBJ oldP = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldP);
    HPEN pen = CreatePen(PS_SOLID, (r.right - r.left) / 8, RGB(255, 255, 255));
    SelectObject(dc, pen);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (ok) {
      MoveToEx(dc, r.left + w * 26 / 100, r.top + h * 52 / 100, nullptr);
      LineTo(dc, r.left + w * 43 / 100, r.top + h * 70 / 100);
      LineTo(dc, r.left + w * 75 / 100, r.top + h * 33 / 100);
    } else {
      MoveToEx(dc, r.left + w * 32 / 100, r.top + h * 32 / 100, nullptr);
      LineTo(dc, r.left + w * 68 / 100, r.top + h * 68 / 100);
      MoveToEx(dc, r.left + w * 68 / 100, r.top + h * 32 / 100, nullptr);
      LineTo(dc, r.left + w * 32 / 100, r.top + h * 68 / 100);
    }
    SelectObject(dc, oldB);
    DeleteObject(pen);
    DeleteObject(b);
  } else if (name == "imgFondo") {
    // A soft vertical gradient in the vendor's blue.
    int h = r.bottom - r.top;
    for (int y = 0; y < h; y += 2) {
      int k = y * 255 / (h ? h : 1);
      HBRUSH b = CreateSolidBrush(RGB(0 + k / 8, 90 + k / 4, 156 + k / 3));
      RECT band = {r.left, r.top + y, r.right, r.top + y + 2};
      FillRect(dc, &band, b);
      DeleteObject(b);
    }
  } else if (name == "imgTurnaliaFree") {
    HBRUSH b = CreateSolidBrush(RGB(0, 90, 156));
    RECT mark = {r.left, r.top + 6, r.left + 28, r.top + 34};
    FillRect(dc, &mark, b);
    DeleteObject(b);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 90, 156));
    RECT t = {r.left + 36, r.top, r.right, r.bottom};
    DrawTextW(dc, L"TurnaliaFree", -1, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }
}

}  // namespace

Win32View::~Win32View() {
  for (auto& f : fonts_) DeleteObject(f.second);
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

  const Control& w = frm_->form["frmPrincipal"];
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
  for (const Control& c : frm_->form.controls())
    if (c.kind != Kind::Window) createControl(c);
  sync();
  return true;
}

HFONT Win32View::fontFor(const Control& c) {
  std::string key = std::to_string(c.fontSize) + (c.bold ? "b" : "") + (c.underline ? "u" : "") +
                    (c.clearType ? "c" : "");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  LOGFONTW lf = {};
  lf.lfHeight = -MulDiv(c.fontSize, dpi_, 72);
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
      if (c.kind == Kind::Picture) style |= SS_NOTIFY;
      ex = WS_EX_CONTROLPARENT;
      break;
    case Kind::Label:
      cls = L"STATIC";
      style |= SS_LEFT | SS_NOPREFIX | (c.wordWrap ? 0 : SS_LEFTNOWORDWRAP);
      break;
    case Kind::LinkLabel:
      cls = L"STATIC";
      style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
      break;
    case Kind::Button:
      cls = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case Kind::CheckBox:
      cls = L"BUTTON";
      style |= BS_AUTOCHECKBOX | WS_TABSTOP | BS_MULTILINE;
      break;
    case Kind::Edit: case Kind::PasswordlessEdit: case Kind::SpinEdit:
      cls = L"EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER;
      if (c.kind == Kind::SpinEdit) style |= ES_NUMBER;
      break;
    case Kind::Memo:
      cls = L"EDIT";
      style |= ES_MULTILINE | WS_VSCROLL | WS_TABSTOP | WS_BORDER | (c.readOnly ? ES_READONLY : 0) |
               (c.wordWrap ? 0 : (WS_HSCROLL | ES_AUTOHSCROLL));
      break;
    case Kind::IpEdit:
      cls = WC_IPADDRESSW;
      style |= WS_TABSTOP;
      break;
    case Kind::ProgressBar:
      cls = PROGRESS_CLASSW;
      style |= PBS_SMOOTH;
      break;
    case Kind::MarqueeBar:
      cls = PROGRESS_CLASSW;
      style |= PBS_MARQUEE;
      break;
    case Kind::Window:
      return hwnd_;
  }
  HWND h = CreateWindowExW(ex, cls, widen(c.caption).c_str(), style, scale(c.x), scale(c.y), scale(c.w),
                           scale(c.h), parent, nullptr, instance_, this);
  if (!h) return nullptr;
  windows_[c.name] = h;
  names_[h] = c.name;
  SendMessageW(h, WM_SETFONT, (WPARAM)fontFor(c), FALSE);
  if (c.kind == Kind::SpinEdit) {
    HWND ud = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT |
                                                         UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                              0, 0, 0, 0, parent, nullptr, instance_, nullptr);
    SendMessageW(ud, UDM_SETBUDDY, (WPARAM)h, 0);
    SendMessageW(ud, UDM_SETRANGE32, c.minimum, c.maximum);
  }
  if (c.kind == Kind::MarqueeBar) SendMessageW(h, PBM_SETMARQUEE, TRUE, 30);
  return h;
}

void Win32View::sync() {
  if (!hwnd_ || !frm_) return;
  for (const Control& c : frm_->form.controls()) {
    auto it = windows_.find(c.name);
    if (it == windows_.end()) continue;
    HWND h = it->second;
    std::wstring caption = widen(c.caption);
    switch (c.kind) {
      case Kind::Edit: case Kind::PasswordlessEdit: case Kind::Memo: {
        std::wstring t = widen(c.text);
        if (c.kind == Kind::Memo) {
          // Memos show lines; the model keeps CR LF text.
          std::wstring crlf;
          for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] == L'\n' && (i == 0 || t[i - 1] != L'\r')) crlf += L'\r';
            crlf += t[i];
          }
          t = crlf;
        }
        if (windowText(h) != t) SetWindowTextW(h, t.c_str());
        break;
      }
      case Kind::ProgressBar:
        SendMessageW(h, PBM_SETRANGE32, c.minimum, c.maximum);
        SendMessageW(h, PBM_SETPOS, c.position, 0);
        break;
      case Kind::CheckBox:
        if (windowText(h) != caption) SetWindowTextW(h, caption.c_str());
        SendMessageW(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case Kind::Window:
        break;
      default:
        if (windowText(h) != caption) SetWindowTextW(h, caption.c_str());
        break;
    }
    if (c.kind != Kind::Window) {
      HWND wantParent = windows_.count(c.parent) ? windows_[c.parent] : hwnd_;
      if (GetParent(h) != wantParent) SetParent(h, wantParent);
      if (c.zOrder < 0) SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      SendMessageW(h, WM_SETFONT, (WPARAM)fontFor(c), FALSE);
      bool shown = IsWindowVisible(h) || (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE);
      if (shown != c.visible) ShowWindow(h, c.visible ? SW_SHOWNA : SW_HIDE);
      if ((IsWindowEnabled(h) != FALSE) != c.enabled) EnableWindow(h, c.enabled);
      InvalidateRect(h, nullptr, TRUE);
    } else if (windowText(h) != caption) {
      SetWindowTextW(h, caption.c_str());
    }
  }
  synced_ = frm_->form.revision();
}

void Win32View::show(int nCmdShow) {
  ShowWindow(hwnd_, nCmdShow);
  UpdateWindow(hwnd_);
}

void Win32View::dispatch(const std::string& name) {
  if (!frm_) return;
  try {
    frm_->alPulsar(name);
  } catch (const std::exception& e) {
    standardError(e.what());
  }
  sync();
}

LRESULT CALLBACK Win32View::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Win32View* self = reinterpret_cast<Win32View*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<Win32View*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(h, GWLP_USERDATA, (LONG_PTR)self);
  }
  return self ? self->handle(h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK Win32View::panelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Win32View* self = reinterpret_cast<Win32View*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<Win32View*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(h, GWLP_USERDATA, (LONG_PTR)self);
  }
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  if (msg == WM_ERASEBKGND) return 1;
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    auto it = self->names_.find(h);
    if (it != self->names_.end() && self->frm_ && self->frm_->form.has(it->second)) {
      const Control& c = self->frm_->form[it->second];
      HBRUSH b = CreateSolidBrush(toColorRef(c.color));
      FillRect(dc, &r, b);
      DeleteObject(b);
      if (c.kind == Kind::Picture) drawPicture(dc, r, c.name);
      if (c.kind == Kind::HeaderTab) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0x33, 0x33, 0x33));
        HGDIOBJ old = SelectObject(dc, self->fontFor(c));
        std::wstring t = widen(c.caption);
        DrawTextW(dc, t.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
      }
    }
    EndPaint(h, &ps);
    return 0;
  }
  if (msg == WM_COMMAND || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN || msg == WM_NOTIFY)
    return self->handle(h, msg, wp, lp);
  if (msg == WM_LBUTTONUP) {
    auto it = self->names_.find(h);
    if (it != self->names_.end()) self->dispatch(it->second);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT Win32View::handle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      HWND child = (HWND)lp;
      auto it = names_.find(child);
      if (it != names_.end() && frm_) {
        const Control& c = frm_->form[it->second];
        int code = HIWORD(wp);
        if (c.kind == Kind::CheckBox && code == BN_CLICKED) {
          frm_->form[c.name].checked = SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        } else if ((c.kind == Kind::Edit || c.kind == Kind::PasswordlessEdit || c.kind == Kind::SpinEdit) &&
                   code == EN_CHANGE) {
          frm_->form[c.name].text = narrow(windowText(child));
          return 0;
        }
        if (code == BN_CLICKED || code == STN_CLICKED) dispatch(c.name);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: case WM_CTLCOLORBTN: {
      HDC dc = (HDC)wp;
      HWND child = (HWND)lp;
      auto it = names_.find(child);
      SetBkMode(dc, TRANSPARENT);
      if (it != names_.end() && frm_ && frm_->form.has(it->second)) {
        const Control& c = frm_->form[it->second];
        SetTextColor(dc, fontColorRef(c.fontColor));
        if (c.kind == Kind::Memo) return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
      }
      return (LRESULT)white_;
    }
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      if (h == hwnd_) {
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
  MessageBoxW(hwnd_, widen(text).c_str(), widen(caption).c_str(), flags);
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
  if (frm_ && frm_->form.revision() != synced_) sync();
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage((int)m.wParam);
      break;
    }
    if (!IsDialogMessageW(hwnd_, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
}

void Win32View::closeWindow() {
  if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Win32View::setFocus(const std::string& control) {
  auto it = windows_.find(control);
  if (it != windows_.end()) SetFocus(it->second);
}

bool Win32View::shellOpen(const std::string& target, std::string& error) {
  HINSTANCE r = ShellExecuteW(hwnd_, L"open", widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if ((INT_PTR)r > 32) return true;
  error = systemErrorText(GetLastError());
  return false;
}

}  // namespace tf
