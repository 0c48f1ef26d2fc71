// File system port. Paths are Windows-1252 Windows paths.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace tf {

struct FileEntry {
  std::string name;
  bool isFolder = false;
  bool isVolumeLabel = false;
  bool isReparsePoint = false;  // junction or symbolic link: never descend into it
  bool readOnly = false;
  uint32_t sizeLow = 0;
  // The system's name does not convert to Windows-1252 and back to itself (or holds a separator
  // or wildcard): `name` is only its "?" form, for a log line. A path built from it would name
  // another file, so never delete, open or descend into such an entry.
  bool nameNotRepresentable = false;
};

// True when `name` can only name an entry of the folder it was listed in: not empty, no "\",
// "/", ":", wildcard or control character ("." and ".." pass; callers handle them).
bool isPlainEntryName(const std::string& name);

// What became of a file's deletion.
enum class FileDeletion {
  Deleted,
  InUse,   // another program holds it open without delete sharing, or runs it
  Failed,  // anything else: read-only, no right to delete it, not there, a folder
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool write(const void* data, size_t n) = 0;
  virtual bool close() = 0;  // flushes; false when data could not be written
};

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Bytes read (0 at the end); -1 on error.
  virtual long long read(void* data, size_t n) = 0;
  virtual uint64_t size() = 0;
  // Moves the read position to `offset` from the start; false when the file cannot seek.
  virtual bool seek(uint64_t offset) {
    (void)offset;
    return false;
  }
};

// Calls may come from several threads at once (the unzipper's workers each write their own
// files): implementations keep no state between calls, or guard it. An OutputFile or InputFile
// is used by one thread at a time.
class Files {
 public:
  virtual ~Files() = default;
  virtual bool fileExists(const std::string& path) = 0;    // a file, not a folder
  virtual bool folderExists(const std::string& path) = 0;
  // Lists `pattern` (for example "C:\dir\*.*") like the system's find-first/next,
  // including "." and ".." where the system gives them. False when nothing matches.
  virtual bool list(const std::string& pattern, std::vector<FileEntry>& out) = 0;
  virtual bool deleteFile(const std::string& path) = 0;    // also removes a link entry
  // deleteFile for a plain file, telling a file in use from other failures. A read-only file
  // is never "in use": its deletion fails whoever holds it.
  virtual FileDeletion deleteFileTellingWhy(const std::string& path);
  // Asks the system to delete the file, or the folder when it is empty by then, the next time
  // it starts. False when the system refuses (its list is the administrators').
  virtual bool deleteAtRestart(const std::string& path);
  virtual bool removeFolder(const std::string& path) = 0;  // empty folders or links only
  virtual bool createFolders(const std::string& path) = 0; // with every missing parent
  virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual bool moveFile(const std::string& from, const std::string& to, bool replace) = 0;
  // Whole-file helpers over openRead/createFile.
  virtual bool readFile(const std::string& path, std::string& out);
  virtual bool writeFile(const std::string& path, const std::string& data);
  virtual std::unique_ptr<OutputFile> createFile(const std::string& path) = 0;  // truncates
  virtual std::unique_ptr<InputFile> openRead(const std::string& path) = 0;
  virtual bool setReadOnly(const std::string& path, bool readOnly) = 0;
  virtual bool clearReadOnlyAndHidden(const std::string& path) = 0;
  virtual bool fileSize(const std::string& path, uint64_t& size) = 0;
  // Last-write time as local time; false when the file does not exist.
  virtual bool lastWriteTime(const std::string& path, LocalTime& t) = 0;
  virtual std::string shortPath(const std::string& path) = 0;  // 8.3 form; the input when none
  // The file's name as its folder stores it: the long name, in the letter case on disk, also
  // when `path` gives a short (8.3) name or another case. "" when it cannot be told.
  virtual std::string storedName(const std::string& path) = 0;
  // These two throw Error when the system cannot tell the folder, or only by a name that would
  // convert to another place.
  virtual std::string tempFolder() = 0;  // with a trailing "\"
  virtual std::string currentFolder() = 0;
};

// A file deleted when the guard goes unless kept: a download's temporary file on every way
// out, also when a step throws.
class FicheroTemporal {
 public:
  explicit FicheroTemporal(Files& files, std::string path = "") : files_(files), path_(std::move(path)) {}
  ~FicheroTemporal() {
    if (!path_.empty()) files_.deleteFile(path_);
  }
  FicheroTemporal(const FicheroTemporal&) = delete;
  FicheroTemporal& operator=(const FicheroTemporal&) = delete;

  const std::string& ruta() const { return path_; }
  void asignar(std::string path) { path_ = std::move(path); }
  void conservar() { path_.clear(); }
  // Deletes it now; false when the file could not be deleted.
  bool descartar() {
    bool ok = path_.empty() || files_.deleteFile(path_);
    path_.clear();
    return ok;
  }

 private:
  Files& files_;
  std::string path_;
};

}  // namespace tf
