// Unzipper cases shared by the native tests (real files through StdFiles) and the Wine tests
// (Win32Files). The includer defines zipEnv(): the Files port, the folder holding the archives
// made by tests/fixtures/make_zips.py, and an empty scratch folder.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "zip/unzipper.h"

struct ZipTestEnv {
  tf::Files* files;
  std::string fixtures;  // program path, no trailing separator
  std::string scratch;
};
ZipTestEnv& zipEnv();

class ZipCase : public ::testing::Test {
 protected:
  tf::Files& fs = *zipEnv().files;
  std::string out;

  void SetUp() override {
    out = zipEnv().scratch + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  static std::string fix(const std::string& name) { return zipEnv().fixtures + "\\" + name; }
  std::string read(const std::string& path) {
    std::string s;
    EXPECT_TRUE(fs.readFile(path, s)) << path;
    return s;
  }
  std::string source(const std::string& rel) { return read(fix("src\\" + rel)); }
  std::string manySource(const std::string& rel) { return read(fix("many_src\\" + rel)); }
  // Names in a folder, sorted, without "." and "..".
  std::vector<std::string> names(const std::string& folder) {
    std::vector<tf::FileEntry> list;
    std::vector<std::string> r;
    fs.list(folder + "\\*", list);
    for (auto& e : list)
      if (e.name != "." && e.name != "..") r.push_back(e.name + (e.isFolder ? "\\" : ""));
    std::sort(r.begin(), r.end());
    return r;
  }
  // Files under a folder and its subfolders, relative, sorted.
  std::vector<std::string> allFiles(const std::string& folder, const std::string& prefix = "") {
    std::vector<tf::FileEntry> list;
    std::vector<std::string> r;
    fs.list(folder + "\\*", list);
    for (auto& e : list) {
      if (e.name == "." || e.name == "..") continue;
      if (!e.isFolder) {
        r.push_back(prefix + e.name);
        continue;
      }
      for (auto& f : allFiles(folder + "\\" + e.name, prefix + e.name + "\\")) r.push_back(f);
    }
    std::sort(r.begin(), r.end());
    return r;
  }
  // Runs `f` and returns the message of the tf::Error it must throw.
  template <class F>
  std::string errorOf(F f) {
    try {
      f();
    } catch (const tf::Error& e) {
      return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
  }
};

const char* const kAccented = "Configuración\\año ñandú.txt";

TEST_F(ZipCase, RealWorldArchivesExtractWhole) {
  for (const char* archive : {"infozip.zip", "infozip_stored.zip", "python.zip", "python_stream.zip"}) {
    SCOPED_TRACE(archive);
    tf::UnZipper zip(fs);
    std::vector<int> seen;
    zip.onArchiveProgress = [&](int p) { seen.push_back(p); };
    zip.open(fix(archive));
    ASSERT_EQ(zip.entries().size(), 10u);
    std::string base = out + "\\" + archive;
    zip.baseDirectory = base;
    EXPECT_EQ(zip.extractFiles("*.*"), 10);
    zip.close();
    for (const char* f : {"Leeme.txt", "bin\\datos.bin", "docs\\sub\\profundo.txt", kAccented})
      EXPECT_TRUE(read(base + "\\" + f) == source(f)) << f;
    EXPECT_TRUE(fs.fileExists(base + "\\vacio.txt"));
    EXPECT_EQ(read(base + "\\vacio.txt"), "");
    EXPECT_TRUE(fs.folderExists(base + "\\carpeta_vacia"));
    EXPECT_EQ(names(base), (std::vector<std::string>{"Configuración\\", "Leeme.txt", "bin\\", "carpeta_vacia\\",
                                                     "docs\\", "vacio.txt"}));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) &&
                std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  }
}

TEST_F(ZipCase, DataDescriptorsAndZip64) {
  tf::UnZipper zip(fs);
  zip.baseDirectory = out;
  zip.open(fix("infozip_stream.zip"));
  zip.extractFiles("*.*");
  EXPECT_TRUE(read(out + "\\docs\\sub\\profundo.txt") == source("docs\\sub\\profundo.txt"));
  EXPECT_EQ(read(out + "\\Leeme.txt"), source("Leeme.txt"));
  zip.open(fix("infozip_stdin.zip"));  // ZIP64 local header and data descriptor, entry "-"
  zip.extractFiles("*.*");
  EXPECT_TRUE(read(out + "\\-") == source("docs\\sub\\profundo.txt"));
  zip.open(fix("zip64.zip"));
  ASSERT_EQ(zip.entries().size(), 2u);
  EXPECT_EQ(zip.entries()[0].size, 3000u);
  zip.extractFiles("*.*");
  std::string uno;
  for (int i = 0; i < 1000; ++i) uno += "uno";
  EXPECT_EQ(read(out + "\\grande\\uno.txt"), uno);
  EXPECT_EQ(read(out + "\\dos.txt"), "dos\n");
  zip.open(fix("prefixed.zip"));  // offsets not adjusted for the bytes in front
  zip.extractFiles("*.*");
  EXPECT_EQ(read(out + "\\dentro.txt"), "tras el stub\n");
}

TEST_F(ZipCase, NamesFromEveryEncodingAndSeparator) {
  tf::UnZipper zip(fs);
  zip.baseDirectory = out;
  zip.open(fix("dos.zip"));
  EXPECT_EQ(zip.entries()[1].name, "año\\Información.txt");
  EXPECT_EQ(zip.extractFiles("*.*"), 3);
  EXPECT_EQ(read(out + "\\dir\\sub\\f.txt"), "barras\n");
  EXPECT_EQ(read(out + "\\año\\Información.txt"), "cp437\n");
  EXPECT_TRUE(fs.folderExists(out + "\\VACIA"));
  zip.open(fix("unicode.zip"));
  zip.extractFiles("*.*");
  EXPECT_EQ(read(out + "\\precio_€_año.txt"), "extra unicode\n");
  EXPECT_EQ(read(out + "\\___ok.txt"), "utf8\n");
}

TEST_F(ZipCase, MasksPlaceEntriesByPattern) {
  tf::UnZipper zip(fs);
  zip.open(fix("utils.zip"));
  std::string system = out + "\\system32", utils = out + "\\Utils", client = out + "\\Ticador";
  zip.baseDirectory = system;
  EXPECT_EQ(zip.extractFiles("*.dll"), 2);
  zip.baseDirectory = system;
  EXPECT_EQ(zip.extractFiles("*.ocx"), 1);
  zip.baseDirectory = utils;
  EXPECT_EQ(zip.extractFiles("*.exe"), 2);
  zip.baseDirectory = client;
  EXPECT_EQ(zip.extractFiles("kvt_ticador.exe"), 1);
  EXPECT_EQ(names(system), (std::vector<std::string>{"ZKEMKEEPER.DLL", "biokey.ocx", "midas.dll"}));
  EXPECT_EQ(names(utils), (std::vector<std::string>{"kvt_ticador.exe", "otra.exe"}));
  EXPECT_EQ(names(client), (std::vector<std::string>{"kvt_ticador.exe"}));
  EXPECT_EQ(read(client + "\\kvt_ticador.exe"), "kvt_ticador.exe contenido\n");

  std::vector<int> seen;
  zip.onArchiveProgress = [&](int p) { seen.push_back(p); };
  zip.baseDirectory = out + "\\nada";
  EXPECT_EQ(zip.extractFiles("*.xyz"), 0);
  EXPECT_FALSE(fs.folderExists(out + "\\nada"));
  EXPECT_EQ(seen, (std::vector<int>{0, 100}));
}

TEST_F(ZipCase, ExistingFilesAreReplaced) {
  ASSERT_TRUE(fs.createFolders(out + "\\docs\\sub"));
  ASSERT_TRUE(fs.writeFile(out + "\\Leeme.txt", std::string(100000, 'v')));
  ASSERT_TRUE(fs.writeFile(out + "\\docs\\sub\\profundo.txt", "viejo"));
  ASSERT_TRUE(fs.setReadOnly(out + "\\docs\\sub\\profundo.txt", true));
  tf::UnZipper zip(fs);
  zip.baseDirectory = out;
  zip.open(fix("python.zip"));
  zip.extractFiles("*.txt");
  EXPECT_EQ(read(out + "\\Leeme.txt"), source("Leeme.txt"));
  EXPECT_TRUE(read(out + "\\docs\\sub\\profundo.txt") == source("docs\\sub\\profundo.txt"));
  EXPECT_EQ(names(out + "\\docs\\sub"), std::vector<std::string>{"profundo.txt"});
}

TEST_F(ZipCase, FlatAndWithoutCreatingFolders) {
  tf::UnZipper zip(fs);
  zip.open(fix("infozip.zip"));
  zip.baseDirectory = out + "\\falta";
  zip.createFolders = false;
  std::string msg = errorOf([&] { zip.extractFiles("*.*"); });
  EXPECT_NE(msg.find("no existe el directorio"), std::string::npos) << msg;
  EXPECT_FALSE(fs.folderExists(out + "\\falta"));

  ASSERT_TRUE(fs.createFolders(out + "\\plano"));
  zip.baseDirectory = out + "\\plano";
  zip.restoreStoredPaths = false;
  EXPECT_EQ(zip.extractFiles("*.*"), 5);
  EXPECT_EQ(names(out + "\\plano"), (std::vector<std::string>{"Leeme.txt", "año ñandú.txt", "datos.bin",
                                                              "profundo.txt", "vacio.txt"}));
  // Without stored paths a climbing name lands inside the base folder by its file name.
  zip.open(fix("hostile_climb.zip"));
  zip.extractFiles("*.*");
  EXPECT_EQ(read(out + "\\plano\\evil.txt"), "malicioso\n");
}

TEST_F(ZipCase, HostilePathsAreRefusedAndNothingIsWritten) {
  struct Case {
    const char* archive;
    const char* entry;
  } cases[] = {{"hostile_climb.zip", "../evil.txt"},
               {"hostile_climb_deep.zip", "sub/../../evil.txt"},
               {"hostile_climb_backslash.zip", "sub\\..\\..\\evil.txt"},
               {"hostile_absolute.zip", "/abs_evil.txt"},
               {"hostile_absolute_backslash.zip", "\\abs_evil.txt"},
               {"hostile_drive.zip", "C:\\evil.txt"},
               {"hostile_drive_relative.zip", "C:evil.txt"},
               {"hostile_stream.zip", "ok.txt:oculto"},
               {"bad_name.zip", "sub/con.txt"},
               {"many_climb_last.zip", "../evil.txt"}};  // after enough entries for every worker
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    tf::UnZipper zip(fs);
    std::string base = out + "\\a\\b";
    zip.baseDirectory = base;
    zip.open(fix(c.archive));
    std::string msg = errorOf([&] { zip.extractFiles("*.*"); });
    EXPECT_NE(msg.find(std::string("\"") + c.entry + "\""), std::string::npos) << msg;
    EXPECT_NE(msg.find(c.archive), std::string::npos) << msg;
    EXPECT_NE(msg.find("no se ha extraído nada"), std::string::npos) << msg;
    EXPECT_FALSE(fs.folderExists(base));
    EXPECT_EQ(names(out), std::vector<std::string>{});
    EXPECT_FALSE(fs.fileExists("C:\\evil.txt"));
  }
}

TEST_F(ZipCase, DamagedEntriesNameArchiveAndEntryAndLeaveNoFile) {
  struct Case {
    const char* archive;
    const char* entry;
    const char* why;
    bool okWritten;  // entries before the broken one stay
  } cases[] = {{"bad_crc.zip", "roto.txt", "CRC-32", true},
               {"bad_crc_stored.zip", "roto.txt", "CRC-32", false},
               {"bomb.zip", "bomba.bin", "superan el tamaño declarado", false},
               {"short_size.zip", "corto.txt", "no coincide con el declarado", false},
               {"cut_entry.zip", "cortado.bin", "incompleto", true},
               {"method.zip", "bzip2.bin", "no soportado (12)", false},
               {"encrypted.zip", "secreto.txt", "cifrada", false},
               {"many_encrypted_last.zip", "secreto.txt", "cifrada", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    tf::UnZipper zip(fs);
    std::string base = out + "\\" + c.archive;
    zip.baseDirectory = base;
    zip.open(fix(c.archive));
    std::string msg = errorOf([&] { zip.extractFiles("*.*"); });
    EXPECT_NE(msg.find(std::string("\"") + c.entry + "\""), std::string::npos) << msg;
    EXPECT_NE(msg.find(fix(c.archive)), std::string::npos) << msg;
    EXPECT_NE(msg.find(c.why), std::string::npos) << msg;
    EXPECT_EQ(names(base), c.okWritten ? std::vector<std::string>{"ok.txt"} : std::vector<std::string>{});
  }
}

TEST_F(ZipCase, BrokenFileKeepsTheOldOneAndNoTemporary) {
  ASSERT_TRUE(fs.createFolders(out));
  ASSERT_TRUE(fs.writeFile(out + "\\roto.txt", "anterior"));
  tf::UnZipper zip(fs);
  zip.baseDirectory = out;
  zip.open(fix("bad_crc.zip"));
  EXPECT_THROW(zip.extractFiles("roto.txt"), tf::Error);
  EXPECT_EQ(read(out + "\\roto.txt"), "anterior");
  EXPECT_EQ(names(out), std::vector<std::string>{"roto.txt"});

  // A folder where the file should go: the rename fails, the entry is named, nothing stays.
  ASSERT_TRUE(fs.createFolders(out + "\\Leeme.txt"));
  zip.open(fix("infozip.zip"));
  std::string msg = errorOf([&] { zip.extractFiles("Leeme.txt"); });
  EXPECT_NE(msg.find("\"Leeme.txt\""), std::string::npos) << msg;
  EXPECT_EQ(names(out), (std::vector<std::string>{"Leeme.txt\\", "roto.txt"}));
}

TEST_F(ZipCase, ArchivesThatCannotBeOpened) {
  for (const char* archive : {"cut_short.zip", "damaged_directory.zip", "wrong_count.zip", "not_a_zip.zip",
                              "no_existe.zip"}) {
    SCOPED_TRACE(archive);
    tf::UnZipper zip(fs);
    std::string msg = errorOf([&] { zip.open(fix(archive)); });
    EXPECT_NE(msg.find(std::string("\"") + fix(archive) + "\""), std::string::npos) << msg;
    EXPECT_FALSE(zip.isOpen());
    EXPECT_THROW(zip.extractFiles("*.*"), tf::Error);
  }
  tf::UnZipper zip(fs);
  zip.baseDirectory = out;
  zip.open(fix("empty.zip"));  // a valid archive without entries
  EXPECT_TRUE(zip.entries().empty());
  EXPECT_EQ(zip.extractFiles("*.*"), 0);
  EXPECT_FALSE(fs.folderExists(out));
}

// The archives of many entries keep several workers busy; threads 0 takes one per core, 4 makes
// workers share cores wherever the tests run.
TEST_F(ZipCase, ManyEntriesOnEveryCore) {
  for (int threads : {0, 4}) {
    SCOPED_TRACE(threads);
    tf::UnZipper zip(fs);
    zip.threads = threads;
    std::vector<int> seen;
    bool elsewhere = false;
    std::thread::id caller = std::this_thread::get_id();
    zip.onArchiveProgress = [&](int p) {
      seen.push_back(p);
      elsewhere = elsewhere || std::this_thread::get_id() != caller;
    };
    zip.open(fix("many.zip"));
    std::string base = out + "\\" + std::to_string(threads);
    zip.baseDirectory = base;
    EXPECT_EQ(zip.extractFiles("*.*"), 99);
    std::vector<std::string> files = allFiles(base);
    ASSERT_EQ(files, allFiles(fix("many_src")));
    for (const std::string& f : files) ASSERT_TRUE(read(base + "\\" + f) == manySource(f)) << f;
    EXPECT_FALSE(elsewhere) << "progress raised off the caller's thread";
    ASSERT_GE(seen.size(), 10u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) &&
                std::adjacent_find(seen.begin(), seen.end()) == seen.end());
  }
}

// The bad entry fails while others are being written: it alone is named, and what stays on
// disk is whole files only, never a temporary one.
TEST_F(ZipCase, FailureInTheMiddleLeavesOnlyWholeFiles) {
  for (const char* archive : {"many_bad_crc_middle.zip", "many_cut_middle.zip"}) {
    SCOPED_TRACE(archive);
    tf::UnZipper zip(fs);
    zip.threads = 4;
    std::string base = out + "\\" + archive;
    zip.baseDirectory = base;
    zip.open(fix(archive));
    std::string msg = errorOf([&] { zip.extractFiles("*.*"); });
    EXPECT_EQ(msg.find("Error al extraer \"roto/medio.txt\" del archivo \"" + fix(archive) + "\": "), 0u) << msg;
    std::vector<std::string> left = allFiles(base);
    for (const std::string& f : left) {
      EXPECT_EQ(f.find(".tfz~"), std::string::npos) << f;
      EXPECT_NE(f, "roto\\medio.txt");
      if (f.find(".tfz~") == std::string::npos && f != "roto\\medio.txt") {
        EXPECT_TRUE(read(base + "\\" + f) == manySource(f)) << f;
      }
    }
    zip.close();
  }
}
