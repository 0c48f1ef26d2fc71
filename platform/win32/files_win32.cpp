#include <windows.h>

#include "platform/error.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE h) : h_(h) {}
  ~Win32OutputFile() override { close(); }
  bool write(const void* data, size_t n) override {
    if (h_ == INVALID_HANDLE_VALUE) return false;
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      DWORD chunk = n > (1u << 30) ? (1u << 30) : (DWORD)n, written = 0;
      if (!WriteFile(h_, p, chunk, &written, nullptr) || written != chunk) {
        failed_ = true;
        return false;
      }
      p += written;
      n -= written;
    }
    return true;
  }
  bool close() override {
    if (h_ != INVALID_HANDLE_VALUE) {
      if (!CloseHandle(h_)) failed_ = true;
      h_ = INVALID_HANDLE_VALUE;
    }
    return !failed_;
  }

 private:
  HANDLE h_;
  bool failed_ = false;
};

class Win32InputFile : public InputFile {
 public:
  explicit Win32InputFile(HANDLE h) : h_(h) {}
  ~Win32InputFile() override { CloseHandle(h_); }
  long long read(void* data, size_t n) override {
    DWORD got = 0;
    if (n > (1u << 30)) n = 1u << 30;
    if (!ReadFile(h_, data, (DWORD)n, &got, nullptr)) return -1;
    return got;
  }
  uint64_t size() override {
    LARGE_INTEGER s;
    return GetFileSizeEx(h_, &s) ? (uint64_t)s.QuadPart : 0;
  }
  bool seek(uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) != 0;
  }

 private:
  HANDLE h_;
};

DWORD attributes(const std::string& path) { return GetFileAttributesW(widen(path).c_str()); }

}  // namespace

bool Win32Files::fileExists(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::folderExists(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::list(const std::string& pattern, std::vector<FileEntry>& out) {
  out.clear();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(widen(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  do {
    FileEntry e;
    e.nameNotRepresentable = !narrowExact(fd.cFileName, e.name) || !isPlainEntryName(e.name);
    e.isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.isReparsePoint = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    e.readOnly = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    e.isVolumeLabel = false;  // the NT find functions never report volume labels
    e.sizeLow = fd.nFileSizeLow;
    out.push_back(e);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return true;
}

bool Win32Files::deleteFile(const std::string& path) {
  std::wstring w = widen(path);
  DWORD a = GetFileAttributesW(w.c_str());
  // A link to a folder is removed as a folder entry; its target is left alone.
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) && (a & FILE_ATTRIBUTE_DIRECTORY))
    return RemoveDirectoryW(w.c_str()) != 0;
  return DeleteFileW(w.c_str()) != 0;
}

FileDeletion Win32Files::deleteFileTellingWhy(const std::string& path) {
  std::wstring w = widen(path);
  if (DeleteFileW(w.c_str())) return FileDeletion::Deleted;
  DWORD error = GetLastError();
  // A read-only file stays read-only after whoever holds it lets it go.
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES ||
      (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return FileDeletion::Failed;
  if (error == ERROR_SHARING_VIOLATION) return FileDeletion::InUse;
  if (error != ERROR_ACCESS_DENIED) return FileDeletion::Failed;
  // Refused for a running program's image as for a missing right: in use only when this
  // process may open it for deletion.
  HANDLE h = CreateFileW(w.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_SHARING_VIOLATION ? FileDeletion::InUse : FileDeletion::Failed;
  CloseHandle(h);
  return FileDeletion::InUse;
}

bool Win32Files::deleteAtRestart(const std::string& path) {
  return MoveFileExW(widen(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool Win32Files::removeFolder(const std::string& path) { return RemoveDirectoryW(widen(path).c_str()) != 0; }

bool Win32Files::createFolders(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.empty() || folderExists(p)) return !p.empty();
  size_t cut = p.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    std::string parent = p.substr(0, cut);
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    if (!folderExists(parent) && !createFolders(parent)) return false;
  }
  return CreateDirectoryW(widen(p).c_str(), nullptr) || folderExists(p);
}

bool Win32Files::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  return CopyFileW(widen(from).c_str(), widen(to).c_str(), failIfExists) != 0;
}

bool Win32Files::moveFile(const std::string& from, const std::string& to, bool replace) {
  DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExW(widen(from).c_str(), widen(to).c_str(), flags) != 0;
}

std::unique_ptr<OutputFile> Win32Files::createFile(const std::string& path) {
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32OutputFile>(h);
}

std::unique_ptr<InputFile> Win32Files::openRead(const std::string& path) {
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32InputFile>(h);
}

bool Win32Files::setReadOnly(const std::string& path, bool readOnly) {
  DWORD a = attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~FILE_ATTRIBUTE_READONLY);
  return SetFileAttributesW(widen(path).c_str(), a) != 0;
}

bool Win32Files::clearReadOnlyAndHidden(const std::string& path) {
  DWORD a = attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a &= ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  return SetFileAttributesW(widen(path).c_str(), a ? a : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool Win32Files::fileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &d)) return false;
  size = ((uint64_t)d.nFileSizeHigh << 32) | d.nFileSizeLow;
  return true;
}

bool Win32Files::lastWriteTime(const std::string& path, LocalTime& t) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &d)) return false;
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&d.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  t = LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return true;
}

std::string Win32Files::shortPath(const std::string& path) {
  std::wstring w = widen(path);
  DWORD n = GetShortPathNameW(w.c_str(), nullptr, 0);
  if (!n) return path;
  std::wstring buf(n, L'\0');
  n = GetShortPathNameW(w.c_str(), &buf[0], n);
  if (!n) return path;
  buf.resize(n);
  std::string s;
  return narrowExact(buf, s) ? s : path;
}

std::string Win32Files::storedName(const std::string& path) {
  std::wstring w = widen(path);
  DWORD n = GetLongPathNameW(w.c_str(), nullptr, 0);
  if (!n) return {};
  std::wstring largo(n, L'\0');
  n = GetLongPathNameW(w.c_str(), &largo[0], n);
  if (!n || n >= largo.size()) return {};
  largo.resize(n);
  // A wildcard would name whatever the folder lists first.
  if (largo.find_first_of(L"*?") != std::wstring::npos) return {};
  // The long form keeps the letters it was given; the folder's listing has them as stored.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(largo.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return {};
  FindClose(h);
  std::string name;
  return narrowExact(fd.cFileName, name) ? name : std::string();
}

std::string Win32Files::tempFolder() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (!n || n > MAX_PATH + 1) throw Error(systemErrorText(GetLastError()));
  std::string s = nameablePath(std::wstring(buf, n));
  if (s.empty() || s.back() != '\\') s += '\\';
  return s;
}

std::string Win32Files::currentFolder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetCurrentDirectoryW(MAX_PATH, buf);
  if (!n || n >= MAX_PATH) throw Error(systemErrorText(GetLastError()));
  return nameablePath(std::wstring(buf, n));
}

}  // namespace tf
