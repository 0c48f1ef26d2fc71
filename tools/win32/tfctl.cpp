// UI automation client for tests and the demo: finds the installer's window and works its controls.
// Usage: tfctl COMMAND [ARGS]   (texts are UTF-8 on the command line and in the output)
//   wait-window MS                 wait until the installer's main window exists
//   close                          send WM_CLOSE to the main window
//   wait-gone MS                   wait until the main window is gone
//   list                           every visible control: CLASS|NAME|TEXT|FLAGS (CR and LF as \r \n)
//   text NAME                      the whole text of one control, as is
//   click CAPTION [MS]             click the visible, enabled button, link or box with that caption
//   click-name NAME [MS]           the same, by control name
//   check CAPTION on|off           tick or untick a check box (a click when it has to change)
//   type NAME TEXT                 replace the text of an edit (IP address: dotted text)
//   wait-visible NAME MS           wait until the named control is showing
//   wait-text CAPTION MS           wait until a visible control shows that text
//   msgbox MS                      wait for a message box, print CAPTION|TEXT, press its button
//   key enter|esc|tab              press a key in the control that has the keyboard focus
//   screenshot FILE.bmp            the main window as it is on screen, as a 24-bit BMP
//   minimize                       minimize the main window
//   state                          the main window's state: iconic|foreground (yes or no each)
//   run MS PROGRAM [ARGS]          start a program as a deployment tool does and wait for it (at most
//                                  MS): prints window|CLASS|TITLE for every top-level window of it
//                                  that became visible meanwhile, then exit|CODE (the whole code)
// Exit status: 0 done, 1 not found or timed out, 2 usage.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>


namespace {

const wchar_t* const kMainClass = L"TurnaliaFreeSetupWindow";
const wchar_t* const kNameProp = L"TurnaliaFreeControl";
const wchar_t* const kBarClass = L"TurnaliaFreeProgress";

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

void out(const std::string& s) { std::fwrite(s.data(), 1, s.size(), stdout); }

HWND mainWindow() { return FindWindowW(kMainClass, nullptr); }

std::wstring className(HWND h) {
  wchar_t buf[128] = {};
  GetClassNameW(h, buf, 127);
  return buf;
}

// Asks the window itself: another process's edit controls keep their text to themselves otherwise.
std::wstring textOf(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return {};
  std::wstring s(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, len + 1, (LPARAM)&s[0], SMTO_ABORTIFHUNG, 5000, &got)) return {};
  s.resize(got);
  return s;
}

std::wstring nameOf(HWND h) {
  ATOM atom = (ATOM)(ULONG_PTR)GetPropW(h, kNameProp);
  if (!atom) return {};
  wchar_t buf[256] = {};
  GlobalGetAtomNameW(atom, buf, 255);
  return buf;
}

BOOL CALLBACK collect(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> descendants(HWND root) {
  std::vector<HWND> all;
  EnumChildWindows(root, collect, (LPARAM)&all);
  return all;
}

bool isCheckBox(HWND h) {
  LONG t = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
  return className(h) == L"Button" && (t == BS_AUTOCHECKBOX || t == BS_CHECKBOX);
}

std::string escaped(const std::wstring& w) {
  std::string s = utf8(w), r;
  for (char c : s) {
    if (c == '\r') r += "\\r";
    else if (c == '\n') r += "\\n";
    else r += c;
  }
  return r;
}

HWND focusedIn(HWND main) {
  GUITHREADINFO gi = {};
  gi.cbSize = sizeof(gi);
  DWORD tid = GetWindowThreadProcessId(main, nullptr);
  return GetGUIThreadInfo(tid, &gi) ? gi.hwndFocus : nullptr;
}

int list() {
  HWND main = mainWindow();
  if (!main) return 1;
  HWND focus = focusedIn(main);
  out("window||" + escaped(textOf(main)) + "|\n");
  for (HWND h : descendants(main)) {
    if (!IsWindowVisible(h)) continue;
    std::wstring cls = className(h);
    std::string flags;
    auto flag = [&](const std::string& f) { flags += (flags.empty() ? "" : ",") + f; };
    if (!IsWindowEnabled(h)) flag("disabled");
    if (h == focus) flag("focused");
    if (isCheckBox(h)) flag(SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "unchecked");
    if (cls == kBarClass)
      flag("pos=" + std::to_string(SendMessageW(h, PBM_GETPOS, 0, 0)) + "/" +
           std::to_string(SendMessageW(h, PBM_GETRANGE, FALSE, 0)));
    out(utf8(cls) + "|" + utf8(nameOf(h)) + "|" + escaped(textOf(h)) + "|" + flags + "\n");
  }
  return 0;
}

HWND findControl(const std::wstring& key, bool byName, bool needEnabled) {
  HWND main = mainWindow();
  if (!main) return nullptr;
  for (HWND h : descendants(main)) {
    if (!byName && !IsWindowVisible(h)) continue;
    if (needEnabled && !IsWindowEnabled(h)) continue;
    if (byName ? nameOf(h) == key : textOf(h) == key) return h;
  }
  return nullptr;
}

HWND waitControl(const std::wstring& key, bool byName, DWORD ms, bool needVisible) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND h = findControl(key, byName, !needVisible);
    if (h && (!needVisible || IsWindowVisible(h))) return h;
    if (GetTickCount() - start > ms) return nullptr;
    Sleep(100);
  }
}

// What a mouse click on the control ends in, posted so a modal box it opens does not block us.
void click(HWND h) {
  std::wstring cls = className(h);
  HWND parent = GetParent(h);
  int id = GetDlgCtrlID(h);
  if (cls == L"Button") {
    if (isCheckBox(h)) {
      bool on = SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
      SendMessageW(h, BM_SETCHECK, on ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)h);
  } else if (cls == L"Static") {
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), (LPARAM)h);
  } else {
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }
}

BOOL CALLBACK firstDialog(HWND h, LPARAM lp) {
  if (IsWindowVisible(h) && className(h) == L"#32770") {
    *reinterpret_cast<HWND*>(lp) = h;
    return FALSE;
  }
  return TRUE;
}

HWND findMessageBox() {
  HWND found = nullptr;
  EnumWindows(firstDialog, (LPARAM)&found);
  return found;
}

int msgbox(DWORD ms) {
  DWORD start = GetTickCount();
  HWND box = nullptr;
  while (!(box = findMessageBox())) {
    if (GetTickCount() - start > ms) return 1;
    Sleep(100);
  }
  Sleep(200);  // let it finish laying out
  std::wstring text;
  HWND button = nullptr;
  for (HWND h : descendants(box)) {
    std::wstring cls = className(h);
    if (cls == L"Static" && (GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
      std::wstring t = textOf(h);
      if (!t.empty()) text += (text.empty() ? L"" : L"\n") + t;
    } else if (cls == L"Button" && !button) {
      button = h;
    }
  }
  out(utf8(textOf(box)) + "|" + escaped(text) + "\n");
  if (button) PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
  else PostMessageW(box, WM_CLOSE, 0, 0);
  start = GetTickCount();
  while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < 5000) Sleep(50);
  return 0;
}

int screenshot(const std::wstring& file) {
  HWND main = mainWindow();
  if (!main) return 1;
  // Repaint first: a message box just closed may still show on the window.
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(600);
  RECT r;
  GetWindowRect(main, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files store it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  DWORD stride = ((DWORD)w * 3 + 3) & ~3u, size = stride * (DWORD)h;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + size;
  int rc = 1;
  FILE* f = _wfopen(file.c_str(), L"wb");
  if (f) {
    bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
              std::fwrite(bits, 1, size, f) == size;
    rc = (std::fclose(f) == 0 && ok) ? 0 : 1;
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return rc;
}

int key(const std::wstring& which) {
  HWND main = mainWindow();
  if (!main) return 1;
  WPARAM vk = which == L"enter" ? VK_RETURN : which == L"esc" ? VK_ESCAPE : which == L"tab" ? VK_TAB : 0;
  if (!vk) return 2;
  HWND target = focusedIn(main);
  if (!target) target = main;
  UINT scan = MapVirtualKeyW((UINT)vk, 0);
  PostMessageW(target, WM_KEYDOWN, vk, 1 | (LPARAM)scan << 16);
  PostMessageW(target, WM_KEYUP, vk, 1 | (LPARAM)scan << 16 | 3u << 30);
  return 0;
}

// A service's state as the service control manager tells it: RUNNING, STOPPED, START_PENDING,
// STOP_PENDING, OTHER, or ABSENT when no service has that key name.
int service(const std::wstring& name) {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!scm) return 1;
  SC_HANDLE svc = OpenServiceW(scm, name.c_str(), SERVICE_QUERY_STATUS);
  const char* state = "ABSENT";
  SERVICE_STATUS st = {};
  if (svc && QueryServiceStatus(svc, &st)) {
    switch (st.dwCurrentState) {
      case SERVICE_RUNNING: state = "RUNNING"; break;
      case SERVICE_STOPPED: state = "STOPPED"; break;
      case SERVICE_START_PENDING: state = "START_PENDING"; break;
      case SERVICE_STOP_PENDING: state = "STOP_PENDING"; break;
      default: state = "OTHER";
    }
  }
  if (svc) CloseServiceHandle(svc);
  CloseServiceHandle(scm);
  out(std::string(state) + "\n");
  return 0;
}

std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  for (wchar_t c : arg) q += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
  return q + L"\"";
}

struct Watch {
  DWORD pid;
  std::vector<HWND>* seen;
};

BOOL CALLBACK watchWindow(HWND h, LPARAM lp) {
  auto* w = reinterpret_cast<Watch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != w->pid || !IsWindowVisible(h)) return TRUE;
  for (HWND s : *w->seen)
    if (s == h) return TRUE;
  w->seen->push_back(h);
  out("window|" + utf8(className(h)) + "|" + escaped(textOf(h)) + "\n");
  std::fflush(stdout);
  return TRUE;
}

// Polls every 10 ms: a window of the program shown for longer than that is seen.
int run(DWORD ms, const std::vector<std::wstring>& program) {
  std::wstring line;
  for (const std::wstring& p : program) line += (line.empty() ? L"" : L" ") + quoted(p);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    out("error|" + std::to_string(GetLastError()) + "\n");
    return 1;
  }
  CloseHandle(pi.hThread);
  std::vector<HWND> seen;
  Watch w{pi.dwProcessId, &seen};
  DWORD start = GetTickCount();
  DWORD r;
  while ((r = WaitForSingleObject(pi.hProcess, 10)) == WAIT_TIMEOUT) {
    EnumWindows(watchWindow, (LPARAM)&w);
    if (GetTickCount() - start > ms) {
      out("timeout\n");
      CloseHandle(pi.hProcess);
      return 1;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  out("exit|" + std::to_string(code) + "\n");
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: tfctl wait-window MS | close | wait-gone MS | list | text NAME | click CAPTION [MS] |\n"
               "       click-name NAME [MS] | check CAPTION on|off | type NAME TEXT | wait-visible NAME MS |\n"
               "       wait-text CAPTION MS | msgbox MS | key enter|esc|tab | screenshot FILE.bmp |\n"
               "       service NAME | minimize | state | run MS PROGRAM [ARGS]\n");
  return 2;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> a;
  for (int i = 0; argv && i < argc; ++i) a.push_back(argv[i]);
  if (argv) LocalFree(argv);
  if (a.size() < 2) return usage();
  const std::wstring& cmd = a[1];
  auto num = [&](size_t i, DWORD def) { return a.size() > i ? (DWORD)_wtoi(a[i].c_str()) : def; };

  if (cmd == L"wait-window") {
    DWORD start = GetTickCount(), ms = num(2, 30000);
    while (!mainWindow()) {
      if (GetTickCount() - start > ms) return 1;
      Sleep(100);
    }
    return 0;
  }
  if (cmd == L"close") {
    HWND h = mainWindow();
    if (!h) return 1;
    PostMessageW(h, WM_CLOSE, 0, 0);
    return 0;
  }
  if (cmd == L"wait-gone") {
    DWORD start = GetTickCount(), ms = num(2, 30000);
    while (mainWindow()) {
      if (GetTickCount() - start > ms) return 1;
      Sleep(100);
    }
    return 0;
  }
  if (cmd == L"list") return list();
  if (cmd == L"text" && a.size() >= 3) {
    HWND h = findControl(a[2], true, false);
    if (!h) return 1;
    out(utf8(textOf(h)));
    return 0;
  }
  if ((cmd == L"click" || cmd == L"click-name") && a.size() >= 3) {
    // A button enabled by a click just posted (the licence box enables "Aceptar") may still be
    // disabled when it first shows: wait for it within the same time.
    const DWORD ms = num(3, 5000), start = GetTickCount();
    HWND h = waitControl(a[2], cmd == L"click-name", ms, true);
    while (h && !IsWindowEnabled(h) && GetTickCount() - start < ms) Sleep(50);
    if (!h || !IsWindowEnabled(h)) {
      std::fprintf(stderr, "tfctl: no visible, enabled control %s\n", utf8(a[2]).c_str());
      return 1;
    }
    click(h);
    return 0;
  }
  if (cmd == L"check" && a.size() >= 4) {
    HWND h = waitControl(a[2], false, 5000, true);
    if (!h || !isCheckBox(h)) return 1;
    bool want = a[3] == L"on", on = SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (want == on) return 0;
    // Sent, not posted: when tfctl returns, the window has acted on the box (a button it enables
    // is enabled), so the next command never races the handler.
    SendMessageW(h, BM_SETCHECK, want ? BST_CHECKED : BST_UNCHECKED, 0);
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED), (LPARAM)h,
                               SMTO_ABORTIFHUNG, 10000, &r)
               ? 0
               : 1;
  }
  if (cmd == L"type" && a.size() >= 4) {
    HWND h = findControl(a[2], true, false);
    if (!h) return 1;
    DWORD_PTR r = 0;
    unsigned p1, p2, p3, p4;
    if (className(h) == WC_IPADDRESSW && swscanf(a[3].c_str(), L"%u.%u.%u.%u", &p1, &p2, &p3, &p4) == 4)
      return SendMessageTimeoutW(h, IPM_SETADDRESS, 0, MAKEIPADDRESS(p1, p2, p3, p4), SMTO_ABORTIFHUNG, 5000, &r)
                 ? 0 : 1;
    return SendMessageTimeoutW(h, WM_SETTEXT, 0, (LPARAM)a[3].c_str(), SMTO_ABORTIFHUNG, 5000, &r) ? 0 : 1;
  }
  if (cmd == L"wait-visible" && a.size() >= 3) return waitControl(a[2], true, num(3, 10000), true) ? 0 : 1;
  if (cmd == L"wait-text" && a.size() >= 3) return waitControl(a[2], false, num(3, 10000), true) ? 0 : 1;
  if (cmd == L"msgbox") return msgbox(num(2, 10000));
  if (cmd == L"key" && a.size() >= 3) return key(a[2]);
  if (cmd == L"screenshot" && a.size() >= 3) return screenshot(a[2]);
  if (cmd == L"service" && a.size() >= 3) return service(a[2]);
  if (cmd == L"minimize" || cmd == L"state") {
    HWND main = mainWindow();
    if (!main) return 1;
    if (cmd == L"minimize") {
      ShowWindow(main, SW_MINIMIZE);
      return 0;
    }
    out(std::string(IsIconic(main) ? "yes" : "no") + "|" + (GetForegroundWindow() == main ? "yes" : "no") + "\n");
    return 0;
  }
  if (cmd == L"run" && a.size() >= 4) return run(num(2, 60000), std::vector<std::wstring>(a.begin() + 3, a.end()));
  return usage();
}
