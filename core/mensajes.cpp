#include "core/mensajes.h"

namespace tf {

const char* const kTituloAplicacion = "TurnaliaFree™ - Instalador";

const char* const msgTituloAtencion = "Instalación TurnaliaFree - Atención";
const char* const msgInstalacionCorrecta = "La Instalación se realizó con éxito !";
const char* const msgGraciasInstalar = "Gracias por instalar TurnaliaFree.";
const char* const msgEliminandoTemporal = "Eliminando directorio temporal ... ";
const char* const msgFinalizandoEjecucion = "Finalizando ejecución ";
const char* const msgPorcentajeCompletado = "% completado";
const char* const msgNoCrearDirectorio = "No fue posible o no tiene privilegios para crear el directorio %s !";
const char* const msgMostrandoPanel = "Mostrando panel %s ...";
const char* const msgInstalacionDetenida = ", instalación detenida !";
const char* const msgDBMSNoDescargado = "Fichero DBMS no fue descargado, instalación detenida !";
const char* const msgIniNoEncontrado = "Fichero ini no fue encontrado !";
const char* const msgNoExisteDirectorioDBMS = "No existe el directorio del DBMS, instalación detenida !";
const char* const msgErrorInstalacion = "Error en la Instalación";
const char* const msgNoInstaladoCorrectamente =
    "TurnaliaFree no se ha instalado correctamente debido al siguiente error:";
const char* const msgFicheroNoDescargado = "Fichero %s no descargado, instalación detenida !";
const char* const msgNombreEquipo = "Nombre de Equipo: ";
const char* const msgDescargandoLibrerias = "Descargando librerías ...";
const char* const msgComprobandoServicios = "Comprobando servicios en ejecución ...";
const char* const msgInstalandoSoftware = "Instalando el Software %s descargado ...";
const char* const msgDescargandoPaquete = "Descargando paquete de instalación %s ...";
const char* const msgServicioNoInstalado =
    "No se instaló correctamente el servicio %s, consulte con su distribuidor !";
const char* const msgDesinstalacionInnecesaria = "No es necesaria la desinstalación de aplicaciones !";
const char* const msgAplicacionNoInstalada = "La Aplicación TurnaliaFree no está instalada en este Equipo.";
const char* const msgNoEliminarDirectorio = "No se pudó eliminar el directorio %s";
const char* const msgServicioInstalado = "El servicio %s está instalado";
const char* const msgServicioNoEstaInstalado = "El servicio %s no está instalado";
const char* const msgDesinstalacionCorrecta = "La desinstalación se realizó con éxito !";
const char* const msgAplicacionesDesinstaladas = "Las aplicaciones seleccionadas se ha desinstalado correctamente.";
const char* const msgCompletado = "completado";
const char* const msgArchivoNoEncontrado = "No se encontró el archivo %s en el directorio %s !";
const char* const msgReintentoPidiendoResto =
    "Descarga de %s interrumpida en el byte %s: reintento %s de %s, pidiendo el resto";
const char* const msgReintentoDesdeElPrincipio =
    "Descarga de %s interrumpida en el byte %s: reintento %s de %s, desde el principio";
const char* const msgComandoDetenido =
    "El comando %s no terminó en %s segundos: se ha detenido junto con los programas que inició";

const char* const msgBaseDatosNoResponde =
    "El servidor de base de datos no responde en %s, instalación detenida !";
const char* const msgBaseDatosClaveRechazada =
    "El servidor de base de datos de %s no acepta la contraseña de root de TurnaliaFree, instalación detenida !";
const char* const msgBaseDatosSinTablas = "La base de datos %s no existe o no tiene tablas, instalación detenida !";
const char* const msgNoCrearTemporal =
    "No fue posible crear el directorio temporal %s junto al instalador: copie el instalador y sus paquetes a "
    "una carpeta con permiso de escritura, instalación detenida !";
const char* const msgArgumentoIlegible =
    "El argumento \"%s\" contiene caracteres que el instalador no puede leer: escríbalo sin ellos";
const char* const msgFaltaFicheroLog = "Falta el nombre del fichero tras la opción -log";
const char* const msgNoEscribirLog = "No fue posible o no tiene privilegios para escribir en el fichero %s !";
const char* const msgOpcionesIpYFull =
    "Las opciones -ip y -full no se pueden usar juntas: -ip instala el Software Ticador, -full la instalación "
    "completa";
const char* const msgServidorDetectado = "Se ha detectado una instalación de TurnaliaFree en el equipo %s de su Red Local";
const char* const msgServidorDetectadoCompleta =
    "Se ha detectado una instalación de TurnaliaFree en el equipo %s de su Red Local: se realiza la instalación "
    "completa (-full)";

const char* const msgArchivoAlReiniciar = "El archivo %s está en uso, se eliminará al reiniciar el equipo";
const char* const msgDirectorioAlReiniciar = "El directorio %s se eliminará al reiniciar el equipo";
const char* const msgArchivoNoProgramado =
    "El archivo %s está en uso y no se pudo programar su eliminación al reiniciar el equipo !";
const char* const msgReiniciarParaTerminar =
    "Al reiniciar el equipo se eliminarán los archivos que estaban en uso y terminará la desinstalación.";
const char* const msgErrorDesinstalacion = "Error en la desinstalación";
const char* const msgNoDesinstaladoCorrectamente =
    "TurnaliaFree no se ha desinstalado por completo debido al siguiente error:";
const char* const msgOtrosArchivosNoProgramados = "El log nombra %s más en la misma situación.";
const char* const msgProgramaServicioNoEncontrado =
    "No se encontró el programa %s, no se pudo desinstalar el servicio %s";
const char* const msgProgramaNoEncontrado = "No se encontró el programa %s, no se ejecutó su comando";

std::string formatear(const std::string& tmpl, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == 's') {
      if (next != args.end()) out += *next++;
      ++i;
    } else {
      out += tmpl[i];
    }
  }
  return out;
}

}  // namespace tf
