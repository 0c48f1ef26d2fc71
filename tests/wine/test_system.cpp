// The Win32 adapters behave as the core expects, on Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "platform/error.h"
#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"

using namespace tf;

TEST(Win32System, TextRoundTripsThroughCodePage1252) {
  std::string s = "Instalaci\xF3n TurnaliaFree\x99";
  EXPECT_EQ(widen(s), L"Instalaci\u00F3n TurnaliaFree\u2122");
  EXPECT_EQ(narrow(widen(s)), s);
}

TEST(Win32System, FolderWithoutAnExactNameIsNamedByItsShortForm) {
  Win32Files files;
  std::wstring dir = widen(files.tempFolder()) + L"tf_\u0141\u00F3d\u017A";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  std::wstring exe = dir + L"\\uninstall.exe";
  HANDLE h = CreateFileW(exe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  std::string named;
  EXPECT_FALSE(narrowExact(exe, named));
  EXPECT_EQ(narrow(L"\u0141\uFF3C"), "??");  // shown or logged: never the look-alike "L\"
  ASSERT_TRUE(narrowPath(exe, named)) << named;
  EXPECT_EQ(named.substr(named.size() - 14), "\\uninstall.exe");  // the file name stays itself
  wchar_t longForm[MAX_PATH];
  DWORD n = GetLongPathNameW(widen(named).c_str(), longForm, MAX_PATH);
  EXPECT_EQ(std::wstring(longForm, n), exe);  // the same file, not a look-alike
  // A path that does not exist has no short form: it cannot be named.
  EXPECT_FALSE(narrowPath(dir + L"\\no_existe\\\u0141.txt", named));
  EXPECT_THROW(nameablePath(dir + L"\\no_existe\\\u0141.txt"), Error);
  DeleteFileW(exe.c_str());
  RemoveDirectoryW(dir.c_str());
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
  // "-log" naming a folder: no file to append to.
  EXPECT_FALSE(sink.appendToFile(files.tempFolder().substr(0, files.tempFolder().size() - 1), ""));
  std::unique_ptr<NamedMutex> m(sink.createMutex("C:/Descargas/setup_081224.log"));
  ASSERT_TRUE(m);
  ASSERT_TRUE(m->lock(1000));
  m->unlock();
  EXPECT_TRUE(files.deleteFile(path));
}

namespace {
struct Nombre {
  std::string space, name;
};
DWORD WINAPI acquireInOtherThread(LPVOID n) {
  Win32InstanceLock other(static_cast<Nombre*>(n)->space, static_cast<Nombre*>(n)->name);
  return other.acquire() ? 1 : 0;
}
// A mutex belongs to a thread: another copy is another thread (or process) asking.
bool otherCopyAcquires(Nombre& n) {
  HANDLE t = CreateThread(nullptr, 0, acquireInOtherThread, &n, 0, nullptr);
  WaitForSingleObject(t, 10000);
  DWORD code = 2;
  GetExitCodeThread(t, &code);
  CloseHandle(t);
  return code == 1;
}
}  // namespace

TEST(Win32InstanceLock, OneHolderAtATimeInTheMachinesNamespace) {
  Nombre n{"TurnaliaFree.Prueba" + std::to_string(GetCurrentProcessId()), "Instalador"};
  {
    Win32InstanceLock mine(n.space, n.name);
    ASSERT_TRUE(mine.acquire());
    EXPECT_TRUE(mine.acquire());  // asking again keeps it
    EXPECT_FALSE(otherCopyAcquires(n));
  }
  EXPECT_TRUE(otherCopyAcquires(n));  // released with its holder
}

// Wine has no private namespaces, so there the lock is the global name, where anyone may put an
// object first: the lock then counts as held rather than let two copies run.
TEST(Win32InstanceLock, ANameTakenByAnotherKindOfObjectKeepsEveryCopyOut) {
  Nombre n{"TurnaliaFree.Ocupado" + std::to_string(GetCurrentProcessId()), "Instalador"};
  HANDLE evento = CreateEventW(nullptr, FALSE, FALSE, widen("Global\\" + n.space + "." + n.name).c_str());
  ASSERT_TRUE(evento);
  EXPECT_FALSE(otherCopyAcquires(n));
  EXPECT_FALSE(otherCopyAcquires(n));
  CloseHandle(evento);
  EXPECT_TRUE(otherCopyAcquires(n));
}
