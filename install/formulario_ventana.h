// The window's form: the model of every control (designed in app/formulario.cpp), plus one
// accessor for each control the program's code reaches by name, generated from the list below,
// so a misspelt control does not compile. The view and the tests still find controls by name.
#pragma once
#include "core/form_model.h"

// Every control the code reaches by name; a new one is one line here.
#define TF_CONTROLES_VENTANA(X) \
  X(frmPrincipal)               \
  X(imgFondo)                   \
  X(lblProcesador)              \
  X(lblMemoria)                 \
  X(lblNombreEquipo)            \
  X(ProgressBar1)               \
  X(ProgressBar3)               \
  X(lblServidorDetectado)       \
  X(pnlProxy)                   \
  X(txtProxyServidor)           \
  X(txtProxyPuerto)             \
  X(txtProxyUsuario)            \
  X(txtProxyPassword)           \
  X(txtLicencia)                \
  X(chkAceptarCondiciones)      \
  X(lblDirectorioRaizInstalacion) \
  X(lblCambiarMirror)           \
  X(lblMirrorDescarga)          \
  X(chkCreateDesktopShortcut)   \
  X(chkCreateStartMenuShortcut) \
  X(lblMensajeAviso)            \
  X(ProgressBar2)               \
  X(lblProgresoInstalacion)     \
  X(imgOK)                      \
  X(imgError)                   \
  X(lblFinalizacion)            \
  X(lblFinalizacion1)           \
  X(lblFinalizacion2)           \
  X(lblEnviarInformeErrores1)   \
  X(lblEnviarInformeErrores2)   \
  X(pnlInformeErrores)          \
  X(txtLogEmail)                \
  X(txtLogError)                \
  X(lblQVDirDesinstalar)        \
  X(lblQVSizeDesinstalar)       \
  X(chkKVTDesinstalar)          \
  X(btnDesinstalar)

namespace tf {

class FormularioVentana : public FormModel {
 public:
#define TF_ACCESO_CONTROL(nombre)                            \
  Control& nombre() { return (*this)[#nombre]; }             \
  const Control& nombre() const { return (*this)[#nombre]; }
  TF_CONTROLES_VENTANA(TF_ACCESO_CONTROL)
#undef TF_ACCESO_CONTROL
};

// The names of the list, for a check against the form's design.
#define TF_NOMBRE_CONTROL(nombre) #nombre,
inline constexpr const char* kControlesVentana[] = {TF_CONTROLES_VENTANA(TF_NOMBRE_CONTROL)};
#undef TF_NOMBRE_CONTROL

}  // namespace tf
