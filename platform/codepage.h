// Conversions between the program's Windows-1252 text and other encodings, without the OS.
#pragma once
#include <cstdint>
#include <string>

namespace tf {

// The Windows-1252 byte for a Unicode code point; `replacement` when it has none.
char cp1252FromCodePoint(uint32_t cp, char replacement = '_');
// The Unicode code point of a Windows-1252 byte (undefined bytes map to U+FFFD).
uint32_t codePointFromCp1252(unsigned char b);

// False when `s` is not well-formed UTF-8.
bool isValidUtf8(const std::string& s);
// UTF-8 to Windows-1252; characters it lacks (and malformed bytes) become `replacement`.
std::string cp1252FromUtf8(const std::string& s, char replacement = '_');
// Code page 437 (the DOS code page of ZIP names) to Windows-1252.
std::string cp1252FromCp437(const std::string& s, char replacement = '_');
std::string utf8FromCp1252(const std::string& s);

// Upper and lower case of a Windows-1252 letter (ASCII and Latin letters); other bytes unchanged.
unsigned char upperCp1252(unsigned char c);
unsigned char lowerCp1252(unsigned char c);

}  // namespace tf
