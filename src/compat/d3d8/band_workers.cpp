#include "compat/d3d8/band_workers.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace d3d8compat {
namespace {

// Helper threads, started on first use as draws ask for them and joined at exit. Helper k takes part in
// every call with more than k + 1 threads. Bands are claimed under the lock, taken twice a band.
class BandHelpers {
 public:
  ~BandHelpers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (int k = 0; k < started_; ++k) threads_[k].join();
  }

  void run(void (*job)(void*, int), void* context, int bands, int threads) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A helper started now has seen every call so far: it waits for the next generation.
    for (; started_ < threads - 1; ++started_) {
      const int helper = started_;
      const unsigned seen = generation_;
      threads_[started_] = std::thread([this, helper, seen] { loop(helper, seen); });
    }
    job_ = job;
    context_ = context;
    bands_ = bands;
    threadsWanted_ = threads;
    next_ = 0;
    unfinished_ = bands;
    ++generation_;
    lock.unlock();
    wake_.notify_all();
    lock.lock();
    drawBands(lock);
    done_.wait(lock, [this] { return unfinished_ == 0; });
  }

 private:
  // Draws unclaimed bands of the current call until none is left; called and returns with the lock held.
  // The call cannot end, nor a new one start, while a claimed band is unfinished.
  void drawBands(std::unique_lock<std::mutex>& lock) {
    while (next_ < bands_) {
      const int band = next_++;
      void (*const job)(void*, int) = job_;
      void* const context = context_;
      lock.unlock();
      job(context, band);
      lock.lock();
      if (--unfinished_ == 0) done_.notify_one();
    }
  }

  void loop(int helper, unsigned seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      if (helper + 1 < threadsWanted_) drawBands(lock);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::thread threads_[kMaxThreads - 1];
  int started_ = 0;
  void (*job_)(void*, int) = nullptr;
  void* context_ = nullptr;
  int bands_ = 0;
  int threadsWanted_ = 1;
  int next_ = 0;
  int unfinished_ = 0;
  unsigned generation_ = 0;
  bool stopping_ = false;
};

BandHelpers g_helpers;

int clampThreads(int threads) { return std::clamp(threads, 1, kMaxThreads); }

int g_threads = clampThreads(static_cast<int>(std::thread::hardware_concurrency()));

}  // namespace

void runBands(void (*job)(void* context, int band), void* context, int bands, int threads) {
  threads = std::min(clampThreads(threads), bands);
  if (threads <= 1) {
    for (int band = 0; band < bands; ++band) job(context, band);
    return;
  }
  g_helpers.run(job, context, bands, threads);
}

void setRasterThreads(int threads) { g_threads = clampThreads(threads); }
int rasterThreads() { return g_threads; }


}  // namespace d3d8compat
