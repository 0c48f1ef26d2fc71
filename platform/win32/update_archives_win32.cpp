// Cabinet unpacking through the system cabinet library and LZ expansion through the system's
// LZ routines; both are bound at run time (cabinet.dll from the system folder only).
#include <windows.h>
// After windows.h: these headers use its types.
#include <fcntl.h>
#include <fdi.h>
#include <lzexpand.h>

#include <cstdlib>

#include "platform/win32/text.h"
#include "platform/win32/update_win32.h"

namespace tf {

namespace {

struct CabinetApi {
  HMODULE lib = nullptr;
  decltype(&FDICreate) create = nullptr;
  decltype(&FDIIsCabinet) isCabinet = nullptr;
  decltype(&FDICopy) copy = nullptr;
  decltype(&FDIDestroy) destroy = nullptr;
  CabinetApi() {
    lib = loadSystemLibrary(L"cabinet.dll");
    if (!lib) return;
    create = reinterpret_cast<decltype(create)>(reinterpret_cast<void*>(GetProcAddress(lib, "FDICreate")));
    isCabinet = reinterpret_cast<decltype(isCabinet)>(reinterpret_cast<void*>(GetProcAddress(lib, "FDIIsCabinet")));
    copy = reinterpret_cast<decltype(copy)>(reinterpret_cast<void*>(GetProcAddress(lib, "FDICopy")));
    destroy = reinterpret_cast<decltype(destroy)>(reinterpret_cast<void*>(GetProcAddress(lib, "FDIDestroy")));
  }
  ~CabinetApi() {
    if (lib) FreeLibrary(lib);
  }
  bool ok() const { return create && isCabinet && copy && destroy; }
};

INT_PTR toHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h); }
HANDLE fromHandle(INT_PTR h) { return reinterpret_cast<HANDLE>(h); }

FNALLOC(cabAlloc) { return std::malloc(cb); }
FNFREE(cabFree) { std::free(pv); }
// Paths given to the library are our Windows-1252 text.
FNOPEN(cabOpen) {
  (void)pmode;
  DWORD access = GENERIC_READ, create = OPEN_EXISTING;
  if (oflag & (_O_WRONLY | _O_RDWR)) access |= GENERIC_WRITE;
  if (oflag & _O_CREAT) create = (oflag & _O_EXCL) ? CREATE_NEW : (oflag & _O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
  return toHandle(CreateFileW(widen(pszFile).c_str(), access, FILE_SHARE_READ, nullptr, create,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}
FNREAD(cabRead) {
  DWORD got = 0;
  return ReadFile(fromHandle(hf), pv, cb, &got, nullptr) ? got : (UINT)-1;
}
FNWRITE(cabWrite) {
  DWORD put = 0;
  return WriteFile(fromHandle(hf), pv, cb, &put, nullptr) && put == cb ? put : (UINT)-1;
}
FNCLOSE(cabClose) { return CloseHandle(fromHandle(hf)) ? 0 : -1; }
FNSEEK(cabSeek) { return (long)SetFilePointer(fromHandle(hf), dist, nullptr, (DWORD)seektype); }

struct Unpack {
  std::wstring target;  // with a trailing "\" or empty (current directory)
  bool failed = false;
};

// The stored name as a path under the target folder; empty when it would leave it.
std::wstring safeRelative(const std::wstring& stored) {
  std::wstring s = stored;
  for (wchar_t& c : s)
    if (c == L'/') c = L'\\';
  if (s.empty() || s[0] == L'\\' || s.find(L':') != std::wstring::npos) return {};
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(L'\\', start);
    if (end == std::wstring::npos) end = s.size();
    std::wstring part = s.substr(start, end - start);
    if (part.empty() || part == L"." || part == L"..") return {};
    start = end + 1;
  }
  return s;
}

FNFDINOTIFY(cabNotify) {
  Unpack* u = static_cast<Unpack*>(pfdin->pv);
  switch (fdint) {
    case fdintCOPY_FILE: {
      std::wstring stored;
      if (pfdin->attribs & _A_NAME_IS_UTF) {
        int n = MultiByteToWideChar(CP_UTF8, 0, pfdin->psz1, -1, nullptr, 0);
        stored.resize(n > 0 ? n : 0);
        if (n > 0) MultiByteToWideChar(CP_UTF8, 0, pfdin->psz1, -1, &stored[0], n);
        if (!stored.empty()) stored.pop_back();
      } else {
        stored = widen(pfdin->psz1);
      }
      std::wstring rel = safeRelative(stored);
      if (rel.empty()) {
        u->failed = true;
        return 0;  // skipped: the name would leave the target folder
      }
      for (size_t p = rel.find(L'\\'); p != std::wstring::npos; p = rel.find(L'\\', p + 1))
        CreateDirectoryW((u->target + rel.substr(0, p)).c_str(), nullptr);
      std::wstring path = u->target + rel;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) u->failed = true;
      return toHandle(h);
    }
    case fdintCLOSE_FILE_INFO: {
      HANDLE h = fromHandle(pfdin->hf);
      FILETIME local, ft;
      if ((pfdin->date || pfdin->time) && DosDateTimeToFileTime(pfdin->date, pfdin->time, &local) &&
          LocalFileTimeToFileTime(&local, &ft)) {
        SetFileTime(h, nullptr, nullptr, &ft);
      } else {
        GetSystemTimeAsFileTime(&ft);
        SetFileTime(h, nullptr, nullptr, &ft);
      }
      CloseHandle(h);
      return TRUE;
    }
    default:
      return 0;
  }
}

}  // namespace

bool Win32UpdateArchives::extractCabinet(const std::string& cabinet, const std::string& targetDir) {
  CabinetApi api;
  if (!api.ok()) return false;
  ERF erf = {};
  HFDI fdi = api.create(cabAlloc, cabFree, cabOpen, cabRead, cabWrite, cabClose, cabSeek, cpuUNKNOWN, &erf);
  if (!fdi) return false;
  bool ok = false;
  INT_PTR hf = cabOpen(const_cast<char*>(cabinet.c_str()), _O_RDONLY | _O_BINARY, 0);
  if (hf != -1) {
    FDICABINETINFO info = {};
    bool isCab = api.isCabinet(fdi, hf, &info) != FALSE;
    cabClose(hf);
    if (isCab) {
      size_t cut = cabinet.find_last_of('\\');
      std::string name = cut == std::string::npos ? cabinet : cabinet.substr(cut + 1);
      std::string path = cut == std::string::npos ? std::string() : cabinet.substr(0, cut + 1);
      Unpack u;
      u.target = widen(targetDir);
      if (!u.target.empty() && u.target.back() != L'\\') u.target += L'\\';
      if (!u.target.empty()) CreateDirectoryW(u.target.c_str(), nullptr);
      ok = api.copy(fdi, &name[0], &path[0], 0, cabNotify, nullptr, &u) && !u.failed;
    }
  }
  api.destroy(fdi);
  return ok;
}

LzResult Win32UpdateArchives::lzExpand(const std::string& compressed, const std::string& folder,
                                       std::string& expandedPath) {
  // Only a file that carries the LZ signature is touched.
  static const unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
  std::wstring src = widen(compressed);
  HANDLE h = CreateFileW(src.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LzResult::Failed;
  unsigned char head[8] = {};
  DWORD got = 0;
  BOOL read = ReadFile(h, head, sizeof head, &got, nullptr);
  CloseHandle(h);
  if (!read) return LzResult::Failed;
  if (got < sizeof head || memcmp(head, kMagic, sizeof kMagic) != 0) return LzResult::NotLz;

  // The LZ routines live in kernel32 (lz32.dll forwards to them).
  HMODULE k32 = GetModuleHandleW(L"kernel32.dll");
  auto openFn = reinterpret_cast<decltype(&LZOpenFileW)>(reinterpret_cast<void*>(GetProcAddress(k32, "LZOpenFileW")));
  auto copyFn = reinterpret_cast<decltype(&LZCopy)>(reinterpret_cast<void*>(GetProcAddress(k32, "LZCopy")));
  auto closeFn = reinterpret_cast<decltype(&LZClose)>(reinterpret_cast<void*>(GetProcAddress(k32, "LZClose")));
  auto nameFn =
      reinterpret_cast<decltype(&GetExpandedNameW)>(reinterpret_cast<void*>(GetProcAddress(k32, "GetExpandedNameW")));
  if (!openFn || !copyFn || !closeFn || !nameFn) return LzResult::Failed;

  wchar_t expanded[MAX_PATH * 2] = {};
  if (nameFn(&src[0], expanded) < 0) return LzResult::Failed;
  std::wstring name = expanded;
  size_t cut = name.find_last_of(L"\\/");
  if (cut != std::wstring::npos) name = name.substr(cut + 1);
  std::wstring dir = widen(folder);
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  std::wstring dest = dir + name;
  // The name comes from the archive: one the program cannot name is not written under another.
  if (!narrowExact(dest, expandedPath)) return LzResult::Failed;

  // Expanded into a fresh file first, so a failure (or a name equal to the source) loses nothing.
  wchar_t tmp[MAX_PATH + 16] = {};
  if (!GetTempFileNameW(dir.empty() ? L"." : dir.c_str(), L"UPD", 0, tmp)) return LzResult::Failed;
  OFSTRUCT ofsIn = {}, ofsOut = {};
  INT in = openFn(&src[0], &ofsIn, OF_READ);
  INT out = in >= 0 ? openFn(tmp, &ofsOut, OF_CREATE) : -1;
  LONG copied = in >= 0 && out >= 0 ? copyFn(in, out) : -1;
  if (out >= 0) closeFn(out);
  if (in >= 0) closeFn(in);
  if (copied < 0 || !MoveFileExW(tmp, dest.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(tmp);
    return LzResult::Failed;
  }
  return LzResult::Expanded;
}

}  // namespace tf
