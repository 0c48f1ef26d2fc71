// The registry, shell link, shell and system ports keep their contracts on the real (Wine) system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/registry_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "tests/port_contracts.h"

using namespace tf;

namespace {

const char* const kBase = "SOFTWARE\\TurnaliaFreePruebas";

struct RegistryTest : ::testing::Test {
  Win32Registry reg;
  void SetUp() override { contract::registryCleanUp(reg, kBase); }
  void TearDown() override { contract::registryCleanUp(reg, kBase); }
};

// A fresh folder below the temporary folder.
std::string freshFolder(Files& files, const std::string& name) {
  return files.tempFolder() + name + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
}

}  // namespace

TEST_F(RegistryTest, ValuesKeepTheirTypesAndTexts) { contract::registryValues(reg, kBase); }

TEST_F(RegistryTest, SubkeysAreListedAndDeletedOnlyWithoutSubkeys) { contract::registrySubkeys(reg, kBase); }

TEST_F(RegistryTest, ForeignCharactersAreNeverPassedOffAsOthers) {
  // A Path holding a folder Windows-1252 cannot spell must not be rewritten from its narrow form;
  // a subkey "TurnaliaFree．exe" (full-width dot) must not be taken for "TurnaliaFree.exe".
  auto key = reg.create(RegistryRoot::LocalMachine, std::string(kBase) + "\\Configuración");
  ASSERT_NE(key, nullptr);
  HKEY h;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TurnaliaFreePruebas\\Configuraci\u00F3n", 0, KEY_ALL_ACCESS, &h),
            ERROR_SUCCESS);
  const wchar_t path[] = L"C:\\\u65E5\u672C;C:\\Utils";
  RegSetValueExW(h, L"Path", 0, REG_EXPAND_SZ, (const BYTE*)path, sizeof path);
  HKEY sub;
  ASSERT_EQ(RegCreateKeyW(h, L"TurnaliaFree\uFF0Eexe", &sub), ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(h);

  RegistryValue v = key->read("Path");
  EXPECT_EQ(v.type, RegistryType::ExpandString);
  EXPECT_FALSE(v.exact);
  std::vector<std::string> names;
  ASSERT_TRUE(key->subkeyNames(names));
  EXPECT_TRUE(names.empty());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TurnaliaFreePruebas\\Configuraci\u00F3n\\TurnaliaFree\uFF0Eexe");
}

TEST(Win32ShellLinks, WrittenLinksReadBack) {
  Win32Files files;
  Win32ShellLinks links;
  contract::shellLinks(links, files, freshFolder(files, "Configuración"));
}

TEST(Win32Shell, KeepsThePortContract) {
  Win32Files files;
  // A window of our own is among the broadcast's receivers, as the installer's is.
  HWND w = CreateWindowW(L"STATIC", L"receptor", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  Win32Shell shell(w);
  std::string marker = freshFolder(files, "hecho") + ".txt";
  DWORD start = GetTickCount();
  contract::shell(shell, "cmd.exe", "/c echo hecho> \"" + marker + "\"", files.tempFolder() + "no_existe_tf.exe");
  EXPECT_LT(GetTickCount() - start, 10000u) << "a receiver that hangs is given up on";
  DestroyWindow(w);
  for (int i = 0; i < 150 && !files.fileExists(marker); ++i) Sleep(100);
  EXPECT_TRUE(files.fileExists(marker));
  files.deleteFile(marker);
  EXPECT_FALSE(shell.startHidden("no_existe_tf.exe", "/s biokey.ocx")) << "nor on the search path";
}

TEST(Win32SystemInfo, KeepsThePortContract) {
  Win32SystemInfo sys;
  Win32Files files;
  contract::systemInfo(sys, files, "wine_tests.exe");
}
