// Downloads cut mid-body by the vendor test server: one table and one set of checks for both
// download engines (tests/wine/test_transfer.cpp and tests/wine/test_update_server.cpp).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tf {

struct CasoCorte {
  const char* nombre;
  uint64_t tamano;
  // The fault of the file's path: "{CUT}" stands for 90% of the file, "{OTHER}" for the path of
  // the changed file (the same length, other bytes).
  const char* fallo;
  enum Final { Llega, LlegaElOtro, NoLlega } final;
  // "Range status" of each request the server sees, "{CUT}" as above.
  std::vector<std::string> peticiones;
};

inline std::string sustituir(std::string s, const std::string& que, const std::string& por) {
  for (size_t at = s.find(que); at != std::string::npos; at = s.find(que, at + por.size())) s.replace(at, que.size(), por);
  return s;
}

inline const std::vector<CasoCorte>& casosCorte() {
  static const std::vector<CasoCorte> casos = {
      {"CutAtNinetyPercentOnceAsksOnlyForTheLastTenth", 50u << 20, R"({"fault": "cut", "at": {CUT}, "times": 1})",
       CasoCorte::Llega, {"- 200", "bytes={CUT}- 206"}},
      {"CutOnEveryRequestFailsAfterThreeRetries", 8u << 20, R"({"fault": "cut", "at": 1048576})", CasoCorte::NoLlega,
       {"- 200", "bytes=1048576- 206", "bytes=2097152- 206", "bytes=3145728- 206"}},
      {"RangeIgnoredRestartsTheFile", 8u << 20,
       R"([{"fault": "cut", "at": {CUT}, "times": 1, "ranges": "ignore"}, {"ranges": "ignore"}])", CasoCorte::Llega,
       {"- 200", "bytes={CUT}- 200"}},
      {"FileChangedBetweenTriesIsRestartedNeverSpliced", 8u << 20,
       R"([{"fault": "cut", "at": {CUT}, "times": 1}, {"serve": "{OTHER}"}])", CasoCorte::LlegaElOtro,
       {"- 200", "bytes={CUT}- 206", "- 200"}},
  };
  return casos;
}

inline std::string falloDe(const CasoCorte& c, const std::string& otro) {
  return sustituir(sustituir(c.fallo, "{CUT}", std::to_string(c.tamano / 10 * 9)), "{OTHER}", otro);
}

// "Range status" of each GET the server logged for `path` (its log holds one JSON object a line).
inline std::vector<std::string> peticionesA(const std::string& log, const std::string& path) {
  std::vector<std::string> out;
  for (size_t at = 0, nl; at < log.size(); at = nl + 1) {
    nl = log.find('\n', at);
    std::string line = log.substr(at, nl - at);
    if (line.find("\"method\": \"GET\"") == line.npos || line.find("\"path\": \"" + path + "\"") == line.npos) continue;
    size_t r = line.find("[\"Range\", \""), s = line.find("\"status\": ");
    out.push_back((r == line.npos ? "-" : line.substr(r + 11, line.find('"', r + 11) - r - 11)) + " " +
                  line.substr(s + 10, 3));
  }
  return out;
}

// What an engine left: the target, the requests, its retry lines, the bytes of each progress event.
inline void comprobarCorte(const CasoCorte& c, bool ok, const std::string& got, const std::string& data,
                           const std::string& otro, const std::vector<std::string>& peticiones,
                           const std::vector<std::string>& lineas, const std::vector<int64_t>& progreso) {
  EXPECT_EQ(ok, c.final != CasoCorte::NoLlega);
  const std::string& want = c.final == CasoCorte::Llega ? data : otro;
  if (c.final == CasoCorte::NoLlega) {
    EXPECT_EQ(got, "older package");
  } else {
    EXPECT_TRUE(got == want) << got.size() << " bytes, not the file served last";
  }
  std::vector<std::string> esperadas;
  for (const auto& p : c.peticiones) esperadas.push_back(sustituir(p, "{CUT}", std::to_string(c.tamano / 10 * 9)));
  EXPECT_EQ(peticiones, esperadas);
  // One line per retry, the first with the byte the body was cut at.
  ASSERT_EQ(lineas.size(), esperadas.size() - 1);
  EXPECT_NE(lineas[0].find(" byte " + esperadas[1].substr(6, esperadas[1].find('-') - 6) + ": "), std::string::npos)
      << lineas[0];
  // The progress goes back only for a file that starts over.
  int atras = 0;
  for (size_t i = 1; i < progreso.size(); ++i) atras += progreso[i] < progreso[i - 1];
  EXPECT_EQ(atras, esperadas.back().find(" 200") != std::string::npos ? 1 : 0);
  if (ok) {
    EXPECT_EQ(progreso.back(), (int64_t)c.tamano);
  }
}

}  // namespace tf
