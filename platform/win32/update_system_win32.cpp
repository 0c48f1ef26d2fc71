#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/text.h"
#include "platform/win32/update_win32.h"

namespace tf {

namespace {

std::string folderOfPath(const std::string& p) {
  size_t cut = p.find_last_of('\\');
  return cut == std::string::npos ? std::string() : p.substr(0, cut);
}

// A folder that cannot be named fails the probe (ok false) rather than name another place.
std::string shellFolder(int csidl, bool& ok) {
  wchar_t buf[MAX_PATH] = {};
  std::string s;
  ok = SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf)) && buf[0] && narrowPath(buf, s);
  return ok ? s : std::string();
}

HKEY rootKey(SettingsRoot r) { return r == SettingsRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// The real version even without a compatibility manifest entry.
bool osVersion(DWORD& major, DWORD& minor) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                  : nullptr;
  OSVERSIONINFOW vi = {};
  vi.dwOSVersionInfoSize = sizeof vi;
  if (!fn || fn(&vi) != 0) return false;
  major = vi.dwMajorVersion;
  minor = vi.dwMinorVersion;
  return true;
}

}  // namespace

std::string Win32UpdateSystem::windowsDir() {
  wchar_t buf[MAX_PATH] = {};
  GetWindowsDirectoryW(buf, MAX_PATH);
  return buf[0] ? nameablePath(buf) : std::string();
}

std::string Win32UpdateSystem::systemDir() {
  wchar_t buf[MAX_PATH] = {};
  GetSystemDirectoryW(buf, MAX_PATH);
  return buf[0] ? nameablePath(buf) : std::string();
}

std::string Win32UpdateSystem::programDir() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buf[0], (DWORD)buf.size());
  buf.resize(n);
  return folderOfPath(nameablePath(buf));
}

std::string Win32UpdateSystem::documentsDir() {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buf)) || !buf[0]) return {};
  return nameablePath(buf);
}

bool Win32UpdateSystem::localAppDataDir(std::string& folder) {
  bool ok;
  folder = shellFolder(CSIDL_LOCAL_APPDATA, ok);
  return ok;
}

std::string Win32UpdateSystem::shortDate(const LocalTime& t) {
  SYSTEMTIME st = {};
  st.wYear = (WORD)t.year;
  st.wMonth = (WORD)t.month;
  st.wDay = (WORD)t.day;
  wchar_t buf[128] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 128)) return {};
  return narrow(buf);
}

std::string Win32UpdateSystem::osVersionText() {
  DWORD major = 0, minor = 0;
  if (!osVersion(major, minor)) return {};
  std::string text = std::to_string(major) + "." + std::to_string(minor);
  if (major >= 6) text += major == 6 && minor == 1 ? " (Win 7)" : " (Vista)";
  return text;
}

bool Win32UpdateSystem::isVistaOrLater() {
  DWORD major = 0, minor = 0;
  return osVersion(major, minor) && major >= 6;
}

std::string Win32UpdateSystem::ieVersion() {
  std::string v;
  return readSetting(SettingsRoot::LocalMachine, "Software\\Microsoft\\Internet Explorer\\Version Vector", "IE", v)
             ? v
             : std::string();
}

bool Win32UpdateSystem::setCurrentDir(const std::string& folder) {
  return SetCurrentDirectoryW(widen(folder).c_str()) != FALSE;
}

FileVersion Win32UpdateSystem::fileVersion(const std::string& path) {
  // version.dll is not a KnownDLL: loaded from the system folder when needed.
  HMODULE lib = loadSystemLibrary(L"version.dll");
  if (!lib) return {};
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  auto sizeFn = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(lib, "GetFileVersionInfoSizeW")));
  auto infoFn = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(lib, "GetFileVersionInfoW")));
  auto queryFn = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(lib, "VerQueryValueW")));
  FileVersion v;
  std::wstring p = widen(path);
  DWORD dummy = 0, size = sizeFn && infoFn && queryFn ? sizeFn(p.c_str(), &dummy) : 0;
  if (size > 0) {
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* fi = nullptr;
    UINT len = 0;
    if (infoFn(p.c_str(), 0, size, &data[0]) && queryFn(data.data(), L"\\", reinterpret_cast<void**>(&fi), &len) &&
        fi && len >= sizeof(VS_FIXEDFILEINFO)) {
      v.valid = true;
      v.hi = (int32_t)fi->dwFileVersionMS;
      v.lo = (int32_t)fi->dwFileVersionLS;
    }
  }
  FreeLibrary(lib);
  return v;
}

bool Win32UpdateSystem::startProgram(const std::string& program, const std::string& params, bool viaShell) {
  if (viaShell) {
    std::wstring p = widen(program), a = widen(params);
    return (INT_PTR)ShellExecuteW(nullptr, L"open", p.c_str(), a.empty() ? nullptr : a.c_str(), nullptr,
                                  SW_SHOWNORMAL) > 32;
  }
  // A program path with blanks is quoted, so "C:\Program Files\x.exe" cannot start C:\Program.exe.
  std::string cmd = program.find(' ') != std::string::npos && program[0] != '"' ? "\"" + program + "\"" : program;
  if (!params.empty()) cmd += " " + params;
  std::wstring c = widen(cmd);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &c[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool Win32UpdateSystem::startBrowser(const std::string& url) {
  std::wstring a = widen("-new " + url);
  return (INT_PTR)ShellExecuteW(nullptr, nullptr, L"iexplore.exe", a.c_str(), nullptr, SW_SHOWDEFAULT) > 32;
}

std::string Win32UpdateSystem::uniqueTempFile(const std::string& folder, const std::string& prefix) {
  wchar_t buf[MAX_PATH + 16] = {};
  if (!GetTempFileNameW(widen(folder).c_str(), widen(prefix).c_str(), 0, buf)) return {};
  std::string s;
  if (narrowPath(buf, s)) return s;
  DeleteFileW(buf);
  return {};
}

bool Win32UpdateSystem::readSetting(SettingsRoot root, const std::string& key, const std::string& name,
                                    std::string& value) {
  HKEY h;
  if (RegOpenKeyExW(rootKey(root), widen(key).c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
  std::wstring n = widen(name);
  DWORD type = 0, size = 0;
  bool ok = RegQueryValueExW(h, n.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
  if (ok) {
    std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
    size = (DWORD)(buf.size() * sizeof(wchar_t));
    ok = RegQueryValueExW(h, n.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &size) == ERROR_SUCCESS;
    if (ok) ok = narrowExact(buf.c_str(), value);  // a value that cannot be told is not read
  }
  RegCloseKey(h);
  return ok;
}

bool Win32UpdateSystem::writeSetting(SettingsRoot root, const std::string& key, const std::string& name,
                                     const std::string& value) {
  HKEY h;
  if (RegCreateKeyExW(rootKey(root), widen(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return false;
  std::wstring v = widen(value);
  bool ok = RegSetValueExW(h, widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                           (DWORD)((v.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(h);
  return ok;
}

}  // namespace tf
