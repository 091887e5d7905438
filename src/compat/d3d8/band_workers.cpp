#include "compat/d3d8/band_workers.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace d3d8compat {
namespace {

// Helper threads, started on first use as draws ask for them and joined at exit. Helper k renders band
// k + 1 of every call that has that many bands.
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

  void run(void (*job)(void*, int), void* context, int bands) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A helper started now has seen every call so far: it waits for the next generation.
      for (; started_ < bands - 1; ++started_) {
        const int band = started_ + 1;
        const unsigned seen = generation_;
        threads_[started_] = std::thread([this, band, seen] { loop(band, seen); });
      }
      job_ = job;
      context_ = context;
      bands_ = bands;
      remaining_ = bands - 1;
      ++generation_;
    }
    wake_.notify_all();
    job(context, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return remaining_ == 0; });
  }

 private:
  void loop(int band, unsigned seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      if (band >= bands_) continue;
      lock.unlock();
      job_(context_, band);
      lock.lock();
      if (--remaining_ == 0) done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::thread threads_[kMaxBands - 1];
  int started_ = 0;
  void (*job_)(void*, int) = nullptr;
  void* context_ = nullptr;
  int bands_ = 1;
  int remaining_ = 0;
  unsigned generation_ = 0;
  bool stopping_ = false;
};

BandHelpers g_helpers;

int clampBands(int bands) { return bands < 1 ? 1 : bands > kMaxBands ? kMaxBands : bands; }

int g_bands = clampBands(static_cast<int>(std::thread::hardware_concurrency()));

}  // namespace

void runBands(void (*job)(void* context, int band), void* context, int bands) {
  if (bands <= 1) {
    job(context, 0);
    return;
  }
  g_helpers.run(job, context, clampBands(bands));
}

void setRasterBands(int bands) { g_bands = clampBands(bands); }
int rasterBands() { return g_bands; }

}  // namespace d3d8compat
