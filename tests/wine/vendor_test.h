// Shared by the Wine tests that talk to the vendor test server tests/wine/run_all.sh starts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ui.h"

namespace tf {

inline std::string env(const char* name) {
  const char* v = getenv(name);
  return v ? v : "";
}

// A Linux path as Wine's Z: drive shows it.
inline std::string winPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// Bytes that compress badly and show any reordering: a xorshift stream from `seed`.
inline std::string pattern(size_t n, uint32_t seed = 2463534242u) {
  std::string s(n, '\0');
  uint32_t x = seed;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = (char)x;
  }
  return s;
}

// No box may appear in these tests: every failure is expected through events.
class NoUi : public Ui {
 public:
  void messageBox(const std::string& text, const std::string&, MessageIcon) override { ADD_FAILURE() << text; }
  void standardError(const std::string& m) override { ADD_FAILURE() << m; }
  void setBusyCursor(bool) override {}
  void processMessages() override {}
  void closeWindow() override {}
  void setFocus(const std::string&) override {}
  bool shellOpen(const std::string&, std::string&) override { return false; }
};

}  // namespace tf
