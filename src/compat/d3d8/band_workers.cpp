#include "compat/d3d8/band_workers.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace d3d8compat {
namespace {

// One helper thread, started on first use and joined at exit.
class BandHelper {
 public:
  ~BandHelper() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void run(void (*job)(void*, int), void* context) {
    if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = job;
      context_ = context;
      pending_ = true;
    }
    wake_.notify_one();
    job(context, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !pending_; });
  }

 private:
  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return pending_ || stopping_; });
      if (stopping_) return;
      lock.unlock();
      job_(context_, 1);
      lock.lock();
      pending_ = false;
      done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::thread thread_;
  void (*job_)(void*, int) = nullptr;
  void* context_ = nullptr;
  bool pending_ = false;
  bool stopping_ = false;
};

BandHelper g_helper;
int g_bands = std::thread::hardware_concurrency() > 1 ? 2 : 1;

}  // namespace

void runTwoBands(void (*job)(void* context, int band), void* context) { g_helper.run(job, context); }

void setRasterBands(int bands) { g_bands = bands >= 2 ? 2 : 1; }
int rasterBands() { return g_bands; }

}  // namespace d3d8compat
