// Placeholder until the file transfer component is wired in: downloads nothing, so callers find no
// new file (an earlier copy in the target folder is still used, as with a failed download).
#include "app/principal.h"

namespace tf {

void TfrmPrincipal::decargarArchivoWeb(const std::string& url, const std::string& targetDir) {
  (void)url;
  (void)targetDir;
}

}  // namespace tf
