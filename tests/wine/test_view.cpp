// The Win32 view during the window's download: it pumps messages every few milliseconds, and
// must not compare and copy every control (the licence memo included) each time.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/programa.h"
#include "core/log.h"
#include "tests/wine/vendor_test.h"
#include "ui/win32/entorno_win32.h"

using namespace tf;

namespace {
struct NoFileSink : LogSink {
  struct Free : NamedMutex {
    bool lock(unsigned) override { return true; }
    void unlock() override {}
  };
  NamedMutex* createMutex(const std::string&) override { return new Free; }
  bool appendToFile(const std::string&, const std::string&) override { return true; }
};

// setup.exe's own start-up on this machine, with a log that writes nowhere and no lock.
struct EntornoVista : EntornoWin32 {
  NoFileSink sinFichero;
  EntornoVista() : EntornoWin32(GetModuleHandleW(nullptr), SW_HIDE) {}
  LineaSistema lineaComandos() override { return {}; }
  LogSink& destinoLog() override { return sinFichero; }
  bool tomarInstancia() override { return true; }
};
}  // namespace

TEST(VistaWin32, DownloadMakesAPassOverTheControlsOncePerPercentNotPerPump) {
  if (env("TF_VENDOR_DOCROOT").empty()) GTEST_SKIP() << "no vendor test server (run through run_all.sh)";
  EntornoVista entorno;
  Win32Files& files = entorno.maquina.files;
  Programa programa(entorno);
  ASSERT_TRUE(programa.arrancar());
  TfrmPrincipal& frm = programa.ventana();
  Win32View& view = entorno.vista();
  ASSERT_TRUE(view.create(GetModuleHandleW(nullptr)));
  // A licence already loaded: the largest text a pass compares.
  std::string& licencia = frm.form["txtLicencia"].text;
  for (int linea = 0; linea < 800; ++linea) licencia += "Condiciones de uso de TurnaliaFree, cl\xE1usula " + std::to_string(linea) + ".\r\n";
  frm.form.touch();
  frm.mostrarPanel("pnlProgreso");
  view.sync();

  // A slow line, as most users have: many pumps for each percent.
  const size_t size = 4u << 20;
  std::string docroot = winPath(env("TF_VENDOR_DOCROOT"));
  ASSERT_TRUE(files.createFolders(docroot + "\\tfw"));
  ASSERT_TRUE(files.writeFile(docroot + "\\tfw\\vista.zip", std::string(size, 'v')));
  std::string faults = winPath(env("TF_VENDOR_FAULTS"));
  ASSERT_TRUE(files.writeFile(faults + ".tmp", R"({"/tfw/vista.zip": {"fault": "trickle", "chunk": 8192, "delay": 0.01}})"));
  ASSERT_TRUE(files.moveFile(faults + ".tmp", faults, true));
  std::string dir = files.tempFolder() + "tf_vista";
  files.createFolders(dir);
  Win32View::SyncStats before = view.syncStats();
  ULONGLONG t0 = GetTickCount64();
  frm.decargarArchivoWeb("https://" + env("TF_VENDOR_HOST") + "/tfw/vista.zip", dir);
  ULONGLONG took = GetTickCount64() - t0;
  ASSERT_TRUE(files.writeFile(faults + ".tmp", "{}"));
  ASSERT_TRUE(files.moveFile(faults + ".tmp", faults, true));
  uint64_t got = 0;
  EXPECT_TRUE(files.fileSize(dir + "\\vista.zip", got) && got == size);
  Win32View::SyncStats s = view.syncStats();
  uint64_t calls = s.calls - before.calls, passes = s.passes - before.passes;

  // A pass when nothing changed: what every pump cost when the revision was not read, less the
  // copies of every control (the licence text included) that pass also made.
  const int kForced = 200;
  Win32View::SyncStats f0 = view.syncStats();
  for (int i = 0; i < kForced; ++i) view.sync(true);
  double perPass = (view.syncStats().ms - f0.ms) / kForced;
  std::printf("%zu MiB in %llu ms: %llu pumps, %llu passes (one per %.1f pumps), %llu controls mirrored, "
              "%.1f ms in passes; a pass over unchanged controls costs %.3f ms\n",
              size >> 20, took, (unsigned long long)calls, (unsigned long long)passes,
              passes ? (double)calls / passes : 0.0, (unsigned long long)(s.applied - before.applied), s.ms - before.ms,
              perPass);
  EXPECT_EQ(frm.form["lblProgresoInstalacion"].caption, "100% completado");
  EXPECT_LE(passes, 101u + 3u);  // once per percent, and at the end
  files.deleteFile(dir + "\\vista.zip");
  files.removeFolder(dir);
  files.deleteFile(docroot + "\\tfw\\vista.zip");
  DestroyWindow(view.hwnd());
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the window's end posts one
}
