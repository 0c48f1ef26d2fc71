// Downloads cut mid-body by the vendor test server: one table for both download engines
// (tests/wine/test_transfer.cpp and tests/wine/test_update_server.cpp run it).
#pragma once
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace tf {

struct PeticionVista {
  std::string rango;  // the Range header asked ("" for none)
  int status = 0;     // what the server answered
  bool operator==(const PeticionVista& o) const { return rango == o.rango && status == o.status; }
};

inline std::ostream& operator<<(std::ostream& os, const PeticionVista& p) {
  return os << "{" << (p.rango.empty() ? "-" : p.rango) << " " << p.status << "}";
}

struct CasoCorte {
  const char* nombre;
  uint64_t tamano;
  // The fault of the file's path; "{CUT}" stands for 90% of the file, "{OTHER}" for the path of
  // the changed file (the same length, other bytes).
  const char* fallo;
  enum Final { Llega, LlegaElOtro, NoLlega } final;
  std::vector<PeticionVista> peticiones;  // "{CUT}" in a range stands for the same number
};

inline const std::vector<CasoCorte>& casosCorte() {
  static const std::vector<CasoCorte> casos = {
      {"CutAtNinetyPercentOnceAsksOnlyForTheLastTenth", 50u << 20,
       R"({"fault": "cut", "at": {CUT}, "times": 1})",
       CasoCorte::Llega,
       {{"", 200}, {"bytes={CUT}-", 206}}},
      {"CutOnEveryRequestFailsAfterThreeRetries", 8u << 20, R"({"fault": "cut", "at": 1048576})",
       CasoCorte::NoLlega,
       {{"", 200}, {"bytes=1048576-", 206}, {"bytes=2097152-", 206}, {"bytes=3145728-", 206}}},
      {"RangeIgnoredRestartsTheFile", 8u << 20,
       R"([{"fault": "cut", "at": {CUT}, "times": 1, "ranges": "ignore"}, {"ranges": "ignore"}])",
       CasoCorte::Llega,
       {{"", 200}, {"bytes={CUT}-", 200}}},
      {"NoRangesOfferedRestartsTheFile", 8u << 20,
       R"([{"fault": "cut", "at": {CUT}, "times": 1, "ranges": "off"}, {"ranges": "off"}])",
       CasoCorte::Llega,
       {{"", 200}, {"", 200}}},
      {"FileChangedBetweenTriesIsRestartedNeverSpliced", 8u << 20,
       R"([{"fault": "cut", "at": {CUT}, "times": 1}, {"serve": "{OTHER}"}])",
       CasoCorte::LlegaElOtro,
       {{"", 200}, {"bytes={CUT}-", 206}, {"", 200}}},
  };
  return casos;
}

inline std::string sustituir(std::string s, const std::string& que, const std::string& por) {
  for (size_t at = s.find(que); at != std::string::npos; at = s.find(que, at + por.size())) s.replace(at, que.size(), por);
  return s;
}

inline uint64_t corteDe(const CasoCorte& c) { return c.tamano / 10 * 9; }

// The fault of a case as JSON, for the path of the file and of its changed copy.
inline std::string falloDe(const CasoCorte& c, const std::string& otro) {
  return sustituir(sustituir(c.fallo, "{CUT}", std::to_string(corteDe(c))), "{OTHER}", otro);
}

inline std::vector<PeticionVista> peticionesDe(const CasoCorte& c) {
  std::vector<PeticionVista> out = c.peticiones;
  for (auto& p : out) p.rango = sustituir(p.rango, "{CUT}", std::to_string(corteDe(c)));
  return out;
}

// The GET requests the server logged for `path`, from its JSON lines (one request a line).
inline std::vector<PeticionVista> peticionesA(const std::string& log, const std::string& path) {
  std::vector<PeticionVista> out;
  size_t at = 0;
  while (at < log.size()) {
    size_t nl = log.find('\n', at);
    if (nl == std::string::npos) nl = log.size();
    std::string line = log.substr(at, nl - at);
    at = nl + 1;
    if (line.find("\"method\": \"GET\"") == std::string::npos ||
        line.find("\"path\": \"" + path + "\"") == std::string::npos)
      continue;
    PeticionVista p;
    size_t r = line.find("[\"Range\", \"");
    if (r != std::string::npos) p.rango = line.substr(r + 11, line.find('"', r + 11) - r - 11);
    size_t s = line.find("\"status\": ");
    if (s != std::string::npos) p.status = atoi(line.c_str() + s + 10);
    out.push_back(p);
  }
  return out;
}

}  // namespace tf
