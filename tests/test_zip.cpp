// The unzipper on real files (the shared cases), plus what only the native side can stage.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "fakes/fakes.h"
#include "platform/codepage.h"
#include "platform/std_files.h"
#include "zip_cases.h"

namespace fs = std::filesystem;
using namespace tf;

namespace {

// Archives are made once per run, into a private temporary folder removed at exit.
struct NativeZipEnv {
  StdFiles files;
  fs::path dir;
  ZipTestEnv env;
  NativeZipEnv() {
    dir = fs::temp_directory_path() / ("tf_zip_tests_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    fs::path script = fs::path(__FILE__).parent_path() / "fixtures" / "make_zips.py";
    std::string cmd = "python3 '" + script.string() + "' '" + (dir / "zips").string() + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "could not make the test archives: " << cmd;
    env = {&files, cp1252FromUtf8((dir / "zips").string()), cp1252FromUtf8((dir / "out").string())};
  }
  ~NativeZipEnv() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace

ZipTestEnv& zipEnv() {
  static NativeZipEnv native;
  return native.env;
}

TEST(ZipMask, WildcardsWithoutCaseOnFileNameOrWholePath) {
  EXPECT_TRUE(zipMaskMatches("*.*", "sin_punto"));
  EXPECT_TRUE(zipMaskMatches("*.*", "dir/sub/"));
  EXPECT_TRUE(zipMaskMatches("*.dll", "sub/MIDAS.DLL"));
  EXPECT_FALSE(zipMaskMatches("*.dll", "midas.dll.bak"));
  EXPECT_FALSE(zipMaskMatches("*.dll", "lib.dll/readme.txt"));
  EXPECT_TRUE(zipMaskMatches("kvt_ticador.exe", "KVT_Ticador.EXE"));
  EXPECT_FALSE(zipMaskMatches("kvt_ticador.exe", "xkvt_ticador.exe"));
  EXPECT_TRUE(zipMaskMatches("?ño*.TXT", "año ñandú.txt"));
  EXPECT_TRUE(zipMaskMatches("AÑO.txt", "año.txt"));  // Latin letters fold too
  EXPECT_TRUE(zipMaskMatches("bin\\*.exe", "bin/tool.exe"));
  EXPECT_FALSE(zipMaskMatches("bin\\*.exe", "tool.exe"));
  EXPECT_TRUE(zipMaskMatches("*a*b*c", "xaxxbxxxc"));
  EXPECT_FALSE(zipMaskMatches("*a*b*c", "xaxxbxxxcd"));
}

TEST(CodePage, NamesBecomeWindows1252) {
  // Sources become Windows-1252, so UTF-8 input is spelled in escapes.
  EXPECT_EQ(cp1252FromUtf8("a\xC3\xB1o \xE2\x82\xAC\xE2\x84\xA2"), "año €™");
  EXPECT_EQ(cp1252FromUtf8("\xE6\x97\xA5\xFF"), "__");  // a CJK character and a stray byte
  EXPECT_FALSE(isValidUtf8("a\xC3"));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));  // overlong "/"
  EXPECT_TRUE(isValidUtf8("Configuraci\xC3\xB3n"));
  EXPECT_EQ(cp1252FromCp437("a\xA4o \xA2 \x80 \xE1 \xB0"), "año ó Ç ß _");
  std::string all;
  for (int c = 1; c < 256; ++c) all += (char)c;
  EXPECT_EQ(cp1252FromUtf8(utf8FromCp1252(all)), all);
}

namespace {

// A disk that fills up after `room` bytes.
class FullDisk : public FakeFiles {
 public:
  size_t room = 1000;
  std::unique_ptr<OutputFile> createFile(const std::string& path) override {
    auto inner = FakeFiles::createFile(path);
    if (!inner) return nullptr;
    struct Out : OutputFile {
      std::unique_ptr<OutputFile> inner;
      size_t& room;
      Out(std::unique_ptr<OutputFile> i, size_t& r) : inner(std::move(i)), room(r) {}
      bool write(const void* d, size_t n) override {
        if (n > room) return false;
        room -= n;
        return inner->write(d, n);
      }
      bool close() override { return inner->close(); }
    };
    return std::make_unique<Out>(std::move(inner), room);
  }
};

}  // namespace

TEST(ZipFakeDisk, FullDiskKeepsOldFileAndLeavesNoTemporary) {
  FullDisk disk;
  std::string archive;
  ASSERT_TRUE(zipEnv().files->readFile(zipEnv().fixtures + "\\python.zip", archive));
  disk.put("C:\\Temp\\python.zip", archive);
  disk.put("C:\\App\\docs\\sub\\profundo.txt", "anterior");
  UnZipper zip(disk);
  zip.open("C:\\Temp\\python.zip");
  zip.baseDirectory = "C:\\App";
  std::string msg;
  try {
    zip.extractFiles("profundo.txt");
  } catch (const Error& e) {
    msg = e.what();
  }
  EXPECT_EQ(msg, "Error al extraer \"docs/sub/profundo.txt\" del archivo \"C:\\Temp\\python.zip\": "
                 "no se pudo escribir el fichero \"C:\\App\\docs\\sub\\profundo.txt\"");
  EXPECT_EQ(disk.content("C:\\App\\docs\\sub\\profundo.txt"), "anterior");
  EXPECT_FALSE(disk.has("C:\\App\\docs\\sub\\profundo.txt.tfz~"));
}

TEST(ZipProgress, CloseFromTheHandlerWaitsForTheExtraction) {
  UnZipper zip(*zipEnv().files);
  zip.open(zipEnv().fixtures + "\\infozip.zip");
  zip.baseDirectory = zipEnv().scratch + "\\cierre";
  std::vector<int> seen;
  zip.onArchiveProgress = [&](int p) {
    seen.push_back(p);
    if (p > 0) zip.close();
    EXPECT_THROW(zip.open(zipEnv().fixtures + "\\utils.zip"), Error);
  };
  EXPECT_EQ(zip.extractFiles("*.*"), 10);
  EXPECT_FALSE(zip.isOpen());
  EXPECT_EQ(seen.back(), 100);
}
