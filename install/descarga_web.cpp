// The window's download routine and its progress display.
#include <climits>

#include "core/mensajes.h"
#include "install/ventana.h"
#include "transfer/file_transfer.h"

namespace tf {

void Ventana::decargarArchivoWeb(const std::string& url, const std::string& targetDir) {
  FileTransfer1.OnCopyProgress = [this](TFileTransfer& s, int f, uint32_t size, uint32_t tot) {
    FileTransfer1CopyProgress(s, f, size, tot);
  };
  puertos.ui.setBusyCursor(true);
  struct CursorNormal {
    Ui& ui;
    ~CursorNormal() { ui.setBusyCursor(false); }
  } cursor{puertos.ui};
  FileTransfer1.Items.Clear();
  TFileTransferItem& item = FileTransfer1.Items.Add();
  item.URL = url;
  item.TargetDir = targetDir;
  refrescoPendiente_ = false;
  FileTransfer1.Execute();
}

void Ventana::FileTransfer1CopyProgress(TFileTransfer&, int, uint32_t size, uint32_t totsize) {
  Control& bar = form.ProgressBar2();
  Control& label = form.lblProgresoInstalacion();
  std::string text;
  if (totsize > 0) {
    // The bar holds int; very large files are scaled down together with their position.
    int shift = 0;
    while ((totsize >> shift) > (uint32_t)INT_MAX) ++shift;
    bar.maximum = (int)(totsize >> shift);
    bar.position = (int)(size >> shift);
    // The whole part of size / totsize * 100, exactly: truncated, never rounded.
    uint64_t pct = (uint64_t)size * 100u / totsize;
    text = std::to_string(pct) + "% " + msgCompletado;
  } else {
    // No length announced: the bar runs round every 6.4 MB and the label counts kilobytes.
    bar.maximum = 100;
    bar.position = (int)((size / 65536u) % 101u);
    text = std::to_string(size / 1024u) + " KB " + msgCompletado;
  }
  bool cambiado = text != label.caption;
  if (cambiado) {
    label.caption = text;
    refrescoPendiente_ = true;
  }
  // The view is asked to repaint once per percent, or at most every 100 ms while kilobytes are
  // counted, and after the closing event; redrawing for every 4 KB block would slow the download.
  uint64_t now = puertos.clock.tickMs();
  if (refrescoPendiente_ && (totsize > 0 || !cambiado || now - ultimoRefresco_ >= 100)) {
    refrescoPendiente_ = false;
    ultimoRefresco_ = now;
    form.touch();
  }
}

}  // namespace tf
