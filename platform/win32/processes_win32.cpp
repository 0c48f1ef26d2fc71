#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/win32/sys_win32.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

void cerrar(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}

class Win32RunningCommand : public RunningCommand {
 public:
  Win32RunningCommand(HANDLE process, HANDLE job, HANDLE outRead, HANDLE outWrite)
      : process_(process), job_(job), outRead_(outRead), outWrite_(outWrite) {}
  ~Win32RunningCommand() override {
    cerrar(outRead_);
    cerrar(outWrite_);
    cerrar(job_);
    cerrar(process_);
  }
  size_t available() override {
    DWORD n = 0;
    if (!PeekNamedPipe(outRead_, nullptr, 0, nullptr, &n, nullptr)) return 0;
    return n;
  }
  size_t read(char* buffer, size_t n) override {
    DWORD got = 0;
    if (n > 0x10000) n = 0x10000;
    if (!ReadFile(outRead_, buffer, (DWORD)n, &got, nullptr)) return 0;
    return got;
  }
  // By the process's state, not its exit code: a command may well exit with 259.
  bool finished() override { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
  void waitForActivity(unsigned maxMs) override {
    MsgWaitForMultipleObjectsEx(1, &process_, maxMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  // The job holds the command and every program started under it.
  void endTree() override {
    if (!job_ || !TerminateJobObject(job_, 1)) TerminateProcess(process_, 1);
  }

 private:
  HANDLE process_, job_, outRead_, outWrite_;
};

}  // namespace

std::string Win32Processes::environment(const std::string& name) {
  std::wstring w = widen(name);
  DWORD n = GetEnvironmentVariableW(w.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(w.c_str(), &value[0], n);
  value.resize(n);
  // A folder's value that cannot be named is not handed on under a look-alike name.
  std::string s;
  return narrowPath(value, s) ? s : std::string();
}

void Win32Processes::switchOffErrorBoxes() {
  // Programs started afterwards inherit the mode.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

std::unique_ptr<RunningCommand> Win32Processes::startHidden(const std::string& commandLine) {
  // Inheritable pipes with the default descriptor: a null access list would let any process
  // on the machine open them.
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};

  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!CreatePipe(&inRead, &inWrite, &sa, 0)) return nullptr;
  if (!CreatePipe(&outRead, &outWrite, &sa, 0)) {
    cerrar(inRead);
    cerrar(inWrite);
    return nullptr;
  }
  // The command gets only its own ends.
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

  // A fresh start-up block: ours may carry the C runtime's handle table (lpReserved2).
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = inRead;
  si.hStdOutput = outWrite;
  si.hStdError = outWrite;

  // No fixed buffer: a line the system refuses (over 32767 characters) fails to start.
  std::wstring w = widen(commandLine);
  std::vector<wchar_t> line(w.begin(), w.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  // Suspended until it is in its job, so nothing it starts escapes the job.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE | CREATE_SUSPENDED, nullptr,
                      nullptr, &si, &pi)) {
    cerrar(outRead);
    cerrar(outWrite);
    cerrar(inRead);
    cerrar(inWrite);
    return nullptr;
  }
  // Without a job (Windows 7 refuses one inside the job a deployment tool may run us in) only the
  // command itself can be ended.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job && !AssignProcessToJobObject(job, pi.hProcess)) cerrar(job);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  // The command holds its own copy of the input's read end. With the write end closed it reads
  // end-of-file at once, rather than wait for ever for input that never comes.
  cerrar(inWrite);
  cerrar(inRead);
  return std::make_unique<Win32RunningCommand>(pi.hProcess, job, outRead, outWrite);
}

bool Win32Processes::list(std::vector<ProcessEntry>& out) {
  out.clear();
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W pe;
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    ProcessEntry e;
    e.id = pe.th32ProcessID;
    e.exeFile = narrow(pe.szExeFile);
    out.push_back(e);
  }
  CloseHandle(snap);
  return true;
}

bool Win32Processes::terminate(uint32_t id) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  if (!h) return false;
  BOOL ok = TerminateProcess(h, 0);
  CloseHandle(h);
  return ok != 0;
}

}  // namespace tf

namespace tf {

// Which program a process runs, so that only the product's own copies are ended.
bool Win32Processes::imagePath(uint32_t id, std::string& path) {
  path.clear();
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!h) return false;
  std::wstring buf(32768, L'\0');
  DWORD n = (DWORD)buf.size();
  BOOL ok = QueryFullProcessImageNameW(h, 0, &buf[0], &n);
  CloseHandle(h);
  if (!ok || n == 0) return false;
  buf.resize(n);
  // A service started from its 8.3 path reports that form; the folders it is compared with
  // are long.
  std::wstring largo(32768, L'\0');
  DWORD m = GetLongPathNameW(buf.c_str(), &largo[0], (DWORD)largo.size());
  if (m > 0 && m < largo.size()) buf = largo.substr(0, m);
  return narrowExact(buf, path);
}

}  // namespace tf
