#include "core/descarga_http.h"

#include "core/texto.h"
#include "platform/error.h"

namespace tf {

namespace {
constexpr size_t kBloque = 4096;
}  // namespace

std::string urlConCredencialesProxy(const std::string& url, const std::string& user, const std::string& password,
                                    CredencialesProxy regla) {
  bool conClave = regla == CredencialesProxy::ConUsuario || !password.empty();
  if (empiezaSinMayusculas(url, "http://") && !user.empty() && conClave)
    return "http://" + user + ":" + password + "@" + url.substr(7);
  return url;
}

std::string cabeceraAutorizacion(const std::string& user, const std::string& password) {
  if (user.empty() && password.empty()) return {};
  return "Authorization: Basic " + codificarBase64(user + ":" + password) + "\r\n\r\n";
}

std::unique_ptr<PeticionHttp> DescargaHttp::pedir(const std::string& rango) {
  std::unique_ptr<PeticionHttp> peticion =
      cliente_.openUrl(p_.url, rango + cabeceraAutorizacion(user_, password_), p_.opciones);
  ultimo_ = Intento{};
  if (!peticion) {
    ultimo_.sinRespuesta = true;
    ultimo_.error = cliente_.lastError(ultimo_.textoError);
  }
  anfitrion_.trasAbrir();
  return peticion;
}

std::unique_ptr<PeticionHttp> DescargaHttp::abrir() {
  ultimo_ = Intento{};
  const std::string caption = "Connect to " + hostDeURL(p_.url);
  if (p_.pedirAntes && (user_.empty() || password_.empty()) &&
      !anfitrion_.pedirCredenciales(caption, user_, password_))
    return nullptr;
  for (int preguntas = 0;; ++preguntas) {
    std::unique_ptr<PeticionHttp> peticion = pedir("");
    if (!peticion) return nullptr;
    int status = peticion->statusCode();
    if (status == 401 && p_.pedirTras401 && preguntas < kPreguntasCredenciales) {
      peticion.reset();
      if (!anfitrion_.pedirCredenciales(caption, user_, password_)) return nullptr;
      continue;
    }
    if (status >= 300) {
      ultimo_.status = status;
      return nullptr;
    }
    return peticion;
  }
}

CuerpoRecibido DescargaHttp::recibir(std::unique_ptr<PeticionHttp> peticion, std::unique_ptr<OutputFile> salida,
                                     Files& files, const std::string& ruta) {
  using Paso = ReintentosDescarga::Paso;
  CuerpoRecibido c;
  auto longitudDe = [&c](PeticionHttp& p) {
    c.hayLongitud = p.contentLength(c.longitud);
    if (!c.hayLongitud) c.longitud = 0;
  };
  longitudDe(*peticion);
  ReintentosDescarga reintentos(peticion->headers());
  for (;;) {
    bool fin = leerBloques(*peticion, *salida, ruta, c);
    peticion.reset();
    if (anfitrion_.cancelado()) break;
    if (!reintentos.cortado(c.recibidos, fin)) {
      c.completo = true;
      break;
    }
    Paso paso = reintentar(reintentos, c.recibidos, peticion);
    if (paso == Paso::DesdeCero) {
      // The bytes held belong to no file any more: the new body is written from its first byte.
      if (!salida->close()) throw Error("Cannot write file : " + ruta);
      salida = files.createFile(ruta);
      if (!salida) throw Error("Cannot create file : " + ruta);
      longitudDe(*peticion);
      c.recibidos = 0;
    } else if (paso != Paso::Anadir) {
      break;
    }
  }
  peticion.reset();
  if (!salida->close()) throw Error("Cannot write file : " + ruta);
  return c;
}

bool DescargaHttp::leerBloques(PeticionHttp& peticion, OutputFile& salida, const std::string& ruta,
                               CuerpoRecibido& c) {
  char bloque[kBloque];
  for (;;) {
    if (!anfitrion_.antesDeLeer()) return false;
    long long n = peticion.read(bloque, sizeof bloque);
    if (n < 0 || n > (long long)sizeof bloque) return false;
    if (n > 0 && !salida.write(bloque, (size_t)n)) throw Error("Cannot write file : " + ruta);
    c.recibidos += (uint64_t)n;
    bool sigue = anfitrion_.trasLeer(c.recibidos, c.longitud);
    if (n == 0) return true;
    if (!sigue) return false;
  }
}

ReintentosDescarga::Paso DescargaHttp::reintentar(ReintentosDescarga& r, uint64_t recibidos,
                                                  std::unique_ptr<PeticionHttp>& peticion) {
  using Paso = ReintentosDescarga::Paso;
  while (r.siguiente(recibidos)) {
    anfitrion_.anunciarReintento(r, recibidos);
    pausarAtendiendo(clock_, r.pausaMs(), [this] { return anfitrion_.atenderPausa(); });
    if (anfitrion_.cancelado()) return Paso::Fallar;
    peticion = pedir(r.cabeceraRango());
    if (!peticion) continue;
    CabecerasRespuesta answer = peticion->headers();
    ultimo_.status = answer.status;
    Paso paso = r.juzgar(answer);
    if (paso == Paso::Anadir || paso == Paso::DesdeCero) return paso;
    peticion.reset();
    if (paso == Paso::Fallar) return paso;
  }
  return Paso::Fallar;
}

}  // namespace tf
