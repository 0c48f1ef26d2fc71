// The Win32 adapters behave as the core expects, on Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"

using namespace tf;

TEST(Win32System, ProbesAnswer) {
  Win32SystemInfo sys;
  EXPECT_FALSE(sys.computerName().empty());
  EXPECT_GT(sys.totalPhysicalMemory(), 0u);
  EXPECT_FALSE(sys.programFilesDir().empty());
  EXPECT_FALSE(sys.windowsDir().empty());
  EXPECT_NE(sys.exePath().find("wine_tests"), std::string::npos);
  std::string code, error;
  EXPECT_TRUE(sys.localeCountryCode(code, error));
  EXPECT_FALSE(code.empty());
  EXPECT_NO_THROW(sys.isWow64());
}

TEST(Win32System, TextRoundTripsThroughCodePage1252) {
  std::string s = "Instalaci\xF3n TurnaliaFree\x99";
  EXPECT_EQ(widen(s), L"Instalaci\u00F3n TurnaliaFree\u2122");
  EXPECT_EQ(narrow(widen(s)), s);
}

TEST(Win32LogSink, AppendsAndCreates) {
  Win32LogSink sink;
  Win32Files files;
  std::string path = files.tempFolder() + "tf_log_test_\xF1.log";
  files.deleteFile(path);
  ASSERT_TRUE(sink.appendToFile(path, "uno\r\n"));
  ASSERT_TRUE(sink.appendToFile(path, "dos\r\n"));
  std::string got;
  ASSERT_TRUE(files.readFile(path, got));
  EXPECT_EQ(got, "uno\r\ndos\r\n");
  std::unique_ptr<NamedMutex> m(sink.createMutex("C:/Descargas/setup_081224.log"));
  ASSERT_TRUE(m);
  ASSERT_TRUE(m->lock(1000));
  m->unlock();
  EXPECT_TRUE(files.deleteFile(path));
}
