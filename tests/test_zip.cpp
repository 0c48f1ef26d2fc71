// The unzipper on real files (the shared cases), plus what only the native side can stage.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include "fakes/fakes.h"
#include "fakes/zip_memoria.h"
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
  zip.threads = 4;
  zip.open(zipEnv().fixtures + "\\many.zip");
  zip.baseDirectory = zipEnv().scratch + "\\cierre";
  std::vector<int> seen;
  zip.onArchiveProgress = [&](int p) {
    seen.push_back(p);
    if (p > 0) zip.close();
    EXPECT_THROW(zip.open(zipEnv().fixtures + "\\utils.zip"), Error);
    EXPECT_THROW(zip.extractFiles("*.*"), Error);
  };
  EXPECT_EQ(zip.extractFiles("*.*"), 99);
  EXPECT_FALSE(zip.isOpen());
  EXPECT_EQ(seen.back(), 100);
}

namespace {

// Stored entries of `size` bytes each, then a small last one.
std::string storedArchive(const std::vector<std::string>& names, size_t size, const std::string& last) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (size_t i = 0; i < names.size(); ++i) entries.push_back({names[i], std::string(size, (char)('a' + i))});
  entries.push_back({last, "pequeño"});
  return zipAlmacenado(entries);
}

bool anyTemporary(FakeFiles& disk) {
  for (const std::string& p : disk.paths())
    if (p.size() > 5 && p.compare(p.size() - 5, 5, ".tfz~") == 0) return true;
  return false;
}

// A disk whose file creations and writes go through hooks first (on the workers' threads).
class HookedDisk : public FakeFiles {
 public:
  std::function<bool(const std::string& path)> create = [](const std::string&) { return true; };
  std::function<void(const std::string& path, size_t n)> beforeWrite = [](const std::string&, size_t) {};
  std::unique_ptr<OutputFile> createFile(const std::string& path) override {
    if (!create(path)) return nullptr;
    struct Out : OutputFile {
      HookedDisk& disk;
      std::string path;
      std::unique_ptr<OutputFile> inner;
      Out(HookedDisk& d, std::string p, std::unique_ptr<OutputFile> i) : disk(d), path(std::move(p)), inner(std::move(i)) {}
      bool write(const void* d, size_t n) override {
        disk.beforeWrite(path, n);
        return inner->write(d, n);
      }
      bool close() override { return inner->close(); }
    };
    auto inner = FakeFiles::createFile(path);
    return inner ? std::make_unique<Out>(*this, path, std::move(inner)) : nullptr;
  }
};

std::string errorOf(UnZipper& zip) {
  try {
    zip.extractFiles("*.*");
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(ZipWorkers, FirstFailureStopsTheOthersPromptly) {
  // The failing entry's file cannot be made; the others' writes wait for that (boundedly), so
  // the failure finds them in the middle of their data.
  HookedDisk disk;
  std::mutex m;
  std::condition_variable cv;
  bool failed = false;
  std::map<std::string, size_t> written;
  disk.create = [&](const std::string& path) {
    if (path != "C:\\App\\falla.bin.tfz~") return true;
    std::lock_guard<std::mutex> lock(m);
    failed = true;
    cv.notify_all();
    return false;
  };
  disk.beforeWrite = [&](const std::string& path, size_t n) {
    std::unique_lock<std::mutex> lock(m);
    bool first = written[path] == 0;
    cv.wait_for(lock, std::chrono::seconds(20), [&] { return failed; });
    written[path] += n;
    lock.unlock();
    // Time for the failing worker to raise its error before this one's next chunk.
    if (!first) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  };
  const size_t size = 4 << 20;
  disk.put("C:\\Temp\\a.zip", storedArchive({"g0.bin", "g1.bin", "g2.bin"}, size, "falla.bin"));
  disk.put("C:\\App\\g1.bin", "anterior");
  UnZipper zip(disk);
  zip.threads = 4;
  zip.baseDirectory = "C:\\App";
  zip.open("C:\\Temp\\a.zip");
  EXPECT_EQ(errorOf(zip), "Error al extraer \"falla.bin\" del archivo \"C:\\Temp\\a.zip\": "
                          "no se pudo escribir el fichero \"C:\\App\\falla.bin\"");
  EXPECT_FALSE(anyTemporary(disk));
  EXPECT_FALSE(disk.has("C:\\App\\g0.bin") || disk.has("C:\\App\\g2.bin"));
  EXPECT_EQ(disk.content("C:\\App\\g1.bin"), "anterior");
  for (const char* g : {"g0", "g1", "g2"}) EXPECT_LT(written[std::string("C:\\App\\") + g + ".bin.tfz~"], size / 2) << g;
}

TEST(ZipWorkers, WhatAWorkerThrowsBecomesTheEntrysError) {
  struct Case {
    std::function<void()> raise;
    const char* why;
  } cases[] = {{[] { throw std::bad_alloc(); }, "no hay memoria suficiente"},
               {[] { throw std::runtime_error("disco"); }, "error inesperado (disco)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HookedDisk disk;
    disk.beforeWrite = [&](const std::string& path, size_t) {
      if (path == "C:\\App\\g2.bin.tfz~") c.raise();
    };
    disk.put("C:\\Temp\\a.zip", storedArchive({"g0.bin", "g1.bin", "g2.bin", "g3.bin"}, 300000, "ultimo.txt"));
    UnZipper zip(disk);
    zip.threads = 4;
    zip.baseDirectory = "C:\\App";
    zip.open("C:\\Temp\\a.zip");
    EXPECT_EQ(errorOf(zip), "Error al extraer \"g2.bin\" del archivo \"C:\\Temp\\a.zip\": " + std::string(c.why));
    EXPECT_FALSE(disk.has("C:\\App\\g2.bin"));
    EXPECT_FALSE(anyTemporary(disk));
  }
}

TEST(ZipWorkers, AHandlerThatThrowsStopsTheWorkers) {
  FakeFiles disk;
  std::vector<std::string> names;
  for (int i = 0; i < 20; ++i) names.push_back("f" + std::to_string(i) + ".bin");
  disk.put("C:\\Temp\\a.zip", storedArchive(names, 200000, "ultimo.txt"));
  UnZipper zip(disk);
  zip.threads = 4;
  zip.baseDirectory = "C:\\App";
  zip.open("C:\\Temp\\a.zip");
  zip.onArchiveProgress = [](int p) {
    if (p >= 10) throw std::runtime_error("ventana cerrada");
  };
  EXPECT_THROW(zip.extractFiles("*.*"), std::runtime_error);
  EXPECT_FALSE(anyTemporary(disk));
  EXPECT_FALSE(disk.has("C:\\App\\ultimo.txt"));
}

// Windows compares names without case: "dup.bin" and "DUP.BIN" are one file, and the temporary
// file of "x.bin" is the target of "x.bin.tfz~". Such entries end as one after the other would.
TEST(ZipWorkers, EntriesWritingTheSameFileKeepArchiveOrder) {
  FakeFiles disk;
  const size_t mib = 1 << 20;
  disk.put("C:\\Temp\\a.zip", zipAlmacenado({{"dup.bin", std::string(mib, 'a')},
                                             {"x.bin", std::string(mib, 'x')},
                                             {"relleno.bin", std::string(mib, 'r')},
                                             {"x.bin.tfz~", std::string(mib, 't')},
                                             {"DUP.BIN", std::string(mib, 'b')}}));
  UnZipper zip(disk);
  zip.threads = 4;
  zip.baseDirectory = "C:\\App";
  zip.open("C:\\Temp\\a.zip");
  EXPECT_EQ(zip.extractFiles("*.*"), 5);
  EXPECT_TRUE(disk.content("C:\\App\\dup.bin") == std::string(mib, 'b'));
  EXPECT_TRUE(disk.content("C:\\App\\x.bin") == std::string(mib, 'x'));
  EXPECT_TRUE(disk.content("C:\\App\\x.bin.tfz~") == std::string(mib, 't'));
  EXPECT_FALSE(disk.has("C:\\App\\dup.bin.tfz~"));
}
