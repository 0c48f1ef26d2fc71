// Measures what the command runner costs the installer's process while a command runs:
// the process's own CPU time (GetProcessTimes) beside the wall time, for the runner's
// sleeping wait and, side by side, for a wait that polls without pause.
// Usage: runner_cpu [SECONDS]   (default 5; uses ..\fixtures\stub_output.exe)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/sys_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "sys/comando.h"

namespace {

struct PumpUi : tf::Ui {
  void messageBox(const std::string&, const std::string&, tf::MessageIcon) override {}
  void standardError(const std::string&) override {}
  void setBusyCursor(bool) override {}
  void processMessages() override {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  void closeWindow() override {}
  void setFocus(const std::string&) override {}
  bool shellOpen(const std::string&, std::string&) override { return false; }
};

double cpuSeconds() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](FILETIME f) { return (double)(((ULONGLONG)f.dwHighDateTime << 32) | f.dwLowDateTime) / 1e7; };
  return v(k) + v(u);
}

double wallSeconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)f.QuadPart;
}

struct Measure {
  double wall, cpu;
  double percent() const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

template <class F>
Measure measure(F f) {
  double w0 = wallSeconds(), c0 = cpuSeconds();
  f();
  return {wallSeconds() - w0, cpuSeconds() - c0};
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  wchar_t buf[MAX_PATH];
  std::wstring self(buf, GetModuleFileNameW(nullptr, buf, MAX_PATH));
  std::wstring dir = self.substr(0, self.find_last_of(L'\\'));
  std::string stub = tf::narrow(dir.substr(0, dir.find_last_of(L'\\'))) + "\\fixtures\\stub_output.exe";
  std::string args = " sleep:" + std::to_string(seconds * 1000) + " out:fin";

  // A window with a timer, so the wait has messages to answer as in the installer.
  HWND w = CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetTimer(w, 1, 100, nullptr);
  tf::Win32Processes procs;
  tf::Win32SystemInfo sys;
  tf::Win32Clock clock;
  struct : tf::Log {
    void registrarLog(const std::string&) override {}
  } log;
  const std::string cmd = sys.systemProgramsDir() + "\\cmd.exe";
  PumpUi ui;

  std::string out;
  Measure sleeping = measure([&] { out = tf::EjecutarComando(stub + args, tf::Consola{cmd, procs, ui, clock, log}); });
  if (out != "fin\r\n") {
    std::printf("runner_cpu: unexpected output from %s: [%s]\n", stub.c_str(), out.c_str());
    return 1;
  }

  // The same command waited for by polling without pause (peek, pump, look at the process).
  Measure spinning = measure([&] {
    auto command = procs.startHidden(cmd + " /c " + stub + args);
    if (!command) return;
    char b[4096];
    for (;;) {
      bool done = command->finished();
      size_t n = command->available();
      if (n) command->read(b, n < sizeof b ? n : sizeof b);
      ui.processMessages();
      if (done && !n) break;
    }
  });
  DestroyWindow(w);

  std::printf("command sleeping %d s, measured in one run:\n", seconds);
  std::printf("  runner (sleeping wait):   wall %.2f s, process CPU %.3f s = %.2f%% of one core\n", sleeping.wall,
              sleeping.cpu, sleeping.percent());
  std::printf("  polling without pause:    wall %.2f s, process CPU %.3f s = %.2f%% of one core\n", spinning.wall,
              spinning.cpu, spinning.percent());
  if (sleeping.cpu > 0)
    std::printf("  polling / runner CPU ratio: %.0fx\n", spinning.cpu / sleeping.cpu);
  else
    std::printf("  polling / runner CPU ratio: runner CPU below the clock's resolution\n");
  bool ok = sleeping.percent() < 5.0;
  std::printf("  runner under 5%% of one core: %s\n", ok ? "yes" : "NO");
  return ok ? 0 : 1;
}
