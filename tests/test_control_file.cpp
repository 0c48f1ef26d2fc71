#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "update/control_file.h"

using namespace tf;

TEST(ControlFileIni, SectionsKeysDefaultsAndIntegers) {
  IniText ini(
      "; comment\r\n[Update]\r\nDescr = Paquete de junio \r\nNewSize=12x\r\nnewchecksum=-7\r\n"
      "[files]\r\ncount=\"3\"\r\n[update]\r\ndescr=second\r\nbig=2147483648\r\n");
  EXPECT_EQ(ini.readString("UPDATE", "descr", "x"), "Paquete de junio");  // trimmed, first wins
  EXPECT_EQ(ini.readString("update", "missing", "def"), "def");
  EXPECT_EQ(ini.readInteger("update", "newsize", 0), 0);  // does not parse
  EXPECT_EQ(ini.readInteger("update", "newchecksum", -1), -7);
  EXPECT_EQ(ini.readInteger("update", "big", 5), 5);      // out of range
  EXPECT_EQ(ini.readInteger("files", "count", 0), 3);     // quotes dropped
  EXPECT_EQ(ini.readInteger("nosection", "count", 9), 9);
}

TEST(ControlFileVersion, TextsAndWords) {
  FileVersion v = parseVersion("2,1");
  ASSERT_TRUE(v.valid);
  EXPECT_EQ(versionText(v), "2.1.0.0");
  EXPECT_EQ(v.hi, 2 * 65536 + 1);
  EXPECT_EQ(v.lo, 0);
  EXPECT_EQ(versionText(parseVersion("5")), "5.0.0.0");
  EXPECT_EQ(versionText(parseVersion("10.1.26.3")), "10.1.26.3");
  FileVersion w = parseVersion("1.2.3.4");
  EXPECT_EQ(w.lo, 3 * 65536 + 4);
  EXPECT_FALSE(parseVersion("beta").valid);
  EXPECT_FALSE(parseVersion("").valid);
  EXPECT_FALSE(parseVersion("1.2.3.4.5").valid);
  EXPECT_FALSE(parseVersion("2,1.5").valid);  // with a comma the comma separates
  // A major of 32768 or more makes the high word negative: signed words, as vendor files expect.
  EXPECT_LT(parseVersion("40000.0").hi, 0);
}

TEST(ControlFileDates, FormatsOrderAndFallbacks) {
  DateSettings ds;
  LocalTime t = controlMoment("31/12/2099", "23:59", ds);
  EXPECT_EQ(t.year, 2099);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  LocalTime bad = controlMoment("31/02/2024", "10:00", ds);  // no such day
  EXPECT_EQ(bad.year, 1980);
  EXPECT_EQ(bad.month, 1);
  EXPECT_EQ(bad.day, 1);
  EXPECT_EQ(bad.hour, 10);
  LocalTime noTime = controlMoment("01/06/2024", "25:00", ds);
  EXPECT_EQ(noTime.hour, 0);
  EXPECT_EQ(noTime.day, 1);
  DateSettings us;
  us.dateFormat = "mm-dd-yyyy";
  us.dateSeparator = '-';
  LocalTime u = controlMoment("06-30-2024", "", us);
  EXPECT_EQ(u.month, 6);
  EXPECT_EQ(u.day, 30);
  EXPECT_LT(compareMoments(bad, t), 0);
  EXPECT_EQ(compareMoments(t, t), 0);
}

TEST(ControlFileChecksum, BothKindsOnKnownBytes) {
  EXPECT_EQ(sumChecksum("123456789"), 0x1DCu);
  EXPECT_EQ(~crcVariantChecksumUpdate("123456789", 0xFFFFFFFFu), 0x1ED0F3D0u);
  FakeFiles files;
  std::string big;
  for (int r = 0; r < 20; ++r)
    for (int i = 0; i < 256; ++i) big += (char)i;  // more than one 4096-byte block
  files.put("C:\\a\\big.bin", big);
  EXPECT_EQ(fileChecksum(files, "C:\\a\\big.bin", false), 0x9F5FFu);
  EXPECT_EQ(fileChecksum(files, "C:\\a\\big.bin", true), 0x75A30FA0u);
  // An unreadable file gives what an empty one gives.
  EXPECT_EQ(fileChecksum(files, "C:\\a\\missing.bin", false), 0xFFFFFFFFu);
  EXPECT_EQ(fileChecksum(files, "C:\\a\\missing.bin", true), 0u);
}

TEST(ControlFilePrefixes, NormalisationAndRescanning) {
  std::map<std::string, std::string> folders{{"APP", "C:\\Prog"},   {"WIN", "C:\\"},
                                             {"SYS", "\\\\srv\\share"}, {"NEST", "{APP}\\Sub\\"},
                                             {"SELF", "C:\\{SELF}"}};
  auto folderOf = [&](const std::string& n) {
    auto it = folders.find(n);
    return it == folders.end() ? std::string() : it->second;
  };
  EXPECT_EQ(expandPrefixes("{APP}\\Temp", folderOf), "C:\\Prog\\Temp");
  EXPECT_EQ(expandPrefixes("{APP}Temp", folderOf), "C:\\ProgTemp");
  EXPECT_EQ(expandPrefixes("{app}\\x", folderOf), "C:\\Prog\\x");
  EXPECT_EQ(expandPrefixes("{WIN}", folderOf), "C:\\.");
  EXPECT_EQ(expandPrefixes("{SYS}", folderOf), "\\\\srv\\share\\.");
  EXPECT_EQ(expandPrefixes("{XYZ}\\f.txt", folderOf), ".\\f.txt");
  // Braces in a folder are scanned again; the folder itself got "." as it has no drive.
  EXPECT_EQ(expandPrefixes("{NEST}f", folderOf), "C:\\Prog\\Sub\\.f");
  EXPECT_EQ(expandPrefixes("no {brace", folderOf), "no {brace");
  // A folder that names itself stops after a bounded number of rounds instead of growing for ever.
  std::string self = expandPrefixes("{SELF}", folderOf);
  EXPECT_LT(self.size(), 2000u);
}

TEST(ControlFileEntries, FileEntryDefaultsAndUrlNames) {
  IniText ini("[file1]\nurl=https://h/v/a.zip\ntargetdir={APP}\\Temp\ncompressed=1\n[file2]\n");
  auto expand = [](const std::string& s) { return expandPrefixes(s, [](const std::string&) { return "C:\\Prog"; }); };
  TFileDescription a = readFileEntry(ini, 1, expand);
  EXPECT_EQ(a.URL, "https://h/v/a.zip");
  EXPECT_EQ(a.TargetDir, "C:\\Prog\\Temp\\");
  EXPECT_TRUE(a.Compressed);
  EXPECT_EQ(a.NewCheckSum, -1);
  EXPECT_TRUE(a.Preselect);
  TFileDescription b = readFileEntry(ini, 2, expand);  // empty section
  EXPECT_EQ(b.TargetDir, "");
  EXPECT_FALSE(b.Mandatory);
  TFileDescription c = readFileEntry(ini, 7, expand);  // missing section
  EXPECT_EQ(c.NewSize, 0);
  EXPECT_EQ(fileNameFromUrl("https://h/version/pack3.inf"), "pack3.inf");
  EXPECT_EQ(fileNameFromUrl("https://h/get.php?f.zip"), "f.zip");
  EXPECT_EQ(fileNameFromUrl("C:\\dir\\x.cab"), "x.cab");
}
