// Download benchmark client: fetches one URL into a file either through the transfer engine
// (4096-byte blocks, events, message pumping) or with a bare WinINet loop of the same block size.
// Prints "ms=<elapsed> bytes=<received> peak_ws=<peak working set> start_ws=<working set before>".
//   bench_download.exe engine|bare URL TARGET_FOLDER
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

#include "platform/win32/internet_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "transfer/file_transfer.h"

namespace {

struct MemCounters {
  DWORD cb;
  DWORD PageFaultCount;
  SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
      QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

MemCounters memory() {
  typedef BOOL(WINAPI * Fn)(HANDLE, MemCounters*, DWORD);
  Fn fn = (Fn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "K32GetProcessMemoryInfo");
  MemCounters m = {};
  m.cb = sizeof m;
  if (fn) fn(GetCurrentProcess(), &m, sizeof m);
  return m;
}

void pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

unsigned long long engine(const std::string& url, const std::string& dir) {
  tf::Win32Internet net;
  tf::Win32Files files;
  tf::Win32Clock clock;
  tf::TFileTransfer wc(net, files, clock, pump);
  wc.ShowDialog = false;
  unsigned long long got = 0, events = 0;
  wc.OnCopyProgress = [&](tf::TFileTransfer&, int, uint32_t size, uint32_t) {
    got = size;
    ++events;
  };
  tf::TFileTransferItem& it = wc.Items.Add();
  it.URL = url;
  it.TargetDir = dir;
  wc.Execute();
  return it.Success ? got : 0;
}

unsigned long long bare(const std::string& url, const std::string& dir) {
  HMODULE dll = tf::loadSystemLibrary(L"wininet.dll");
  if (!dll) return 0;
  auto open = (decltype(&InternetOpenW))(void*)GetProcAddress(dll, "InternetOpenW");
  auto openUrl = (decltype(&InternetOpenUrlW))(void*)GetProcAddress(dll, "InternetOpenUrlW");
  auto read = (decltype(&InternetReadFile))(void*)GetProcAddress(dll, "InternetReadFile");
  auto close = (decltype(&InternetCloseHandle))(void*)GetProcAddress(dll, "InternetCloseHandle");
  HINTERNET s = open(L"bare", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET r = s ? openUrl(s, tf::widen(url).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                  : nullptr;
  unsigned long long total = 0;
  if (r) {
    std::string path = dir + "\\" + tf::ultimoSegmentoURL(url);
    HANDLE f = CreateFileW(tf::widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    char buf[4096];
    DWORD n = 0, w = 0;
    while (f != INVALID_HANDLE_VALUE && read(r, buf, sizeof buf, &n) && n > 0) {
      WriteFile(f, buf, n, &w, nullptr);
      total += n;
    }
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    close(r);
  }
  if (s) close(s);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: bench_download engine|bare URL TARGET_FOLDER\n");
    return 2;
  }
  std::string mode = argv[1], url = argv[2], dir = argv[3];
  unsigned long long before = memory().WorkingSetSize;
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);
  unsigned long long bytes = mode == "engine" ? engine(url, dir) : bare(url, dir);
  QueryPerformanceCounter(&b);
  printf("ms=%.0f bytes=%llu peak_ws=%llu start_ws=%llu\n", (b.QuadPart - a.QuadPart) * 1000.0 / f.QuadPart, bytes,
         (unsigned long long)memory().PeakWorkingSetSize, before);
  return bytes ? 0 : 1;
}
