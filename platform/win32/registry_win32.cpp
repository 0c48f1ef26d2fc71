#include "platform/win32/registry_win32.h"

#include <windows.h>

#include <vector>

#include "platform/error.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

// No KEY_WOW64_* flag anywhere: the program works in its own registry view (see registry.h).
HKEY rootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

REGSAM rights(RegistryAccess access) {
  switch (access) {
    case RegistryAccess::Read: return KEY_READ;
    case RegistryAccess::Write: return KEY_WRITE;
    default: return KEY_READ | KEY_WRITE;
  }
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY h) : h_(h) {}
  ~Win32Key() override { RegCloseKey(h_); }

  RegistryValue read(const std::string& name) override {
    RegistryValue v;
    std::wstring wname = widen(name);
    std::vector<BYTE> data;
    DWORD type = 0, size = 0;
    LONG rc = ERROR_MORE_DATA;
    // The value may grow between the size query and the read; a few rounds settle it.
    for (int round = 0; round < 4 && rc == ERROR_MORE_DATA; ++round) {
      rc = RegQueryValueExW(h_, wname.c_str(), nullptr, &type, nullptr, &size);
      if (rc != ERROR_SUCCESS) break;
      data.assign(size + sizeof(wchar_t), 0);
      rc = RegQueryValueExW(h_, wname.c_str(), nullptr, &type, data.data(), &size);
    }
    if (rc == ERROR_FILE_NOT_FOUND) return v;
    check(rc);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      // Stored texts usually end in a zero, and readers stop at the first one.
      std::wstring w(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      size_t end = w.find(L'\0');
      if (end != std::wstring::npos) w.resize(end);
      v.type = type == REG_SZ ? RegistryType::String : RegistryType::ExpandString;
      v.exact = narrowExact(w, v.text);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
      v.type = RegistryType::Number;
      v.number = *reinterpret_cast<const DWORD*>(data.data());
    } else {
      v.type = RegistryType::Other;
    }
    return v;
  }

  void writeString(const std::string& name, const std::string& text) override { writeText(name, text, REG_SZ); }
  void writeExpandString(const std::string& name, const std::string& text) override {
    writeText(name, text, REG_EXPAND_SZ);
  }
  void writeNumber(const std::string& name, uint32_t value) override {
    DWORD d = value;
    check(RegSetValueExW(h_, widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d));
  }

  bool subkeyNames(std::vector<std::string>& out) override {
    out.clear();
    wchar_t buf[256];  // key names hold at most 255 characters
    for (DWORD i = 0;; ++i) {
      DWORD n = 256;
      LONG rc = RegEnumKeyExW(h_, i, buf, &n, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) return true;
      if (rc != ERROR_SUCCESS) return false;
      std::string name;
      if (narrowExact(std::wstring(buf, n), name)) out.push_back(name);
    }
  }

  bool deleteSubkey(const std::string& name) override {
    // An empty name would delete this key itself, a "\" a deeper one.
    if (name.empty() || name.find('\\') != std::string::npos) return false;
    return RegDeleteKeyW(h_, widen(name).c_str()) == ERROR_SUCCESS;
  }

 private:
  void writeText(const std::string& name, const std::string& text, DWORD type) {
    std::wstring w = widen(text);
    check(RegSetValueExW(h_, widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(w.c_str()),
                         (DWORD)((w.size() + 1) * sizeof(wchar_t))));
  }
  static void check(LONG rc) {
    if (rc != ERROR_SUCCESS) throw Error(systemErrorText((DWORD)rc));
  }

  HKEY h_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::open(RegistryRoot root, const std::string& path, RegistryAccess access) {
  HKEY h;
  if (RegOpenKeyExW(rootKey(root), widen(path).c_str(), 0, rights(access), &h) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(h);
}

std::unique_ptr<RegistryKey> Win32Registry::create(RegistryRoot root, const std::string& path) {
  HKEY h;
  if (RegCreateKeyExW(rootKey(root), widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<Win32Key>(h);
}

}  // namespace tf
