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

// Without best fit: a character Windows-1252 lacks becomes "?", never a look-alike (the system's
// best fit turns "Ł" into "L" and the full-width "＼" into a backslash). Good for texts that are
// only shown or logged.
inline std::string narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), nullptr, 0, "?", nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), &s[0], n, "?", nullptr);
  return s;
}

// For names the program acts on (files, folders, paths): false when `w` does not convert back to
// itself; `out` then holds the "?" form, for a log line only.
inline bool narrowExact(const std::wstring& w, std::string& out) {
  out.clear();
  if (w.empty()) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), nullptr, 0, "?", &usedDefault);
  if (n <= 0) return false;
  out.assign(n, '\0');
  WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), &out[0], n, "?", &usedDefault);
  return !usedDefault && widen(out) == w;
}

inline std::string narrow(const wchar_t* w) { return w ? narrow(std::wstring(w)) : std::string(); }

// An existing path as the program can name it: as it is when it converts exactly, else with its
// folders in their short (8.3) form, which names the same place. False when neither converts
// back to itself (`out` then holds the "?" form, for a message only).
bool narrowPath(const std::wstring& path, std::string& out);

// narrowPath, or an Error saying which path cannot be used: a probe for a folder the program
// works in fails rather than return a path that names another place.
std::string nameablePath(const std::wstring& path);

// The system's message text for an error code, without the trailing line break.
std::string systemErrorText(DWORD code);

// Loads a DLL from the system folder only (never from beside the executable).
HMODULE loadSystemLibrary(const wchar_t* name);

// From here on, DLLs loaded by name come from the system folder only, for the whole process.
void restrictDllSearchToSystem();

}  // namespace tf
