#include "tests/fakes/fakes_sys.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "platform/error.h"

namespace tf {

namespace {

class FakeRunningCommand : public RunningCommand {
 public:
  FakeRunningCommand(FakeProcesses& owner, FakeCommandScript script) : owner_(owner), script_(std::move(script)) {}
  // Bytes written so far that the reader has not taken, bounded by the pipe's size.
  size_t available() override {
    arrive();
    return std::min(pipe_.size(), script_.pipeSize);
  }
  size_t read(char* buffer, size_t n) override {
    n = std::min(n, available());
    std::memcpy(buffer, pipe_.data(), n);
    pipe_.erase(0, n);
    return n;
  }
  bool finished() override {
    bool done = ended_ || owner_.waits >= script_.endAfterWaits;
    if (!done) {
      if (runningPass_) ++owner_.passesWithoutWait;
      runningPass_ = true;
    }
    return done;
  }
  void waitForActivity(unsigned maxMs) override {
    runningPass_ = false;
    ++owner_.waits;
    owner_.waitTimes.push_back(maxMs);
    if (owner_.clock) owner_.clock->ticks += maxMs;
  }
  void endTree() override {
    ended_ = true;
    ++owner_.endedTrees;
  }

 private:
  void arrive() {
    for (auto& p : script_.pieces)
      if (p.afterWaits <= owner_.waits && !p.bytes.empty()) {
        pipe_ += p.bytes;
        p.bytes.clear();
      }
  }
  FakeProcesses& owner_;
  FakeCommandScript script_;
  std::string pipe_;
  bool runningPass_ = false;
  bool ended_ = false;
};

// Opened to start, its queries answer the start's statuses; opened to stop, the stop's.
class FakeServiceControl : public ServiceControl {
 public:
  FakeServiceControl(FakeServices::Service& s, bool paraDetener) : s_(s), paraDetener_(paraDetener) {}
  bool stop() override {
    if (s_.stopRefused) return false;
    if (s_.stopRefusals > 0) {
      --s_.stopRefusals;
      return false;
    }
    s_.stopRequested = true;
    if (s_.onStop) s_.onStop();
    return true;
  }
  bool start() override {
    if (s_.startRefused) return false;
    s_.started = true;
    return true;
  }
  bool query(ServiceStatus& status) override {
    std::vector<ServiceStatus>& estados = paraDetener_ ? s_.stopStatuses : s_.statuses;
    int& consultas = paraDetener_ ? s_.stopQueries : s_.queries;
    size_t i = std::min<size_t>((size_t)consultas, estados.size() - 1);
    ++consultas;
    status = estados[i];
    return true;
  }

 private:
  FakeServices::Service& s_;
  bool paraDetener_;
};

}  // namespace

// Names compare without letter case, as the system's do.
static bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return upperCp1252((unsigned char)x) == upperCp1252((unsigned char)y);
         });
}

std::string FakeProcesses::environment(const std::string& name) {
  for (const auto& v : env)
    if (sameName(v.first, name)) return v.second;
  return {};
}

std::unique_ptr<RunningCommand> FakeProcesses::startHidden(const std::string& commandLine) {
  started.push_back(commandLine);
  if (startFails) return nullptr;
  waits = 0;
  waitTimes.clear();
  passesWithoutWait = 0;
  return std::make_unique<FakeRunningCommand>(*this, onStart ? onStart(commandLine) : script);
}

bool FakeProcesses::list(std::vector<ProcessEntry>& out) {
  out = table;
  return !listFails;
}

bool FakeProcesses::terminate(uint32_t id) {
  if (protectedIds.count(id)) return false;
  auto it = std::find_if(table.begin(), table.end(), [&](const ProcessEntry& p) { return p.id == id; });
  if (it == table.end()) return false;
  table.erase(it);
  terminated.push_back(id);
  return true;
}

bool FakeProcesses::imagePath(uint32_t id, std::string& path) {
  auto it = imagePaths.find(id);
  bool running = std::any_of(table.begin(), table.end(), [&](const ProcessEntry& p) { return p.id == id; });
  if (!running || it == imagePaths.end()) return false;
  path = it->second;
  return true;
}

FakeServices::Service* FakeServices::find(const std::string& key) {
  for (auto& s : services)
    if (sameName(s.key, key)) return &s;
  return nullptr;
}

std::vector<std::string> FakeServices::serviceNames(const std::string&) {
  if (listFails) throw Error("Acceso denegado.");
  std::vector<std::string> out;
  for (const auto& s : services) out.push_back(s.key);
  return out;
}

std::unique_ptr<ServiceControl> FakeServices::openForStart(const std::string&, const std::string& name) {
  Service* s = openFails ? nullptr : find(name);
  if (!s) return nullptr;
  return std::make_unique<FakeServiceControl>(*s, false);
}

std::unique_ptr<ServiceControl> FakeServices::openForStop(const std::string&, const std::string& name) {
  Service* s = openFails ? nullptr : find(name);
  if (!s) return nullptr;
  return std::make_unique<FakeServiceControl>(*s, true);
}

void FakeServices::waitForMessages(unsigned ms) {
  sleeps.push_back(ms);
  clock_.ticks += ms;
}

}  // namespace tf
