#include "platform/win32/shell_win32.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

#include "platform/win32/text.h"

namespace tf {

namespace {

// COM for the calling thread, for the span of one call. A thread already in another apartment
// model keeps it (the link object works in both) and is not uninitialised by us.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

template <class T>
class ComRef {
 public:
  ~ComRef() {
    if (p) p->Release();
  }
  T* p = nullptr;
};

// A link object and its file interface; both null when the object cannot be made.
struct LinkObject {
  ComRef<IShellLinkW> link;
  ComRef<IPersistFile> file;
  LinkObject() {
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
      return;
    link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
  }
  bool ok() const { return link.p && file.p; }
};

std::string fromWide(const wchar_t* w) {
  std::string s;
  narrowExact(w, s);  // foreign characters read as "?", never as look-alikes
  return s;
}

bool storedShowCommand(const std::string& file, int& show) {
  HANDLE h = CreateFileW(widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BYTE header[0x4C];
  DWORD got = 0;
  BOOL ok = ReadFile(h, header, sizeof header, &got, nullptr);
  CloseHandle(h);
  DWORD size, value;
  CLSID clsid;
  if (!ok || got != sizeof header) return false;
  memcpy(&size, header, 4);
  memcpy(&clsid, header + 4, sizeof clsid);
  if (size != sizeof header || !IsEqualCLSID(clsid, CLSID_ShellLink)) return false;
  memcpy(&value, header + 0x3C, 4);
  show = (int)value;
  return true;
}

}  // namespace

bool Win32ShellLinks::save(const std::string& file, const ShellLink& link) {
  if (file.empty() || file.size() > kMaxLinkFileName) return false;
  ComScope com;
  LinkObject obj;
  if (!obj.ok()) return false;
  IShellLinkW* sl = obj.link.p;
  // A property that does not take is no reason to stop: only the save decides.
  sl->SetPath(widen(link.target).c_str());
  sl->SetDescription(widen(link.description).c_str());
  sl->SetWorkingDirectory(widen(link.workingFolder).c_str());
  sl->SetArguments(widen(link.arguments).c_str());
  sl->SetIconLocation(widen(link.iconFile).c_str(), link.iconIndex);
  if (link.hotKey != 0) sl->SetHotkey(link.hotKey);
  sl->SetShowCmd(link.showCommand);
  return SUCCEEDED(obj.file.p->Save(widen(file).c_str(), TRUE));
}

bool Win32ShellLinks::load(const std::string& file, ShellLink& link) {
  ComScope com;
  LinkObject obj;
  if (!obj.ok() || FAILED(obj.file.p->Load(widen(file).c_str(), STGM_READ))) return false;
  IShellLinkW* sl = obj.link.p;
  link = ShellLink();
  wchar_t buf[INFOTIPSIZE + 1];
  auto got = [&buf](HRESULT hr) {
    buf[INFOTIPSIZE] = 0;
    return SUCCEEDED(hr);
  };
  // Raw: the target as stored, environment references unexpanded; no search for a moved target.
  buf[0] = 0;
  if (got(sl->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) link.target = fromWide(buf);
  buf[0] = 0;
  if (got(sl->GetDescription(buf, INFOTIPSIZE))) link.description = fromWide(buf);
  buf[0] = 0;
  if (got(sl->GetWorkingDirectory(buf, MAX_PATH))) link.workingFolder = fromWide(buf);
  buf[0] = 0;
  if (got(sl->GetArguments(buf, INFOTIPSIZE))) link.arguments = fromWide(buf);
  int index = 0;
  buf[0] = 0;
  if (got(sl->GetIconLocation(buf, MAX_PATH, &index))) {
    link.iconFile = fromWide(buf);
    link.iconIndex = index;
  }
  WORD hotKey = 0;
  if (SUCCEEDED(sl->GetHotkey(&hotKey))) link.hotKey = hotKey;
  int show = 0;
  if (SUCCEEDED(sl->GetShowCmd(&show))) link.showCommand = show;
  // Wine's link object does not restore the show command when it loads a file (it keeps 1), so
  // the field is taken from the file's header itself: 76 bytes, show command at offset 60.
  if (storedShowCommand(file, show)) link.showCommand = show;
  return true;
}

bool Win32Shell::startHidden(const std::string& program, const std::string& parameters) {
  std::wstring prog = widen(program), params = widen(parameters);
  HINSTANCE r = ShellExecuteW(owner_, L"open", prog.c_str(), params.empty() ? nullptr : params.c_str(), nullptr, SW_HIDE);
  return reinterpret_cast<INT_PTR>(r) > 32;
}

bool Win32Shell::broadcastEnvironmentChange() {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                             SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

}  // namespace tf
