// Form poster: sends a list of form fields in one HTTP POST and keeps the answer as text.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/internet.h"
#include "platform/ui.h"

namespace tf {

class TFormPosterItem {
 public:
  std::string Name;
  std::string Value;
};

class TFormPosterItems {
 public:
  void Clear() { items_.clear(); }
  TFormPosterItem& Add() {
    items_.emplace_back();
    return items_.back();
  }
  int Count() const { return (int)items_.size(); }
  TFormPosterItem& operator[](int i) { return items_.at((size_t)i); }
  const TFormPosterItem& operator[](int i) const { return items_.at((size_t)i); }

 private:
  std::vector<TFormPosterItem> items_;  // copied by assignment, as the property copies a given list
};

class TFormPoster {
 public:
  // `pump` services the caller's window event queue between the blocks of the answer.
  TFormPoster(Internet& net, Ui& ui, std::function<void()> pump);
  TFormPoster(const TFormPoster&) = delete;
  TFormPoster& operator=(const TFormPoster&) = delete;

  std::string Agent = "FormPoster";
  std::string Server;
  int Port = 0;  // 0 means 80; 443 means TLS with relaxed certificate checks
  std::string Action;
  TFormPosterItems Items;
  std::string Referer;
  int TimeOut = 0;  // milliseconds
  bool WaitResponse = true;
  std::string Version() const { return "1.1.0.0"; }
  std::function<void(TFormPoster& Sender, const std::string& ErrorStr, int ErrorCode)> OnError;

  // True when the request was sent and the whole answer read, whatever its HTTP status.
  bool Execute();
  // The bytes of the last answer.
  const std::string& Response() const { return response_; }

  static const char* const kCabecera;  // the request's header text
  static std::string Cuerpo(const TFormPosterItems& items);

 private:
  void informarError();

  Internet& net_;
  Ui& ui_;
  std::function<void()> pump_;
  std::string response_;
};

}  // namespace tf
