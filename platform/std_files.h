// The Files port over the C++ standard library, for native tools and tests on real files.
// Paths are Windows-1252 Windows paths as everywhere in the program; "\" becomes "/" and the
// text becomes UTF-8 on the way to the native file system. Only what the ZIP extraction and
// its tools use is implemented; the other operations answer false (or the input).
#pragma once
#include "platform/files.h"

namespace tf {

class StdFiles : public Files {
 public:
  // The native form of a program path: "/" separators, UTF-8.
  static std::string nativePath(const std::string& path);

  bool fileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  // Only patterns whose last part is "*" or "*.*" (everything in a folder).
  bool list(const std::string& pattern, std::vector<FileEntry>& out) override;
  bool deleteFile(const std::string& path) override;
  bool removeFolder(const std::string& path) override;
  bool createFolders(const std::string& path) override;
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool moveFile(const std::string& from, const std::string& to, bool replace) override;
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;
  std::unique_ptr<InputFile> openRead(const std::string& path) override;
  bool setReadOnly(const std::string& path, bool readOnly) override;
  bool clearReadOnlyAndHidden(const std::string& path) override;
  bool fileSize(const std::string& path, uint64_t& size) override;
  bool lastWriteTime(const std::string&, LocalTime&) override { return false; }
  std::string shortPath(const std::string& path) override { return path; }
  std::string storedName(const std::string&) override { return {}; }
  std::string tempFolder() override;
  std::string currentFolder() override;
};

}  // namespace tf
