// ZIP extraction: the window's unzipper.
//
//   UnZipper zip(files);
//   zip.onArchiveProgress = [&](int percent) { ... };   // 0..100, pumps the window's messages
//   zip.open("C:\\Temp\\utils.zip");                       // throws tf::Error
//   zip.baseDirectory = systemFolder;
//   zip.extractFiles("*.dll");                            // throws tf::Error
//   zip.baseDirectory = utilsFolder;
//   zip.extractFiles("*.exe");
//   zip.close();
//
// open() reads the archive's directory (end record, ZIP64 records, central directory) and keeps
// the entry list; every entry's data then streams from the archive through inflate into the
// file, so memory stays the same whatever the entry sizes. Stored and deflated entries only.
//
// Masks: "*" and "?" wildcards, letters compared without case; "*.*" (or "*") takes every
// entry. A mask without "\" or "/" is matched against the entry's file name, one with a
// separator against its whole stored path. A mask that matches nothing extracts nothing.
//
// Names: entries flagged UTF-8, or carrying the Unicode path extra field, or made on Unix with
// valid UTF-8 names, are read as UTF-8; the rest as code page 437. All become Windows-1252,
// characters it lacks become "_". "/" and "\" both separate folders.
//
// Writing: each file is written under a temporary name in its target folder and renamed over
// the real name only when its size and CRC-32 check out; existing files (read-only ones too)
// are replaced. Before anything of a call to extractFiles is written, the target of every
// matching entry is checked: a stored path that is absolute, has a drive letter or a ":",
// climbs out with "..", or names no file is refused, so nothing lands outside baseDirectory.
// An entry that inflates beyond its declared size is refused while it is being written.
//
// Threads: the entries are inflated, checked and written by worker threads, one per core, in
// batches (zip/extraction.h); the calling thread meanwhile only reports progress, so the
// progress handler and everything it does run on the caller's thread. The first entry that
// fails stops the others, whose temporary files are removed; entries already in place stay.
// The Files port must allow calls from several threads at once on distinct files.
//
// Errors are tf::Error with a Spanish message naming the archive and the entry.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

namespace tf {

struct ZipEntry {
  std::string name;       // as stored, in Windows-1252, with its own separators
  uint64_t size = 0;      // uncompressed
  uint64_t compressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t crc = 0;
  uint16_t method = 0;    // 0 stored, 8 deflated
  uint16_t flags = 0;
  bool isFolder = false;
};

class UnZipper {
 public:
  explicit UnZipper(Files& files);
  ~UnZipper();
  UnZipper(const UnZipper&) = delete;
  UnZipper& operator=(const UnZipper&) = delete;

  // Folder the entries are extracted into (a Windows path, with or without a trailing "\").
  std::string baseDirectory;
  bool createFolders = true;       // create the base folder and the entries' folders as needed
  bool restoreStoredPaths = true;  // keep the entries' folders; otherwise only file names
  // Archive progress of extractFiles, in percent, on the calling thread; called with 0 first
  // and 100 at the end, in between only when the value grows.
  std::function<void(int percent)> onArchiveProgress;
  int threads = 0;  // worker threads for extractFiles; 0: one per core (at most 8)

  void open(const std::string& fileName);  // closes an archive already open
  void close();  // from the progress handler: once the running extraction returns
  bool isOpen() const { return input_ != nullptr; }
  const std::string& fileName() const { return fileName_; }
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // Extracts the entries matching `mask`; returns how many files and folders were written.
  int extractFiles(const std::string& mask);

 private:
  void readDirectory();
  void readAt(uint64_t offset, void* data, size_t n, const ZipEntry* e);
  void progress(uint64_t done, uint64_t total);
  [[noreturn]] void fail(const std::string& what, const ZipEntry* e) const;

  Files& files_;
  std::string fileName_;
  std::unique_ptr<InputFile> input_;
  uint64_t archiveSize_ = 0;
  uint64_t bias_ = 0;        // bytes before the archive proper (a self-extracting stub)
  uint64_t directoryStart_ = 0;
  std::vector<ZipEntry> entries_;
  int lastPercent_ = -1;
  bool extracting_ = false, closePending_ = false;
};

// True when `name` (an entry's stored path, either separator) matches `mask` as described above.
bool zipMaskMatches(const std::string& mask, const std::string& name);

}  // namespace tf
