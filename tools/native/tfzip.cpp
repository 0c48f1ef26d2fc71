// Developer tool over the installer's unzipper, on the native file system.
//   tfzip list ARCHIVE
//   tfzip extract [--flat] [--no-create] [--progress] [--threads=N] ARCHIVE BASEDIR [MASK]
//     MASK "*.*" by default; N worker threads, one per core by default
// Arguments and output are UTF-8; the unzipper itself works in Windows-1252.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/std_files.h"
#include "zip/unzipper.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tfzip list ARCHIVE\n"
               "       tfzip extract [--flat] [--no-create] [--progress] [--threads=N] ARCHIVE BASEDIR [MASK]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string command = argv[1];
  bool flat = false, noCreate = false, showProgress = false;
  int threads = 0;
  int i = 2;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    if (!std::strcmp(argv[i], "--flat")) flat = true;
    else if (!std::strcmp(argv[i], "--no-create")) noCreate = true;
    else if (!std::strcmp(argv[i], "--progress")) showProgress = true;
    else if (!std::strncmp(argv[i], "--threads=", 10) && (threads = std::atoi(argv[i] + 10)) > 0) continue;
    else return usage();
  }
  auto arg = [&](int k) { return tf::cp1252FromUtf8(argv[k], '?'); };
  tf::StdFiles files;
  tf::UnZipper zip(files);
  try {
    if (command == "list" && i + 1 == argc) {
      zip.open(arg(i));
      for (const tf::ZipEntry& e : zip.entries())
        std::printf("%12llu %12llu %s %08x %s\n", (unsigned long long)e.size, (unsigned long long)e.compressedSize,
                    e.method == 0 ? "stored " : e.method == 8 ? "deflate" : "other  ", e.crc,
                    tf::utf8FromCp1252(e.name).c_str());
      std::printf("%zu entries\n", zip.entries().size());
      return 0;
    }
    if (command == "extract" && (i + 2 == argc || i + 3 == argc)) {
      zip.open(arg(i));
      zip.baseDirectory = arg(i + 1);
      zip.restoreStoredPaths = !flat;
      zip.createFolders = !noCreate;
      zip.threads = threads;
      if (showProgress) zip.onArchiveProgress = [](int p) { std::fprintf(stderr, "\r%3d%%", p); };
      int n = zip.extractFiles(i + 3 == argc ? arg(i + 2) : std::string("*.*"));
      if (showProgress) std::fprintf(stderr, "\n%d written\n", n);
      zip.close();
      return 0;
    }
  } catch (const tf::Error& e) {
    std::fprintf(stderr, "tfzip: %s\n", tf::utf8FromCp1252(e.what()).c_str());
    return 1;
  }
  return usage();
}
