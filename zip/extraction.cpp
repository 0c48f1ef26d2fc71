#include "zip/extraction.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/error.h"

namespace tf {

namespace {

// A path as Windows compares it: without case, either separator.
std::string fileKey(const std::string& path) {
  std::string k(path);
  for (char& c : k) c = c == '/' ? '\\' : (char)upperCp1252((unsigned char)c);
  return k;
}

}  // namespace

Extraction::Extraction(const ZipSource& source, const std::vector<ZipTarget>& targets, int threads)
    : source_(source), targets_(targets) {
  std::vector<size_t> batchOf(targets.size());
  uint64_t weight = kBatchWeight;
  for (size_t i = 0; i < targets.size(); ++i) {
    if (weight >= kBatchWeight) {
      starts_.push_back(i);
      weight = 0;
    }
    batchOf[i] = starts_.size() - 1;
    weight += targets[i].entry->compressedSize + kEntryWeight;
    total_ += targets[i].entry->compressedSize + 1;
  }
  // Entries that write the same file (a name stored twice, or in another case), or one whose
  // temporary file is another's target, must be written in archive order by one thread: their
  // batches, and every batch between them, become one.
  std::vector<int> joined(starts_.size() + 1, 0);
  std::unordered_map<std::string, size_t> lastWriter;
  for (size_t i = 0; i < targets.size(); ++i) {
    for (const std::string& k : {fileKey(targets[i].path), fileKey(targets[i].path + ".tfz~")}) {
      auto it = lastWriter.find(k);
      if (it != lastWriter.end() && batchOf[it->second] != batchOf[i]) {
        ++joined[batchOf[it->second] + 1];
        --joined[batchOf[i] + 1];
      }
      lastWriter[k] = i;
    }
  }
  std::vector<size_t> starts;
  int open = 0;
  for (size_t b = 0; b < starts_.size(); ++b) {
    open += joined[b];
    if (open == 0) starts.push_back(starts_[b]);
  }
  starts_.swap(starts);
  int batches = (int)std::min<size_t>(starts_.size(), kMaxThreads);
  starts_.push_back(targets.size());
  int cores = (int)std::thread::hardware_concurrency();
  wanted_ = std::min({threads > 0 ? threads : std::max(cores, 1), (int)kMaxThreads, batches});
}

Extraction::~Extraction() {
  stop_ = true;
  joinAll();
}

void Extraction::run(InputFile& input, const Progress& progress) {
  progress_ = &progress;
  if (targets_.empty()) return;
  // The caller's handle serves the first worker; each other one opens its own.
  std::vector<InputFile*> handles{&input};
  while ((int)handles.size() < wanted_) {
    std::unique_ptr<InputFile> in = source_.files->openRead(source_.archive);
    if (!in) break;
    handles.push_back(in.get());
    inputs_.push_back(std::move(in));
  }
  try {
    for (InputFile* h : handles) {
      std::lock_guard<std::mutex> lock(mu_);
      try {
        threads_.emplace_back([this, h] { workerMain(*h); });
      } catch (const std::exception&) {
        break;  // the system refuses more threads: those started do the work
      }
      ++running_;
    }
    if (threads_.empty()) {
      serial_ = true;
      EntryWriter writer(source_, input, *this);
      size_t current = SIZE_MAX;
      take(writer, current);
      return;
    }
    waitAndReport();
  } catch (...) {
    stop_ = true;
    joinAll();
    throw;
  }
  joinAll();
  if (failure_) rethrowFailure();
}

void Extraction::take(EntryWriter& writer, size_t& current) {
  for (;;) {
    size_t b = nextBatch_.fetch_add(1);
    if (b + 1 >= starts_.size()) return;
    for (size_t i = starts_[b]; i < starts_[b + 1]; ++i) {
      if (stopping()) throw ZipStopped{};
      current = i;
      writer.write(targets_[i]);
    }
  }
}

void Extraction::workerMain(InputFile& input) noexcept {
  size_t current = SIZE_MAX;
  try {
    EntryWriter writer(source_, input, *this);
    take(writer, current);
  } catch (const ZipStopped&) {
  } catch (...) {
    fail(std::current_exception(), current);
  }
  std::lock_guard<std::mutex> lock(mu_);
  --running_;
  cv_.notify_one();
}

void Extraction::fail(std::exception_ptr error, size_t entry) noexcept {
  std::lock_guard<std::mutex> lock(mu_);
  if (!failure_) {
    failure_ = error;
    failedEntry_ = entry;
  }
  stop_ = true;
  wakeAt_ = UINT64_MAX;  // no more progress
  cv_.notify_one();
}

void Extraction::advance(uint64_t n) {
  uint64_t done = done_.fetch_add(n, std::memory_order_relaxed) + n;
  if (serial_) {
    (*progress_)(done, total_);
  } else if (done >= wakeAt_.load(std::memory_order_relaxed)) {
    std::lock_guard<std::mutex> lock(mu_);
    cv_.notify_one();
  }
}

// The smallest count that shows a larger percent than `done` does.
uint64_t Extraction::nextWake(uint64_t done) const {
  int p = zipPercent(done, total_);
  if (p >= 100) return UINT64_MAX;
  uint64_t next = (uint64_t)p + 1;
  return total_ / 100 * next + (total_ % 100 * next + 99) / 100;
}

void Extraction::waitAndReport() {
  std::unique_lock<std::mutex> lock(mu_);
  while (running_ > 0) {
    // Woken by the workers; the time-out only bounds a wait the code does not expect.
    cv_.wait_for(lock, std::chrono::milliseconds(250),
                 [&] { return running_ == 0 || done_.load() >= wakeAt_.load(); });
    if (failure_) continue;
    uint64_t done = done_.load();
    wakeAt_ = nextWake(done);
    lock.unlock();
    (*progress_)(done, total_);
    lock.lock();
  }
}

void Extraction::joinAll() {
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

void Extraction::rethrowFailure() const {
  std::string what;
  try {
    std::rethrow_exception(failure_);
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    what = "no hay memoria suficiente";
  } catch (const std::exception& e) {
    what = std::string("error inesperado (") + e.what() + ")";
  } catch (...) {
    what = "error inesperado";
  }
  if (failedEntry_ < targets_.size()) throw Error(zipEntryError(source_.archive, *targets_[failedEntry_].entry, what));
  throw Error("Error al extraer del archivo \"" + source_.archive + "\": " + what);
}

}  // namespace tf
