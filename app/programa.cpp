#include "app/programa.h"

#include <exception>

#include "app/desatendida.h"
#include "app/salida.h"
#include "update/update_engine.h"

namespace tf {

std::unique_ptr<TfrmPrincipal> Entorno::crearVentana(Puertos p, const Argumentos& a) {
  return std::make_unique<TfrmPrincipal>(p, a);
}

Programa::Programa(Entorno& entorno) : entorno_(entorno) {}
Programa::~Programa() = default;

bool Programa::arrancar() {
  // The running file, named once: its stored name tells the uninstaller, its folder holds the log.
  std::string programa, error;
  try {
    programa = entorno_.sistema().exePath();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Error desconocido";
  }
  const LineaSistema linea = entorno_.lineaComandos();
  argumentos_ = leerArgumentos(linea.args, esDesinstalador(programa, entorno_.ficheros()), linea.inexactos);
  argumentos_.errorPrograma = error;

  // The log's place first, so that every later line lands there. A command line refused for
  // itself (87) touches nothing, "-log"'s file included: its reasons go beside the program.
  std::string ficheroLog;
  if (!argumentos_.ficheroLog.empty() && !argumentos_.rechazada()) {
    try {
      ficheroLog = prepararFicheroLog(argumentos_.ficheroLog, entorno_.ficheros(), entorno_.destinoLog(),
                                      argumentos_.errorLog);
    } catch (const std::exception& e) {
      argumentos_.errorLog = e.what();
    }
  }
  // A folder the program cannot name leaves it without a log; the window then says why.
  if (ficheroLog.empty()) log_ = std::make_unique<ULog>(entorno_.reloj(), entorno_.destinoLog(), programa);
  else log_ = std::make_unique<ULog>(entorno_.reloj(), entorno_.destinoLog(), FicheroLog{ficheroLog});

  // A silent run makes no window at all: its boxes are log lines and nothing waits for a person.
  const bool silencioso = argumentos_.silencioso;
  Ui* ui = nullptr;
  if (silencioso) {
    silenciosa_ = std::make_unique<UiDesatendida>(*log_, [this] { entorno_.bombear(); });
    dialogosSilenciosos_ = std::make_unique<UpdateUiDesatendida>(*silenciosa_);
    ui = silenciosa_.get();
  } else {
    ui = &entorno_.interfazVentana();
  }

  std::vector<std::string> rechazos = argumentos_.ilegibles;
  if (!argumentos_.errorLog.empty()) rechazos.push_back(argumentos_.errorLog);
  if (!rechazos.empty()) {
    std::string texto;
    for (const std::string& l : rechazos) {
      log_->registrarLog(l);
      texto += (texto.empty() ? "" : "\n") + l;
    }
    codigo_ = kSalidaArgumentoInvalido;
    if (silencioso) log_->registrarLog(lineaCodigoSalida(codigo_));
    else ui->standardError(texto);
    return false;
  }
  if (terminaAntesDeLaVentana(argumentos_, [this] { return entorno_.tomarInstancia(); }, *ui, *log_, codigo_)) {
    if (codigo_ == kSalidaOtraCopia && !silencioso) entorno_.otraCopiaAlFrente();
    return false;
  }

  ventana_ = entorno_.crearVentana(entorno_.puertos(*ui, *log_), argumentos_);
  ventana_->UpdateEngine1.conectar(
      entorno_.puertosActualizacion(silencioso ? *dialogosSilenciosos_ : entorno_.dialogosVentana()));
  ventana_->FormCreate();
  if (!argumentos_.args.empty()) ventana_->procesarParametros();
  return true;
}

int Programa::ejecutar() {
  if (!arrancar()) return codigo_;
  if (argumentos_.silencioso) {
    codigo_ = ejecutarDesatendida(*ventana_);
    try {
      ventana_->FormDestroy();
    } catch (...) {
    }
    return codigo_;
  }
  codigo_ = entorno_.bucleVentana(*ventana_) ? codigoSalida(ventana_->estado.desenlace, false) : kSalidaFallida;
  return codigo_;
}

}  // namespace tf
