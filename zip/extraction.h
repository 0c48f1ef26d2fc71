// One call of extractFiles spread over worker threads.
//
// Batches: the checked targets, in archive order, are cut into runs of consecutive entries
// weighing at least kBatchWeight (compressed bytes, plus a fixed cost per entry for creating,
// closing and renaming its file). Taking a batch is one atomic increment, negligible beside
// the quarter MiB of work it hands over; an entry larger than that is a batch of its own and
// is written by one thread straight through, with no copy besides the one inflate makes.
//
// Threads: one per core (or as many as asked), at most kMaxThreads and never more than there
// are batches. Each worker has its own handle on the archive (the first one the caller's) and
// its own buffers, and takes batches until none is left.
//
// Progress: workers add what they read to one counter; the caller's thread sleeps until the
// counter reaches the next percent or a worker ends, and only it calls `progress` (which pumps
// the window's messages): done grows, and the total is reached when every entry is in place.
//
// Failure: the first worker to fail records its error and raises the stop flag; the others
// abandon their entries at their next chunk (removing their temporary files) and end. run()
// rethrows that error, as a tf::Error naming its entry, once every worker has been joined.
// Nothing a worker throws escapes its thread. Should no thread start, the caller's thread does
// the work itself.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "zip/entry_writer.h"

namespace tf {

// The archive progress in percent, as the unzipper reports it.
inline int zipPercent(uint64_t done, uint64_t total) {
  return total == 0 || done >= total ? 100 : (int)(done * 100 / total);
}

class Extraction : private ZipWork {
 public:
  using Progress = std::function<void(uint64_t done, uint64_t total)>;
  static constexpr int kMaxThreads = 8;
  static constexpr uint64_t kBatchWeight = 256 * 1024;
  static constexpr uint64_t kEntryWeight = 4 * 1024;

  // `threads` 0: one per core.
  Extraction(const ZipSource& source, const std::vector<ZipTarget>& targets, int threads);
  ~Extraction();
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  uint64_t total() const { return total_; }
  // Writes every target, reading through `input` and handles of its own on the archive.
  void run(InputFile& input, const Progress& progress);

 private:
  void advance(uint64_t n) override;
  bool stopping() const override { return stop_.load(std::memory_order_relaxed); }
  void take(EntryWriter& writer, size_t& current);
  void workerMain(InputFile& input) noexcept;
  void fail(std::exception_ptr error, size_t entry) noexcept;
  void waitAndReport();
  void joinAll();
  [[noreturn]] void rethrowFailure() const;
  uint64_t nextWake(uint64_t done) const;

  const ZipSource& source_;
  const std::vector<ZipTarget>& targets_;
  std::vector<size_t> starts_;  // first target of each batch, then targets_.size()
  uint64_t total_ = 0;
  int wanted_ = 1;
  const Progress* progress_ = nullptr;
  bool serial_ = false;

  std::atomic<size_t> nextBatch_{0};
  std::atomic<uint64_t> done_{0};
  std::atomic<uint64_t> wakeAt_{0};
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::condition_variable cv_;
  int running_ = 0;                 // under mu_
  std::exception_ptr failure_;      // under mu_
  size_t failedEntry_ = SIZE_MAX;   // under mu_
  std::vector<std::unique_ptr<InputFile>> inputs_;
  std::vector<std::thread> threads_;
};

}  // namespace tf
