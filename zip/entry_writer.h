// Writing entries of an open archive to their targets: the job of each extraction worker.
// A writer owns its handle on the archive and its buffers, so several run at once; everything
// it touches besides them is a call on the Files port for its own entry's paths.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "zip/unzipper.h"

namespace tf {

// What every writer of one extraction reads and none changes.
struct ZipSource {
  Files* files = nullptr;
  std::string archive;  // the archive's name, for messages
  uint64_t size = 0;    // of the archive file
  uint64_t bias = 0;    // bytes before the archive proper (a self-extracting stub)
  uint64_t directoryStart = 0;
  bool createFolders = true;
};

struct ZipTarget {
  const ZipEntry* entry;
  std::string path;  // full target path; for a folder entry, the folder
};

// Where a writer reports what it has done and learns that the extraction is stopping.
class ZipWork {
 public:
  // `n` more units done: compressed bytes read, and 1 for each entry finished.
  virtual void advance(uint64_t n) = 0;
  virtual bool stopping() const = 0;

 protected:
  ~ZipWork() = default;
};

// Thrown out of EntryWriter::write when the extraction stops because another entry failed.
struct ZipStopped {};

inline constexpr const char* kZipIncomplete = "el archivo está incompleto o dañado";

// "Error al extraer "<entry>" del archivo "<archive>": <what>"
std::string zipEntryError(const std::string& archive, const ZipEntry& e, const std::string& what);

class EntryWriter {
 public:
  EntryWriter(const ZipSource& source, InputFile& input, ZipWork& work);
  // A folder entry makes its folder; a file entry is written under "<path>.tfz~" and renamed
  // over `path` once its size and CRC-32 check out. Throws tf::Error naming the entry, or
  // ZipStopped; either way no temporary file is left.
  void write(const ZipTarget& t);

 private:
  void ensureFolder(const std::string& folder, const ZipEntry& e);
  void writeFile(const ZipEntry& e, const std::string& path);
  void readAt(uint64_t offset, void* data, size_t n, const ZipEntry& e);
  size_t readChunk(const ZipEntry& e, uint64_t& left);
  [[noreturn]] void fail(const ZipEntry& e, const std::string& what) const;

  const ZipSource& source_;
  InputFile& input_;
  ZipWork& work_;
  std::vector<unsigned char> in_, out_;
  std::vector<std::string> madeFolders_;
};

}  // namespace tf
