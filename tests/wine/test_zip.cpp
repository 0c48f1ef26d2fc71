// The unzipper over the Win32 file adapter, on Wine: the same cases as the native tests.
#include <windows.h>

#include <filesystem>

#include "platform/win32/system_win32.h"
#include "platform/win32/text.h"
#include "tests/zip_cases.h"

// The archives are made before this binary starts (tests/wine/run_all.sh) into the run folder,
// which is the current folder here.
ZipTestEnv& zipEnv() {
  static tf::Win32Files files;
  static ZipTestEnv env = [] {
    std::string here = files.currentFolder();
    ZipTestEnv e{&files, here + "\\zipfix", here + "\\zipout"};
    std::error_code ec;
    std::filesystem::remove_all(tf::widen(e.scratch), ec);
    if (!files.folderExists(e.fixtures)) ADD_FAILURE() << "no test archives in " << e.fixtures;
    return e;
  }();
  return env;
}
