// UI automation client for tests and the demo: finds the installer's window and works its controls.
// Usage: tfctl COMMAND [ARGS]   (texts are UTF-8 on the command line and in the output)
//   wait-window TIMEOUT_MS          wait until the installer's main window exists
//   close                           send WM_CLOSE to the main window
//   wait-gone TIMEOUT_MS            wait until the main window is gone
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const wchar_t* const kMainClass = L"TurnaliaFreeSetupWindow";

HWND mainWindow() { return FindWindowW(kMainClass, nullptr); }

HWND waitFor(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = mainWindow()) return h;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(100);
  }
}

int usage() {
  std::fprintf(stderr, "usage: tfctl wait-window MS | close | wait-gone MS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string cmd = argv[1];
  if (cmd == "wait-window") {
    if (argc < 3) return usage();
    return waitFor((DWORD)std::atoi(argv[2])) ? 0 : 1;
  }
  if (cmd == "close") {
    HWND h = mainWindow();
    if (!h) return 1;
    PostMessageW(h, WM_CLOSE, 0, 0);
    return 0;
  }
  if (cmd == "wait-gone") {
    if (argc < 3) return usage();
    DWORD start = GetTickCount(), limit = (DWORD)std::atoi(argv[2]);
    while (mainWindow()) {
      if (GetTickCount() - start > limit) return 1;
      Sleep(100);
    }
    return 0;
  }
  return usage();
}
