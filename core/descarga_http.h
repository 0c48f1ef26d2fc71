// One file's download over HTTP, shared by the file transfer engine and the update engine: the
// URL with the proxy's login, the request with the user's credentials, the body read in blocks
// into a file, and the retries of a body cut short (core/reanudacion.h). What an engine says
// about it (events, status reports, log lines) it says through AnfitrionDescarga.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/cliente_http.h"
#include "core/reanudacion.h"
#include "platform/files.h"
#include "platform/ports.h"

namespace tf {

// When the proxy's user and password go into an "http://" URL: with both of them, or as soon as
// there is a user (a missing password then goes in empty).
enum class CredencialesProxy { ConUsuarioYClave, ConUsuario };
std::string urlConCredencialesProxy(const std::string& url, const std::string& user, const std::string& password,
                                    CredencialesProxy regla = CredencialesProxy::ConUsuarioYClave);

// Basic authentication, as the request's header text ("" without a user and a password).
std::string cabeceraAutorizacion(const std::string& user, const std::string& password);

// A server that keeps refusing the credentials given gets this many logins, then its 401 stands.
constexpr int kPreguntasCredenciales = 16;

// What the last request of a download met, for the report of a file that fails.
struct Intento {
  bool sinRespuesta = false;  // the request could not be opened
  uint32_t error = 0;         // then: the error code and its text
  std::string textoError;
  int status = 0;  // else: the answer's status (a login cancelled leaves both at 0)
};

// The engine around a download: its window, its login, its progress, its cancel, its log.
class AnfitrionDescarga {
 public:
  virtual ~AnfitrionDescarga() = default;
  // After each request is opened, answered or not.
  virtual void trasAbrir() = 0;
  // Credentials for the login captioned `caption`; false when it is cancelled.
  virtual bool pedirCredenciales(const std::string& caption, std::string& user, std::string& password) = 0;
  // Before each read; false stops the body unread.
  virtual bool antesDeLeer() = 0;
  // After each read, the one that meets the end included: `recibidos` bytes held of `longitud`
  // (0 when none was announced). False stops the body.
  virtual bool trasLeer(uint64_t recibidos, uint64_t longitud) = 0;
  // Retry r.numero() of a body cut after `recibidos` bytes is about to start.
  virtual void anunciarReintento(const ReintentosDescarga& r, uint64_t recibidos) = 0;
  // Services the window during the pause before a retry; true ends the pause (a cancel).
  virtual bool atenderPausa() = 0;
  virtual bool cancelado() = 0;
};

// The request of one file as the engine sets it.
struct PeticionDescarga {
  std::string url;  // with the proxy's login already in it
  OpcionesPeticion opciones;
  bool pedirAntes = false;    // ask for credentials before the first request when one is missing
  bool pedirTras401 = false;  // ask again when the server answers 401
};

// What came of a body.
struct CuerpoRecibido {
  bool completo = false;  // its end was read and nothing announced is missing
  uint64_t recibidos = 0;
  bool hayLongitud = false;  // of the answer whose body the file holds
  uint64_t longitud = 0;
};

class DescargaHttp {
 public:
  // `user` and `password` are the engine's own: a login changes them.
  DescargaHttp(ClienteHttp& cliente, Clock& clock, AnfitrionDescarga& anfitrion, PeticionDescarga peticion,
               std::string& user, std::string& password)
      : cliente_(cliente), clock_(clock), anfitrion_(anfitrion), p_(std::move(peticion)), user_(user),
        password_(password) {}

  // The request, answered with a status below 300; nullptr otherwise (ultimo() says why).
  std::unique_ptr<PeticionHttp> abrir();
  // Writes the body of `peticion` into `salida`, the file at `ruta`, asking again for a body cut
  // short; a start over writes the file anew. Throws Error when the file cannot be written.
  CuerpoRecibido recibir(std::unique_ptr<PeticionHttp> peticion, std::unique_ptr<OutputFile> salida, Files& files,
                         const std::string& ruta);
  const Intento& ultimo() const { return ultimo_; }

 private:
  std::unique_ptr<PeticionHttp> pedir(const std::string& rango);
  // Appends the body to `salida`; true when its end was read.
  bool leerBloques(PeticionHttp& peticion, OutputFile& salida, const std::string& ruta, CuerpoRecibido& c);
  // After a cut: retries until an answer has a body to write (left in `peticion`) or the file fails.
  ReintentosDescarga::Paso reintentar(ReintentosDescarga& r, uint64_t recibidos,
                                      std::unique_ptr<PeticionHttp>& peticion);

  ClienteHttp& cliente_;
  Clock& clock_;
  AnfitrionDescarga& anfitrion_;
  PeticionDescarga p_;
  std::string& user_;
  std::string& password_;
  Intento ultimo_;
};

}  // namespace tf
