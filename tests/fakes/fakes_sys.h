// Fakes of the process and service ports.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/services.h"
#include "tests/fakes/fakes.h"

namespace tf {

// A scripted command: pieces of output that reach the pipe after a number of waits, and
// the number of waits after which the process ends. The pipe holds at most `pipeSize` bytes.
struct FakeCommandScript {
  struct Piece {
    int afterWaits;
    std::string bytes;
  };
  std::vector<Piece> pieces;
  int endAfterWaits = 0;
  size_t pipeSize = 4096;
};

class FakeProcesses : public Processes {
 public:
  std::map<std::string, std::string> env;  // names compare without letter case
  bool errorBoxesOff = false;
  std::vector<std::string> started;  // command lines
  int endedTrees = 0;                // commands ended with their programs
  FakeClock* clock = nullptr;        // when set, each wait moves it on by the wait's time
  bool startFails = false;
  FakeCommandScript script;          // what the next command does
  // When set, decides per command line what it does (and may change the fake machine).
  std::function<FakeCommandScript(const std::string& commandLine)> onStart;
  int waits = 0;                     // waitForActivity calls of the last command
  std::vector<unsigned> waitTimes;
  int passesWithoutWait = 0;         // finished() calls while running, not followed by a wait

  std::vector<ProcessEntry> table;
  bool listFails = false;
  std::set<uint32_t> protectedIds;   // termination refused
  std::vector<uint32_t> terminated;
  std::map<uint32_t, std::string> imagePaths;  // a process without one cannot be read

  std::string environment(const std::string& name) override;
  void switchOffErrorBoxes() override { errorBoxesOff = true; }
  std::unique_ptr<RunningCommand> startHidden(const std::string& commandLine) override;
  bool list(std::vector<ProcessEntry>& out) override;
  bool terminate(uint32_t id) override;
  bool imagePath(uint32_t id, std::string& path) override;
};

class FakeServices : public Services {
 public:
  explicit FakeServices(FakeClock& clock) : clock_(clock) {}
  struct Service {
    std::string key;
    std::string display;
    bool startRefused = false;
    // Successive answers to queries; the last one repeats.
    std::vector<ServiceStatus> statuses{{kServiceRunning, 0, 0}};
    int queries = 0;
    bool started = false;
    // Stopping: refused or accepted; then successive answers to queries, the last repeating.
    bool stopRefused = false;
    int stopRefusals = 0;  // only the first stops refused (a service still starting)
    std::vector<ServiceStatus> stopStatuses{{kServiceStopped, 0, 0}};
    int stopQueries = 0;
    bool stopRequested = false;
    std::function<void()> onStop = nullptr;  // what an accepted stop does to the machine
  };
  std::vector<Service> services;
  bool listFails = false;
  bool openFails = false;
  std::vector<unsigned> sleeps;  // waitForMessages arguments

  Service* find(const std::string& key);  // any letter case
  std::vector<std::string> serviceNames(const std::string& machine) override;
  std::unique_ptr<ServiceControl> openForStart(const std::string& machine, const std::string& name) override;
  std::unique_ptr<ServiceControl> openForStop(const std::string& machine, const std::string& name) override;
  void waitForMessages(unsigned ms) override;

 private:
  FakeClock& clock_;
};

}  // namespace tf
