#include "report/informe.h"

#include "core/crc32.h"
#include "transfer/form_poster.h"

namespace tf {

namespace {
void campo(TFormPoster& poster, const std::string& nombre, const std::string& valor) {
  TFormPosterItem& item = poster.Items.Add();
  item.Name = nombre;
  item.Value = valor;
}
}  // namespace

void confirmar_instalacion(Ventana& v, bool flag) {
  v.FormPoster1.Items.Clear();
  campo(v.FormPoster1, "op", "instalacion");
  campo(v.FormPoster1, "version", "19.04.002");
  // The machine is named by the CRC-32 of its product ID, never by the ID itself.
  campo(v.FormPoster1, "wid", std::to_string(calcularCRC32(v.getWindowsID())));
  if (flag) {
    campo(v.FormPoster1, "email", v.form.txtLogEmail().text);
    campo(v.FormPoster1, "error", v.form.txtLogError().text);
  }
  // What the vendor answers changes nothing; a failed post shows the poster's own box.
  v.FormPoster1.Execute();
}

}  // namespace tf
