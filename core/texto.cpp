#include "core/texto.h"

#include <cstdint>

#include "platform/codepage.h"

namespace tf {

namespace {

bool esSeparador(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string mayusculas(std::string s) {
  for (char& c : s) c = (char)upperCp1252((unsigned char)c);
  return s;
}

std::string minusculas(std::string s) {
  for (char& c : s) c = (char)lowerCp1252((unsigned char)c);
  return s;
}

std::string mayusculasAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
  return s;
}

bool igualesSinMayusculas(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerCp1252((unsigned char)a[i]) != lowerCp1252((unsigned char)b[i])) return false;
  return true;
}

bool empiezaSinMayusculas(const std::string& s, const std::string& prefijo) {
  return s.size() >= prefijo.size() && igualesSinMayusculas(s.substr(0, prefijo.size()), prefijo);
}

std::string nombreFichero(const std::string& ruta) {
  size_t corte = ruta.find_last_of("\\/:");
  return corte == std::string::npos ? ruta : ruta.substr(corte + 1);
}

std::string extraerDirectorio(const std::string& ruta) {
  size_t corte = ruta.find_last_of("\\/:");
  if (corte == std::string::npos) return {};
  // A root keeps its separator: "C:" alone would mean the drive's current folder.
  bool raiz = ruta[corte] == ':' || corte == 0 || ruta[corte - 1] == ':' || esSeparador(ruta[corte - 1]);
  return ruta.substr(0, raiz ? corte + 1 : corte);
}

std::string extensionFichero(const std::string& ruta) {
  std::string nombre = nombreFichero(ruta);
  size_t punto = nombre.rfind('.');
  return punto == std::string::npos ? std::string() : nombre.substr(punto);
}

std::string conBarraFinal(std::string carpeta) {
  if (!carpeta.empty() && !esSeparador(carpeta.back())) carpeta += '\\';
  return carpeta;
}

std::string sinBarraFinal(std::string ruta) {
  while (!ruta.empty() && ruta.back() == '\\') ruta.pop_back();
  return ruta;
}

std::string entreComillasSiBlanco(const std::string& ruta) {
  return ruta.find(' ') == std::string::npos ? ruta : "\"" + ruta + "\"";
}

std::string unirRuta(const std::string& carpeta, const std::string& nombre) {
  return conBarraFinal(carpeta) + nombre;
}

bool esNombreDeDispositivo(const std::string& componente) {
  std::string base = mayusculasAscii(componente.substr(0, componente.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  const unsigned char n = (unsigned char)base[3];
  return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

std::string ultimoSegmentoURL(const std::string& url) {
  std::string s = url;
  size_t corte = s.rfind('/');
  if (corte != std::string::npos) s = s.substr(corte + 1);
  corte = s.rfind('\\');
  if (corte != std::string::npos) s = s.substr(corte + 1);
  return s;
}

std::string hostDeURL(const std::string& url) {
  size_t inicio = url.find("://");
  inicio = inicio == std::string::npos ? 0 : inicio + 3;
  size_t fin = url.find_first_of("/\\?#", inicio);
  std::string host = url.substr(inicio, fin == std::string::npos ? std::string::npos : fin - inicio);
  size_t arroba = host.rfind('@');
  if (arroba != std::string::npos) host = host.substr(arroba + 1);
  // The port is no part of the name; an IPv6 address keeps its brackets.
  size_t puerto = host.find(':', host.empty() || host[0] != '[' ? 0 : host.find(']'));
  if (puerto != std::string::npos) host.resize(puerto);
  return host;
}

std::string codificarBase64(const std::string& bytes) {
  static const char* const abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint32_t)(unsigned char)bytes[i] << 16 | (uint32_t)(unsigned char)bytes[i + 1] << 8 |
                 (unsigned char)bytes[i + 2];
    out += abc[v >> 18 & 63];
    out += abc[v >> 12 & 63];
    out += abc[v >> 6 & 63];
    out += abc[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = (uint32_t)(unsigned char)bytes[i] << 16;
    if (i + 1 < bytes.size()) v |= (uint32_t)(unsigned char)bytes[i + 1] << 8;
    out += abc[v >> 18 & 63];
    out += abc[v >> 12 & 63];
    out += i + 1 < bytes.size() ? abc[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace tf
