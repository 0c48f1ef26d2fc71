#include "platform/std_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace tf {

namespace {

fs::path native(const std::string& path) { return fs::u8path(StdFiles::nativePath(path)); }

std::string programPath(const fs::path& p) { return cp1252FromUtf8(p.u8string(), '?'); }

std::FILE* openFile(const std::string& path, bool write) {
#ifdef _WIN32
  std::FILE* f = _wfopen(native(path).c_str(), write ? L"wb" : L"rb");
#else
  std::FILE* f = std::fopen(native(path).c_str(), write ? "wb" : "rb");
#endif
  // The callers move data in large blocks: no second buffer in between.
  if (f) std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

class StdOutputFile : public OutputFile {
 public:
  explicit StdOutputFile(std::FILE* f) : f_(f) {}
  ~StdOutputFile() override { close(); }
  bool write(const void* data, size_t n) override {
    if (!f_ || std::fwrite(data, 1, n, f_) != n) failed_ = true;
    return !failed_;
  }
  bool close() override {
    if (f_) {
      if (std::fclose(f_) != 0) failed_ = true;
      f_ = nullptr;
    }
    return !failed_;
  }

 private:
  std::FILE* f_;
  bool failed_ = false;
};

class StdInputFile : public InputFile {
 public:
  StdInputFile(std::FILE* f, uint64_t size) : f_(f), size_(size) {}
  ~StdInputFile() override { std::fclose(f_); }
  long long read(void* data, size_t n) override {
    size_t got = std::fread(data, 1, n, f_);
    if (got == 0 && std::ferror(f_)) return -1;
    return (long long)got;
  }
  uint64_t size() override { return size_; }
  bool seek(uint64_t offset) override {
#ifdef _WIN32
    return _fseeki64(f_, (long long)offset, SEEK_SET) == 0;
#else
    return fseeko(f_, (off_t)offset, SEEK_SET) == 0;
#endif
  }

 private:
  std::FILE* f_;
  uint64_t size_;
};

}  // namespace

std::string StdFiles::nativePath(const std::string& path) {
  std::string p = utf8FromCp1252(path);
#ifndef _WIN32
  for (char& c : p)
    if (c == '\\') c = '/';
#endif
  return p;
}

bool StdFiles::fileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(native(path), ec);
}

bool StdFiles::folderExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(native(path), ec);
}

bool StdFiles::list(const std::string& pattern, std::vector<FileEntry>& out) {
  out.clear();
  size_t cut = pattern.find_last_of("\\/");
  std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  if (mask != "*" && mask != "*.*") return false;
  std::error_code ec;
  fs::directory_iterator it(native(cut == std::string::npos ? "." : pattern.substr(0, cut)), ec), end;
  if (ec) return false;
  for (; it != end; it.increment(ec)) {
    if (ec) return false;
    FileEntry e;
    std::string utf8 = it->path().filename().u8string();
    e.name = cp1252FromUtf8(utf8, '?');
    e.nameNotRepresentable = utf8FromCp1252(e.name) != utf8 || !isPlainEntryName(e.name);
    e.isReparsePoint = it->is_symlink(ec);
    e.isFolder = it->is_directory(ec);
    if (!e.isFolder) e.sizeLow = (uint32_t)it->file_size(ec);
    out.push_back(e);
  }
  return !out.empty();
}

bool StdFiles::deleteFile(const std::string& path) {
  std::error_code ec;
  fs::path p = native(path);
  if (fs::is_directory(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool StdFiles::removeFolder(const std::string& path) {
  std::error_code ec;
  fs::path p = native(path);
  if (!fs::is_directory(fs::symlink_status(p, ec)) && !fs::is_symlink(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool StdFiles::createFolders(const std::string& path) {
  std::error_code ec;
  fs::path p = native(path);
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool StdFiles::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  std::error_code ec;
  auto opt = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
  return fs::copy_file(native(from), native(to), opt, ec);
}

bool StdFiles::moveFile(const std::string& from, const std::string& to, bool replace) {
  std::error_code ec;
  fs::path t = native(to);
  if (!replace && fs::exists(fs::symlink_status(t, ec))) return false;
  // rename() would also replace an empty folder; a file never replaces a folder here.
  if (fs::is_directory(fs::symlink_status(t, ec))) return false;
  fs::rename(native(from), t, ec);
  return !ec;
}

std::unique_ptr<OutputFile> StdFiles::createFile(const std::string& path) {
  std::FILE* f = openFile(path, true);
  if (!f) return nullptr;
  return std::make_unique<StdOutputFile>(f);
}

std::unique_ptr<InputFile> StdFiles::openRead(const std::string& path) {
  std::error_code ec;
  fs::path p = native(path);
  if (!fs::is_regular_file(p, ec)) return nullptr;
  uint64_t size = fs::file_size(p, ec);
  if (ec) return nullptr;
  std::FILE* f = openFile(path, false);
  if (!f) return nullptr;
  return std::make_unique<StdInputFile>(f, size);
}

bool StdFiles::setReadOnly(const std::string& path, bool readOnly) {
  std::error_code ec;
  auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(native(path), readOnly ? write : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add, ec);
  return !ec;
}

bool StdFiles::clearReadOnlyAndHidden(const std::string& path) { return setReadOnly(path, false); }

bool StdFiles::fileSize(const std::string& path, uint64_t& size) {
  std::error_code ec;
  size = fs::file_size(native(path), ec);
  return !ec;
}

std::string StdFiles::tempFolder() {
  std::error_code ec;
  std::string t = programPath(fs::temp_directory_path(ec));
  if (t.empty() || (t.back() != '/' && t.back() != '\\')) t += fs::path::preferred_separator == '\\' ? '\\' : '/';
  return t;
}

std::string StdFiles::currentFolder() {
  std::error_code ec;
  return programPath(fs::current_path(ec));
}

}  // namespace tf
