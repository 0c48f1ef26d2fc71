// Conversion between the program's Windows-1252 text and the system's UTF-16.
#pragma once
#include <windows.h>

#include <string>

namespace tf {

inline std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(1252, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(1252, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

inline std::string narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(1252, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(1252, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

inline std::string narrow(const wchar_t* w) { return w ? narrow(std::wstring(w)) : std::string(); }

// UTF-16 to Windows-1252 without best fit (a full-width "\" stays foreign, never becomes "\"):
// false when some character has no exact byte (it becomes "?" in `out`).
inline bool narrowExact(const std::wstring& w, std::string& out) {
  out.clear();
  if (w.empty()) return true;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), nullptr, 0, "?", &lossy);
  out.assign(n, '\0');
  WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), &out[0], n, "?", &lossy);
  return !lossy;
}

// The system's message text for an error code, without the trailing line break.
std::string systemErrorText(DWORD code);

// Loads a DLL from the system folder only (never from beside the executable).
HMODULE loadSystemLibrary(const wchar_t* name);

// From here on, DLLs loaded by name come from the system folder only, for the whole process.
void restrictDllSearchToSystem();

}  // namespace tf
