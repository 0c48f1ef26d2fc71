// Shared by the Wine tests that talk to the vendor test server tests/wine/run_all.sh starts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

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
