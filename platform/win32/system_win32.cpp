#include "platform/win32/system_win32.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include "platform/error.h"
#include "platform/win32/text.h"

namespace tf {

std::string systemErrorText(DWORD code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, (LPWSTR)&buf, 0, nullptr);
  std::wstring text = n ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  if (text.empty()) text = L"System error " + std::to_wstring(code);
  return narrow(text);
}

namespace {
bool shortForm(const std::wstring& path, std::wstring& out) {
  DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (!n) return false;
  out.assign(n, L'\0');
  n = GetShortPathNameW(path.c_str(), &out[0], n);
  if (!n || n >= out.size()) return false;
  out.resize(n);
  return true;
}
}  // namespace

bool narrowPath(const std::wstring& path, std::string& out) {
  if (narrowExact(path, out)) return true;
  std::string shown = out, unused;
  std::wstring shortened;
  // The file name stays long when it converts ("uninstall.exe" must stay itself); its folders go short.
  size_t cut = path.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 0 && narrowExact(path.substr(cut), unused) &&
      shortForm(path.substr(0, cut), shortened) && narrowExact(shortened + path.substr(cut), out))
    return true;
  if (shortForm(path, shortened) && narrowExact(shortened, out)) return true;
  out = shown;
  return false;
}

std::string nameablePath(const std::wstring& path) {
  std::string s;
  if (!narrowPath(path, s))
    throw Error("No se puede usar la ruta " + s + ": contiene caracteres que el instalador no admite");
  return s;
}

HMODULE loadSystemLibrary(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void restrictDllSearchToSystem() {
  // Looked up at run time: older systems without the update lack the function.
  typedef BOOL(WINAPI * SetDirs)(DWORD);
  HMODULE k = GetModuleHandleW(L"kernel32.dll");
  SetDirs fn = k ? (SetDirs)(void*)GetProcAddress(k, "SetDefaultDllDirectories") : nullptr;
  if (fn) fn(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

static std::wstring regWString(HKEY root, const wchar_t* key, const wchar_t* value) {
  HKEY h;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return {};
  wchar_t buf[1024];
  DWORD size = sizeof(buf) - sizeof(wchar_t), type = 0;
  std::wstring result;
  if (RegQueryValueExW(h, value, nullptr, &type, (BYTE*)buf, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buf[size / sizeof(wchar_t)] = 0;
    result = buf;
  }
  RegCloseKey(h);
  return result;
}

static std::string regString(HKEY root, const wchar_t* key, const wchar_t* value) {
  return narrow(regWString(root, key, value));
}

static std::string shellFolder(int csidl) {
  wchar_t buf[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
  return nameablePath(buf);
}

LocalTime Win32Clock::now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

uint64_t Win32Clock::tickMs() { return GetTickCount64(); }
void Win32Clock::sleepMs(unsigned ms) { Sleep(ms); }

std::string Win32SystemInfo::windowsProductId() {
  return regString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductId");
}

bool Win32SystemInfo::isWow64() {
  HMODULE k = LoadLibraryW(L"kernel32.dll");
  if (!k) throw Error(systemErrorText(GetLastError()));
  typedef BOOL(WINAPI * Fn)(HANDLE, PBOOL);
  Fn fn = (Fn)(void*)GetProcAddress(k, "IsWow64Process");
  if (!fn) {
    FreeLibrary(k);
    return false;
  }
  BOOL wow = FALSE;
  BOOL ok = fn(GetCurrentProcess(), &wow);
  DWORD err = GetLastError();
  FreeLibrary(k);
  if (!ok) throw Error(systemErrorText(err));
  return wow != FALSE;
}

std::string Win32SystemInfo::processorName() {
  std::string name = regString(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                               L"ProcessorNameString");
  // The registry pads some names with leading blanks.
  size_t start = name.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : name.substr(start);
}

uint64_t Win32SystemInfo::totalPhysicalMemory() {
  MEMORYSTATUSEX ms;
  ms.dwLength = sizeof(ms);
  return GlobalMemoryStatusEx(&ms) ? ms.ullTotalPhys : 0;
}

std::string Win32SystemInfo::computerName() {
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(buf, &n) ? narrow(std::wstring(buf, n)) : std::string();
}

bool Win32SystemInfo::localeCountryCode(std::string& code, std::string& error) {
  wchar_t buf[100] = {0};
  if (!GetLocaleInfoW(GetThreadLocale(), LOCALE_ICOUNTRY, buf, 100)) {
    error = systemErrorText(GetLastError());
    return false;
  }
  code = narrow(buf);
  return true;
}

std::string Win32SystemInfo::programFilesDir() {
  std::wstring w = regWString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir");
  return w.empty() ? std::string() : nameablePath(w);
}

std::string Win32SystemInfo::windowsDir() {
  wchar_t buf[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return n && n < MAX_PATH ? nameablePath(std::wstring(buf, n)) : std::string();
}

std::string Win32SystemInfo::systemDir() {
  wchar_t buf[MAX_PATH];
  UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return n && n < MAX_PATH ? nameablePath(std::wstring(buf, n)) : std::string();
}

std::string Win32SystemInfo::systemProgramsDir() {
#ifndef _WIN64
  // This 32-bit program on 64-bit Windows: the WOW64 folder. 32-bit Windows has none and says so.
  wchar_t buf[MAX_PATH];
  UINT n = GetSystemWow64DirectoryW(buf, MAX_PATH);
  if (n && n < MAX_PATH) return nameablePath(std::wstring(buf, n));
#endif
  std::string s = systemDir();
  // Never a bare program name, which the system would look for in the current folder first.
  if (s.empty()) throw Error(systemErrorText(GetLastError()));
  return s;
}

// Deployment tools run setup.exe as LocalSystem, whose own desktop and Start menu nobody sees:
// there the shortcuts go to (and are removed from) the all-users folders.
static bool runsAsLocalSystem() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  union {
    TOKEN_USER user;
    BYTE bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  } info;
  DWORD size = 0;
  const bool system = GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
                      IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid);
  CloseHandle(token);
  return system;
}

std::string Win32SystemInfo::desktopDir() {
  return shellFolder(runsAsLocalSystem() ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
}
std::string Win32SystemInfo::startMenuProgramsDir() {
  return shellFolder(runsAsLocalSystem() ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
}
std::string Win32SystemInfo::commonStartMenuProgramsDir() { return shellFolder(CSIDL_COMMON_PROGRAMS); }
std::string Win32SystemInfo::commonDesktopDir() { return shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY); }

std::string Win32SystemInfo::exePath() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buf[0], (DWORD)buf.size());
  buf.resize(n);
  return nameablePath(buf);
}

std::string Win32SystemInfo::decimalSeparator() {
  wchar_t buf[8] = {0};  // the system allows up to three characters and the terminator
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8);
  std::string s = n > 1 ? narrow(std::wstring(buf, n - 1)) : std::string();
  return s.empty() ? "." : s;
}

namespace {
class Win32Mutex : public NamedMutex {
 public:
  explicit Win32Mutex(HANDLE h) : h_(h) {}
  ~Win32Mutex() override { CloseHandle(h_); }
  bool lock(unsigned maxMs) override {
    DWORD r = WaitForSingleObject(h_, maxMs);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  void unlock() override { ReleaseMutex(h_); }

 private:
  HANDLE h_;
};
}  // namespace

namespace {

// Wine (8) has no private namespaces: CreateBoundaryDescriptorW gives nothing and
// CreatePrivateNamespaceW, a stub there, ends the process when called.
bool withoutPrivateNamespaces() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The namespace and the mutex in it: full control for Administrators and LocalSystem, nothing for
// anyone else.
const wchar_t* const kOnlyAdministrators = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

// The namespace's creator may be ending while another copy finds the mutex free; that copy
// starts again, a bounded number of times, then counts the lock as held.
const int kNamespaceAttempts = 20;
const DWORD kNamespacePauseMs = 50;

}  // namespace

Win32InstanceLock::~Win32InstanceLock() {
  close();
  if (boundary_) DeleteBoundaryDescriptor(boundary_);
}

void Win32InstanceLock::close() {
  if (owned_) ReleaseMutex(handle_);
  owned_ = false;
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
  if (namespace_) ClosePrivateNamespace(namespace_, 0);
  namespace_ = nullptr;
}

bool Win32InstanceLock::acquireGlobal() {
  if (!handle_) handle_ = CreateMutexW(nullptr, FALSE, widen("Global\\" + space_ + "." + name_).c_str());
  if (!handle_) return false;
  DWORD r = WaitForSingleObject(handle_, 0);
  owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  return owned_;
}

Win32InstanceLock::Attempt Win32InstanceLock::attemptInNamespace(void* security) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, security, FALSE};
  const std::wstring alias = widen(space_);
  bool creator = true;
  namespace_ = CreatePrivateNamespaceW(&sa, boundary_, alias.c_str());
  if (!namespace_) {
    if (GetLastError() != ERROR_ALREADY_EXISTS) return Attempt::Failed;
    creator = false;
    namespace_ = OpenPrivateNamespaceW(boundary_, alias.c_str());
    if (!namespace_) return Attempt::Again;  // its creator ended meanwhile
  }
  handle_ = CreateMutexW(&sa, FALSE, (alias + L"\\" + widen(name_)).c_str());
  if (!handle_) return Attempt::Failed;
  DWORD r = WaitForSingleObject(handle_, 0);
  if (r == WAIT_TIMEOUT) return Attempt::Held;
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return Attempt::Failed;
  owned_ = true;
  if (creator) return Attempt::Taken;
  // Free in another process's namespace: that process is ending, and once its namespace is gone
  // a later copy would make a new one and never see this mutex.
  return Attempt::Again;
}

bool Win32InstanceLock::acquire() {
  if (owned_) return true;
  if (withoutPrivateNamespaces()) return acquireGlobal();
  if (!boundary_) {
    boundary_ = CreateBoundaryDescriptorW(widen(space_).c_str(), 0);
    if (!boundary_) return false;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) ||
        !AddSIDToBoundaryDescriptor(&boundary_, sid)) {
      DeleteBoundaryDescriptor(boundary_);
      boundary_ = nullptr;
      return false;
    }
  }
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kOnlyAdministrators, SDDL_REVISION_1, &security, nullptr))
    return false;
  Attempt a = Attempt::Failed;
  for (int i = 0; i < kNamespaceAttempts; ++i) {
    a = attemptInNamespace(security);
    if (a != Attempt::Again) break;
    close();
    Sleep(kNamespacePauseMs);
  }
  LocalFree(security);
  if (a != Attempt::Taken) close();
  return a == Attempt::Taken;
}

NamedMutex* Win32LogSink::createMutex(const std::string& name) {
  HANDLE h = CreateMutexW(nullptr, FALSE, widen(name).c_str());
  return h ? new Win32Mutex(h) : nullptr;
}

bool Win32LogSink::appendToFile(const std::string& path, const std::string& bytes) {
  std::wstring w = widen(path);
  HANDLE h = CreateFileW(w.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

}  // namespace tf
