// Fakes of the update engine's ports.
#pragma once
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/fakes/fakes.h"
#include "update/update_ports.h"

namespace tf {

class FakeUpdateHttp : public UpdateHttp {
 public:
  struct Response {
    int status = 200;
    std::string body;
    bool announce = true;     // send a content length
    int64_t announced = -1;   // the length announced; -1: the body's size
    bool failRead = false;    // the read after the body fails
  };
  std::map<std::string, Response> responses;  // by URL; others answer 404
  bool online = true, queryAvailable = true, sessionFails = false, dialOk = false;
  uint32_t openError = 0;                     // set: openUrl fails with this code
  std::vector<std::string> requested, headers;
  std::vector<std::string> calls;             // session-level calls in order
  int openSessions = 0;

  void serve(const std::string& url, const std::string& body) { responses[url].body = body; }

  bool connectedState(bool& available) override {
    available = queryAvailable;
    return online;
  }
  bool dial(bool prompt) override {
    calls.push_back(prompt ? "dial-prompt" : "dial-silent");
    return dialOk;
  }
  void hangUp() override { calls.push_back("hangup"); }
  bool openSession(const std::string& agent, const std::string& proxy) override {
    calls.push_back("open " + agent + " " + proxy);
    if (sessionFails) return false;
    ++openSessions;
    return true;
  }
  void setTimeouts(int c, int r) override { calls.push_back("timeouts " + std::to_string(c) + " " + std::to_string(r)); }
  void ignoreCertificateErrors() override { calls.push_back("ignore-cert"); }
  std::unique_ptr<UpdateRequest> openUrl(const std::string& url, const std::string& h,
                                         const UpdateRequestFlags&) override {
    requested.push_back(url);
    headers.push_back(h);
    if (openError) return nullptr;
    auto it = responses.find(url);
    Response r;
    if (it == responses.end()) {
      r.status = 404;
      r.body = "<html>404</html>";
    } else {
      r = it->second;
    }
    return std::unique_ptr<UpdateRequest>(new Request(r));
  }
  uint32_t lastError(std::string& text) override {
    text = openError ? "El nombre del servidor no se pudo resolver" : "";
    return openError;
  }
  void closeSession() override { calls.push_back("close"); --openSessions; }
  PostResult postForm(const std::string&, const std::string&, const std::string&, std::string&) override {
    return PostResult::Ok;
  }

 private:
  class Request : public UpdateRequest {
   public:
    explicit Request(Response r) : r_(std::move(r)) {}
    int statusCode() override { return r_.status; }
    bool contentLength(uint64_t& n) override {
      if (!r_.announce) return false;
      n = r_.announced >= 0 ? (uint64_t)r_.announced : r_.body.size();
      return true;
    }
    long long read(void* data, size_t n) override {
      if (pos_ >= r_.body.size()) return r_.failRead ? -1 : 0;
      size_t k = std::min(n, r_.body.size() - pos_);
      std::memcpy(data, r_.body.data() + pos_, k);
      pos_ += k;
      return (long long)k;
    }
    CabecerasRespuesta headers() override {
      CabecerasRespuesta c;
      c.status = r_.status;
      c.hayLongitud = contentLength(c.longitud);
      return c;
    }

   private:
    Response r_;
    size_t pos_ = 0;
  };
};

class FakeUpdateSystem : public UpdateSystem {
 public:
  explicit FakeUpdateSystem(FakeFiles& files) : files_(files) {}
  std::string windows = "C:\\windows", system = "C:\\windows\\system32", program = "C:\\Prog";
  std::string documents = "C:\\Users\\ana\\Documents", localAppData = "C:\\Users\\ana\\AppData\\Local";
  bool hasLocalAppData = true;
  std::map<std::string, FileVersion> versions;  // by lower-case path
  std::map<std::string, std::string> settings;  // "root|key|name" -> value
  std::vector<std::string> started;
  int tempCounter = 0;

  std::string windowsDir() override { return windows; }
  std::string systemDir() override { return system; }
  std::string programDir() override { return program; }
  std::string documentsDir() override { return documents; }
  bool localAppDataDir(std::string& f) override {
    f = localAppData;
    return hasLocalAppData;
  }
  std::string shortDate(const LocalTime& t) override {
    return std::to_string(t.day) + "/" + std::to_string(t.month) + "/" + std::to_string(t.year);
  }
  std::string osVersionText() override { return "6.1 (Win 7)"; }
  bool isVistaOrLater() override { return true; }
  std::string ieVersion() override { return ""; }
  bool setCurrentDir(const std::string& f) override {
    files_.current = f;
    return true;
  }
  FileVersion fileVersion(const std::string& path) override {
    auto it = versions.find(FakeFiles::key(path));
    return it == versions.end() ? FileVersion{} : it->second;
  }
  bool startProgram(const std::string& program, const std::string& params, bool) override {
    started.push_back(program + "|" + params);
    return true;
  }
  bool startBrowser(const std::string& url) override {
    started.push_back("browser|" + url);
    return true;
  }
  std::string uniqueTempFile(const std::string& folder, const std::string& prefix) override {
    std::string p = folder + prefix + std::to_string(++tempCounter) + ".tmp";
    if (!files_.writeFile(p, "")) return {};
    return p;
  }
  bool readSetting(SettingsRoot r, const std::string& k, const std::string& n, std::string& v) override {
    auto it = settings.find(std::to_string((int)r) + "|" + k + "|" + n);
    if (it == settings.end()) return false;
    v = it->second;
    return true;
  }
  bool writeSetting(SettingsRoot r, const std::string& k, const std::string& n, const std::string& v) override {
    settings[std::to_string((int)r) + "|" + k + "|" + n] = v;
    return true;
  }

 private:
  FakeFiles& files_;
};

class FakeUpdateArchives : public UpdateArchives {
 public:
  explicit FakeUpdateArchives(FakeFiles& files) : files_(files) {}
  // A fake cabinet is "CAB:" + name "=" content lines; a fake LZ file is "LZ:" + name "=" content.
  bool extractCabinet(const std::string& cab, const std::string& target) override {
    std::string data;
    if (!files_.readFile(cab, data) || data.compare(0, 4, "CAB:") != 0) return false;
    size_t eq = data.find('=');
    files_.put(target + data.substr(4, eq - 4), data.substr(eq + 1));
    return true;
  }
  LzResult lzExpand(const std::string& src, const std::string& folder, std::string& expanded) override {
    std::string data;
    if (!files_.readFile(src, data)) return LzResult::Failed;
    if (data.compare(0, 3, "LZ:") != 0) return LzResult::NotLz;
    size_t eq = data.find('=');
    expanded = folder + data.substr(3, eq - 3);
    files_.put(expanded, data.substr(eq + 1));
    return LzResult::Expanded;
  }

 private:
  FakeFiles& files_;
};

class FakeUpdateUi : public UpdateUi {
 public:
  std::vector<std::string> shown, errors;
  bool answerYes = true, acceptTexts = true;
  int pumps = 0;
  void processMessages() override { ++pumps; }
  void information(const std::string& text) override { shown.push_back("info:" + text); }
  bool askYesNo(const std::string& text) override {
    shown.push_back("ask:" + text);
    return answerYes;
  }
  void showError(const std::string& text) override { errors.push_back(text); }
  void showHtmlDialog(const std::string& page) override { shown.push_back("html:" + page); }
  bool showWhatsNew(const std::string& caption, const std::string&, const std::string&, const std::string& text,
                    bool) override {
    shown.push_back("whatsnew:" + caption + ":" + text);
    return acceptTexts;
  }
  bool showLicence(const std::string& caption, const std::string&, const std::string&, const std::string&,
                   const std::string& text, bool) override {
    shown.push_back("eula:" + caption + ":" + text);
    return acceptTexts;
  }
  bool login(const std::string&, std::string&, std::string&) override { return false; }
};

}  // namespace tf
