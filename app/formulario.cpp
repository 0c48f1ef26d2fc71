#include "app/formulario.h"

namespace tf {

const char* const kPaneles[9] = {"pnlBienvenida", "pnlBienvenidaTicador", "pnlLicencia",
                                 "pnlOpciones",   "pnlProgreso",          "pnlFinalizacion",
                                 "pnlInformeErrores", "pnlDesinstalar",   "pnlProxy"};
const char* const kPestanas[5] = {"pnlCabeceraBienvenida", "pnlCabeceraLicencia", "pnlCabeceraOpciones",
                                  "pnlCabeceraProgreso", "pnlCabeceraFinalizacion"};

namespace {

struct Builder {
  FormModel& f;
  Control& add(const std::string& name, Kind kind, const std::string& parent, const std::string& caption, int x,
               int y, int w, int h) {
    Control c;
    c.name = name;
    c.kind = kind;
    c.parent = parent;
    c.caption = caption;
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
    return f.add(std::move(c));
  }
  Control& title(const std::string& name, const std::string& parent, const std::string& caption) {
    Control& c = add(name, Kind::Label, parent, caption, 262, 20, 540, 30);
    c.fontSize = 16;
    c.fontColor = 0x9C5A00;  // the vendor's blue (BGR)
    return c;
  }
  Control& text(const std::string& name, const std::string& parent, const std::string& caption, int y, int h = 40) {
    Control& c = add(name, Kind::Label, parent, caption, 262, y, 540, h);
    c.wordWrap = true;
    return c;
  }
  Control& button(const std::string& name, const std::string& parent, const std::string& caption, int x,
                  int tab) {
    Control& c = add(name, Kind::Button, parent, caption, x, 395, 110, 32);
    c.tabOrder = tab;
    return c;
  }
};

}  // namespace

void crearFormulario(FormModel& form) {
  Builder b{form};
  const int W = 837, H = 578, HEADER = 82, FOOTER = 54;
  Control& win = b.add("frmPrincipal", Kind::Window, "", "TurnaliaFree™ - Software de Instalación v2.3", 0, 0, W, H);
  (void)win;

  // Header: five tabs, the processor and memory labels.
  b.add("pnlHeader", Kind::Panel, "frmPrincipal", "", 0, 0, W, HEADER);
  const char* tabCaptions[5] = {"Bienvenida", "Licencia", "Opciones", "Progreso", "Finalización"};
  for (int i = 0; i < 5; ++i) {
    Control& t = b.add(kPestanas[i], Kind::HeaderTab, "pnlHeader", tabCaptions[i], i * 167, 0, 167, 50);
    t.bold = true;
  }
  Control& cpu = b.add("lblProcesador", Kind::Label, "pnlHeader", "", 12, 56, 560, 20);
  cpu.fontColor = 0x808080;
  Control& mem = b.add("lblMemoria", Kind::Label, "pnlHeader", "", 600, 56, 225, 20);
  mem.fontColor = 0x808080;
  Control& equipo = b.add("lblNombreEquipo", Kind::Label, "pnlHeader", "", 600, 56, 225, 20);
  equipo.visible = false;

  // Footer: the vendor logo, a link to the web site.
  b.add("pnlFooter", Kind::Panel, "frmPrincipal", "", 0, H - FOOTER, W, FOOTER);
  b.add("imgTurnaliaFree", Kind::Picture, "pnlFooter", "TurnaliaFree", 12, 7, 180, 40);

  // Container with the background picture, and the nine panels filling it.
  b.add("pnlContenedor", Kind::Panel, "frmPrincipal", "", 0, HEADER, W, H - HEADER - FOOTER);
  // No panel shows until start-up chooses one.
  for (const char* p : kPaneles) b.add(p, Kind::Panel, "pnlContenedor", "", 0, 0, W, H - HEADER - FOOTER).visible = false;
  b.add("imgFondo", Kind::Picture, "pnlBienvenida", "", 0, 0, 242, 440);

  // Welcome.
  b.title("Label2", "pnlBienvenida", "Bienvenido");
  b.text("Label17", "pnlBienvenida",
         "Bienvenido al instalador de TurnaliaFree de gestión de turnos de trabajo y control de presencia del "
         "personal.",
         70, 50);
  Control& proxy1 = b.add("lblConfiguracionProxy", Kind::LinkLabel, "pnlBienvenida", "Configuración Proxy", 262,
                          340, 200, 20);
  proxy1.fontColor = 0xCC6600;
  proxy1.tabOrder = 2;
  Control& bar1 = b.add("ProgressBar1", Kind::MarqueeBar, "pnlBienvenida", "", 262, 300, 540, 16);
  bar1.visible = false;
  b.button("btnAvanzar", "pnlBienvenida", "Avanzar", 570, 0).isDefault = true;
  b.button("btnSalir", "pnlBienvenida", "Salir", 692, 1);

  // Welcome of the time-clock client installation.
  b.title("Label18", "pnlBienvenidaTicador", "Bienvenido");
  b.text("lblServidorDetectado", "pnlBienvenidaTicador", "", 70, 60);
  Control& proxy2 = b.add("Label23", Kind::LinkLabel, "pnlBienvenidaTicador", "Configuración Proxy", 262, 340,
                          200, 20);
  proxy2.fontColor = 0xCC6600;
  proxy2.tabOrder = 2;
  Control& bar3 = b.add("ProgressBar3", Kind::MarqueeBar, "pnlBienvenidaTicador", "", 262, 300, 540, 16);
  bar3.visible = false;
  b.button("btnAvanzar4", "pnlBienvenidaTicador", "Avanzar", 570, 0).isDefault = true;
  b.button("btnSalir4", "pnlBienvenidaTicador", "Salir", 692, 1);

  // Proxy settings.
  b.title("Label13", "pnlProxy", "Configuración de Proxy");
  b.text("Label5", "pnlProxy",
         "Si usted accede a Internet a través de un proxy debe rellenar los siguientes campos, ", 70, 36);
  b.add("Label14", Kind::Label, "pnlProxy", "Servidor", 262, 120, 120, 20);
  Control& ip = b.add("txtProxyServidor", Kind::IpEdit, "pnlProxy", "0.0.0.0", 392, 118, 160, 24);
  ip.text = "0.0.0.0";
  ip.tabOrder = 0;
  b.add("Label15", Kind::Label, "pnlProxy", "Puerto", 262, 155, 120, 20);
  Control& port = b.add("txtProxyPuerto", Kind::SpinEdit, "pnlProxy", "1", 392, 153, 100, 24);
  port.text = "1";
  port.minimum = 1;
  port.maximum = 50000;
  port.position = 1;
  port.tabOrder = 1;
  b.add("lblProxyUsuario", Kind::Label, "pnlProxy", "Usuario", 262, 190, 120, 20);
  Control& user = b.add("txtProxyUsuario", Kind::Edit, "pnlProxy", "", 392, 188, 220, 24);
  user.tabOrder = 2;
  b.add("lblProxyPassword", Kind::Label, "pnlProxy", "Password", 262, 225, 120, 20);
  Control& pass = b.add("txtProxyPassword", Kind::PasswordlessEdit, "pnlProxy", "", 392, 223, 220, 24);
  pass.tabOrder = 3;
  b.button("btnAceptarProxy", "pnlProxy", "Aceptar", 570, 4).isDefault = true;
  b.button("btnCerrarProxy", "pnlProxy", "Cerrar", 692, 5);

  // Licence agreement.
  b.title("Label20", "pnlLicencia", "Acuerdo de Licencia");
  b.text("Label22", "pnlLicencia",
         "Lea detenidamente el acuerdo de Licencia de Usuario Final y pulse el botón \"Aceptar\" para continuar "
         "el proceso de instalación.",
         60, 36);
  Control& lic = b.add("txtLicencia", Kind::Memo, "pnlLicencia", "", 262, 100, 540, 240);
  lic.readOnly = true;
  lic.wordWrap = true;
  lic.tabOrder = 0;
  Control& chk = b.add("chkAceptarCondiciones", Kind::CheckBox, "pnlLicencia",
                       "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad", 262,
                       348, 540, 24);
  chk.tabOrder = 1;
  Control& back = b.button("btnRetroceder", "pnlLicencia", "Retroceder", 448, 4);
  (void)back;
  b.button("btnAceptarLicencia", "pnlLicencia", "Aceptar", 570, 2).isDefault = true;
  b.button("btnRechazarLicencia", "pnlLicencia", "Rechazar", 692, 3).isCancel = true;

  // Options.
  b.title("Label43", "pnlOpciones", "Opciones");
  b.text("Label42", "pnlOpciones", "Pulse el botón \"Instalar\" para proceder con la instalación.", 60, 24);
  Control& l46 = b.add("Label46", Kind::Label, "pnlOpciones", "Directorio Raíz de Instalación", 262, 100, 540, 20);
  l46.bold = true;
  b.add("lblDirectorioRaizInstalacion", Kind::Label, "pnlOpciones", "", 262, 122, 540, 20);
  Control& mirror = b.add("lblCambiarMirror", Kind::LinkLabel, "pnlOpciones", "Servidor de Descarga (cambiar Mirror)",
                          262, 160, 540, 20);
  mirror.visible = false;
  mirror.fontColor = 0xCC6600;
  b.add("lblMirrorDescarga", Kind::Label, "pnlOpciones", "", 262, 182, 540, 20);
  Control& desk = b.add("chkCreateDesktopShortcut", Kind::CheckBox, "pnlOpciones",
                        "Crear Acceso Directo en el Escritorio", 262, 230, 400, 24);
  desk.checked = true;
  desk.tabOrder = 1;
  Control& menu = b.add("chkCreateStartMenuShortcut", Kind::CheckBox, "pnlOpciones",
                        "Crear Acceso Directo en el Menu de Inicio", 262, 260, 400, 24);
  menu.checked = true;
  menu.tabOrder = 2;
  b.button("btnRetroceder1", "pnlOpciones", "Retroceder", 570, 3);
  b.button("btnInstalar", "pnlOpciones", "Instalar", 692, 0).isDefault = true;

  // Progress.
  b.title("Label75", "pnlProgreso", "Progreso de la Instalación");
  b.text("Label74", "pnlProgreso", "Este proceso puede tardar unos minutos, espere por favor ...", 60, 24);
  b.text("lblMensajeAviso", "pnlProgreso", "Descargando paquete de instalación ..", 180, 20);
  b.add("ProgressBar2", Kind::ProgressBar, "pnlProgreso", "", 262, 210, 540, 20);
  b.add("lblProgresoInstalacion", Kind::Label, "pnlProgreso", "0% completado", 262, 236, 540, 20);

  // Outcome.
  b.add("imgOK", Kind::Picture, "pnlFinalizacion", "", 262, 24, 48, 48);
  Control& err = b.add("imgError", Kind::Picture, "pnlFinalizacion", "", 262, 24, 48, 48);
  err.visible = false;
  Control& fin = b.add("lblFinalizacion", Kind::Label, "pnlFinalizacion", "", 322, 30, 480, 30);
  fin.fontSize = 14;
  fin.fontColor = 0x9C5A00;
  Control& fin1 = b.text("lblFinalizacion1", "pnlFinalizacion", "", 90, 36);
  fin1.bold = true;
  b.text("lblFinalizacion2", "pnlFinalizacion", "", 130, 110);
  Control& inf1 = b.text("lblEnviarInformeErrores1", "pnlFinalizacion",
                         "Si lo desea puede enviarnos el informe de error de instalación y lo analizaremos para "
                         "poder encontrar el problema. Una vez revisado le enviaremos por correo electrónico la "
                         "solución.",
                         250, 60);
  inf1.visible = false;
  Control& inf2 = b.add("lblEnviarInformeErrores2", Kind::LinkLabel, "pnlFinalizacion",
                        "Pulse aquí para enviar el Informe de Errores", 262, 318, 540, 20);
  inf2.visible = false;
  inf2.fontColor = 0xCC6600;
  b.button("btnSalir1", "pnlFinalizacion", "Cerrar", 692, 0).isDefault = true;

  // Error report.
  b.title("Label7", "pnlInformeErrores", "Error en la Instalación");
  // The address first, where the focus lands; the log below it, read-only.
  b.text("Label4", "pnlInformeErrores",
         "Escriba un email válido donde nos pondremos en contacto con Usted después de que hayamos revisado el "
         "error.",
         56, 36);
  b.add("Label3", Kind::Label, "pnlInformeErrores", "Su correo electrónico", 262, 98, 540, 20);
  Control& mail = b.add("txtLogEmail", Kind::Edit, "pnlInformeErrores", "", 262, 118, 300, 24);
  mail.tabOrder = 0;
  b.text("Label11", "pnlInformeErrores",
         "Este es el log del proceso de instalación que será enviado al equipo de soporte", 152, 20);
  Control& logm = b.add("txtLogError", Kind::Memo, "pnlInformeErrores", "", 262, 174, 540, 206);
  logm.readOnly = true;
  logm.tabOrder = 1;
  b.button("btnEnviarInformeErrores", "pnlInformeErrores", "Enviar Error", 692, 2).isDefault = true;

  // Uninstall confirmation. "Continuar" follows the box; the size and folder labels are filled but
  // stay hidden.
  b.title("Label12", "pnlDesinstalar", "Desintalación de TurnaliaFree");
  b.text("Label1", "pnlDesinstalar",
         "Marque la casilla de confirmación y pulse el botón \"Continuar\" para proceder.", 60, 24);
  Control& l19 = b.add("Label19", Kind::Label, "pnlDesinstalar",
                       "Los Archivos de copia de seguridad no serán borrados del Equipo por si quiere volver a "
                       "recuperarlos en el futuro.",
                       262, 100, 483, 40);
  l19.wordWrap = true;
  Control& dir = b.add("lblQVDirDesinstalar", Kind::Label, "pnlDesinstalar", "(instalada)", 262, 160, 400, 20);
  dir.visible = false;
  Control& size = b.add("lblQVSizeDesinstalar", Kind::Label, "pnlDesinstalar", "45,6 MB", 672, 160, 130, 20);
  size.visible = false;
  size.alignRight = true;
  Control& chkDes = b.add("chkKVTDesinstalar", Kind::CheckBox, "pnlDesinstalar",
                          "Quiero desinstalar TurnaliaFree de este equipo", 262, 200, 540, 24);
  chkDes.tabOrder = 0;
  Control& cont = b.button("btnDesinstalar", "pnlDesinstalar", "Continuar", 570, 1);
  cont.enabled = false;
  cont.isDefault = true;
  b.button("btnSalir3", "pnlDesinstalar", "Salir", 692, 2);
}

}  // namespace tf
