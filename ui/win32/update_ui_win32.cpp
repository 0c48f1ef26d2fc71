#include "ui/win32/update_ui_win32.h"

#include <richedit.h>

#include "app/principal.h"
#include "core/mensajes.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

enum { kIdOk = 1, kIdCancel = 2, kIdAccept = 10, kIdNotAccept = 11, kIdText = 20 };

struct TextDialog {
  bool done = false;
  bool accepted = false;
  bool licence = false;
  HWND accept = nullptr;
};

LRESULT CALLBACK dialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<TextDialog*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (!d) break;
      if (LOWORD(wp) == kIdOk) {
        d->accepted = d->licence ? SendMessageW(d->accept, BM_GETCHECK, 0, 0) == BST_CHECKED : true;
        d->done = true;
      } else if (LOWORD(wp) == kIdCancel) {
        d->accepted = false;
        d->done = true;
      }
      return 0;
    case WM_CLOSE:
      if (d) {
        d->accepted = false;
        d->done = true;
      }
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

DWORD CALLBACK streamIn(DWORD_PTR cookie, LPBYTE buf, LONG cb, LONG* got) {
  auto* src = reinterpret_cast<std::pair<const std::string*, size_t>*>(cookie);
  size_t left = src->first->size() - src->second;
  size_t n = left < (size_t)cb ? left : (size_t)cb;
  memcpy(buf, src->first->data() + src->second, n);
  src->second += n;
  *got = (LONG)n;
  return 0;
}

// The fixed 400 x 400 dialog, centred on the screen, modal over `owner`.
bool runTextDialog(HWND owner, const std::string& caption, const std::string& text, bool rich, bool licence,
                   const std::string& ok, const std::string& second, const std::string& third) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = dialogProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"TfUpdateTextDialog";
    registered = RegisterClassW(&wc) != 0;
  }
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + (work.right - work.left - 400) / 2, y = work.top + (work.bottom - work.top - 400) / 2;
  HWND h = CreateWindowExW(WS_EX_DLGMODALFRAME, L"TfUpdateTextDialog", widen(caption).c_str(),
                           WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, 400, 400, owner, nullptr, inst, nullptr);
  if (!h) return false;
  TextDialog d;
  d.licence = licence;
  SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d));
  RECT rc;
  GetClientRect(h, &rc);
  int w = rc.right, ht = rc.bottom;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  DWORD editStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
  HMODULE richLib = rich ? loadSystemLibrary(L"msftedit.dll") : nullptr;
  HWND edit = CreateWindowExW(0, richLib ? MSFTEDIT_CLASS : L"EDIT", L"", editStyle, 8, 8, w - 16, ht - 52, h,
                              reinterpret_cast<HMENU>((INT_PTR)kIdText), inst, nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (richLib) {
    std::pair<const std::string*, size_t> src(&text, 0);
    EDITSTREAM es = {reinterpret_cast<DWORD_PTR>(&src), 0, streamIn};
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
  } else {
    std::string shown;  // the edit control wants CR LF line breaks
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) shown += '\r';
      shown += text[i];
    }
    SetWindowTextW(edit, widen(shown).c_str());
  }
  auto button = [&](const std::string& label, int id, DWORD style, int bx, int bw) {
    HWND b = CreateWindowExW(0, L"BUTTON", widen(label).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, bx,
                             ht - 36, bw, 26, h, reinterpret_cast<HMENU>((INT_PTR)id), inst, nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return b;
  };
  if (licence) {
    button(ok, kIdOk, BS_DEFPUSHBUTTON, w - 88, 80);
    d.accept = button(second, kIdAccept, BS_AUTORADIOBUTTON | WS_GROUP, 8, 130);
    HWND no = button(third, kIdNotAccept, BS_AUTORADIOBUTTON, 142, 150);
    SendMessageW(no, BM_SETCHECK, BST_CHECKED, 0);
  } else {
    button(ok, kIdOk, BS_DEFPUSHBUTTON, w - 176, 80);
    button(second, kIdCancel, 0, w - 88, 80);
  }
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(h, SW_SHOW);
  MSG m;
  while (!d.done && GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(h, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(h);
  if (richLib) FreeLibrary(richLib);
  return d.accepted;
}

}  // namespace

void Win32UpdateUi::information(const std::string& text) {
  ui_.messageBox(text, kTituloAplicacion, MessageIcon::Information);
}

bool Win32UpdateUi::askYesNo(const std::string& text) {
  return MessageBoxW(owner_, widen(text).c_str(), widen(kTituloAplicacion).c_str(), MB_YESNO | MB_ICONQUESTION) ==
         IDYES;
}

void Win32UpdateUi::showError(const std::string& text) {
  MessageBoxW(owner_, widen(text).c_str(), widen(kTituloAplicacion).c_str(), MB_OK | MB_ICONERROR);
}

void Win32UpdateUi::showHtmlDialog(const std::string& page) {
  std::string error;
  ui_.shellOpen(page, error);
}

bool Win32UpdateUi::showWhatsNew(const std::string& caption, const std::string& okText, const std::string& cancelText,
                                 const std::string& text, bool rich) {
  return runTextDialog(owner_, caption, text, rich, false, okText, cancelText, "");
}

bool Win32UpdateUi::showLicence(const std::string& caption, const std::string& okText, const std::string& acceptText,
                                const std::string& notAcceptText, const std::string& text, bool rich) {
  return runTextDialog(owner_, caption, text, rich, true, okText, acceptText, notAcceptText);
}

}  // namespace tf
