// The message catalogue: every named Spanish text of the program (Windows-1252 bytes).
#pragma once
#include <initializer_list>
#include <string>

namespace tf {

// The application's title: task bar, plain message boxes and the standard error box.
extern const char* const kTituloAplicacion;

extern const char* const msgTituloAtencion;
extern const char* const msgInstalacionCorrecta;
extern const char* const msgGraciasInstalar;
extern const char* const msgEliminandoTemporal;
extern const char* const msgFinalizandoEjecucion;
extern const char* const msgPorcentajeCompletado;
extern const char* const msgNoCrearDirectorio;
extern const char* const msgMostrandoPanel;
extern const char* const msgInstalacionDetenida;
extern const char* const msgDBMSNoDescargado;
extern const char* const msgIniNoEncontrado;
extern const char* const msgNoExisteDirectorioDBMS;
extern const char* const msgErrorInstalacion;
extern const char* const msgNoInstaladoCorrectamente;
extern const char* const msgFicheroNoDescargado;
extern const char* const msgNombreEquipo;
extern const char* const msgDescargandoLibrerias;
extern const char* const msgComprobandoServicios;
extern const char* const msgInstalandoSoftware;
extern const char* const msgDescargandoPaquete;
extern const char* const msgServicioNoInstalado;
extern const char* const msgDesinstalacionInnecesaria;
extern const char* const msgAplicacionNoInstalada;
extern const char* const msgNoEliminarDirectorio;
extern const char* const msgServicioInstalado;
extern const char* const msgServicioNoEstaInstalado;
extern const char* const msgDesinstalacionCorrecta;
extern const char* const msgAplicacionesDesinstaladas;
extern const char* const msgCompletado;
extern const char* const msgArchivoNoEncontrado;
// Installation log lines of a download retried after a dropped connection.
extern const char* const msgReintentoPidiendoResto;
extern const char* const msgReintentoDesdeElPrincipio;
// The command runner's line for a command ended at its time limit: the program and the seconds.
extern const char* const msgComandoDetenido;
// The product database after its setup: no server on its port, root's password refused, no
// tables (the server's address, or the database's name).
extern const char* const msgBaseDatosNoResponde;
extern const char* const msgBaseDatosClaveRechazada;
extern const char* const msgBaseDatosSinTablas;
// An offline installation whose Temp folder beside the installer cannot be made (read-only media).
extern const char* const msgNoCrearTemporal;
// The uninstaller: a file in use left to the next restart (the file), a folder that held only
// such files (the folder), a file in use the system would not take (the file); the outcome's
// sentence when files wait for the restart; the failure outcome's title and subtitle, and the
// other files in use the log names (their number).
extern const char* const msgArchivoAlReiniciar;
extern const char* const msgDirectorioAlReiniciar;
extern const char* const msgArchivoNoProgramado;
extern const char* const msgReiniciarParaTerminar;
extern const char* const msgErrorDesinstalacion;
extern const char* const msgNoDesinstaladoCorrectamente;
extern const char* const msgOtrosArchivosNoProgramados;
// A product service program missing at uninstall: the program, then its service.
extern const char* const msgProgramaServicioNoEncontrado;
// A database server program missing from its folder: its path; its command is not run.
extern const char* const msgProgramaNoEncontrado;

// An argument of the command line that Windows-1252 cannot hold (its "?" form).
extern const char* const msgArgumentoIlegible;
// "-log" without a file name; a log file that cannot be written (its path); "-ip" with "-full".
extern const char* const msgFaltaFicheroLog;
extern const char* const msgNoEscribirLog;
extern const char* const msgOpcionesIpYFull;
// The log line naming the server that answered on the LAN: the client's road, or "-full"'s.
extern const char* const msgServidorDetectado;
extern const char* const msgServidorDetectadoCompleta;

// Fills each "%s" of `tmpl` with the next argument, in order; extra places stay empty.
std::string formatear(const std::string& tmpl, std::initializer_list<std::string> args);

}  // namespace tf
