// Text helpers of every layer: Windows-1252 letter case, Windows paths, URLs and Base64.
#pragma once
#include <string>

namespace tf {

// ---- letter case (Windows-1252: ASCII and the Latin letters of the code page, after the
// code page's own table in platform/codepage) ----

std::string mayusculas(std::string s);
std::string minusculas(std::string s);
// Only a..z folded: how the process table is compared.
std::string mayusculasAscii(std::string s);
bool igualesSinMayusculas(const std::string& a, const std::string& b);
bool empiezaSinMayusculas(const std::string& s, const std::string& prefijo);

// ---- Windows paths: "\" and "/" separate folders, ":" ends a drive ----

// What follows the last "\", "/" or ":".
std::string nombreFichero(const std::string& ruta);
// The folder part: no trailing separator except for a root ("C:\", "\").
std::string extraerDirectorio(const std::string& ruta);
// The name's extension with its dot ("" when the name has none).
std::string extensionFichero(const std::string& ruta);
// A trailing "\" added when missing; an empty folder stays empty.
std::string conBarraFinal(std::string carpeta);
// Every trailing "\" removed.
std::string sinBarraFinal(std::string ruta);
// In quotation marks when it holds a blank, for a command line.
std::string entreComillasSiBlanco(const std::string& ruta);
// A folder and a name joined with one separator (the bare name when the folder is empty).
std::string unirRuta(const std::string& carpeta, const std::string& nombre);
// A name Windows opens as a device in every folder, whatever its extension: CON, PRN, AUX, NUL,
// COM0-9 and LPT0-9, also with "¹", "²" or "³" (Windows-1252 text).
bool esNombreDeDispositivo(const std::string& componente);

// ---- URLs ----

// Everything after the last "/", then after the last "\" (a query string stays part of it).
std::string ultimoSegmentoURL(const std::string& url);
// The host name: no scheme, user, port, path or query.
std::string hostDeURL(const std::string& url);
// Standard Base64 (RFC 4648) with "=" padding.
std::string codificarBase64(const std::string& bytes);

}  // namespace tf
