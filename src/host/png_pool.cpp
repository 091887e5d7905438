#include "host/png_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/png_writer.h"

namespace host {

int PngPool::defaultThreads() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(hardware, 1u, 8u));
}

void PngPool::start(int threads, int width, int height) {
  finish();
  width_ = width;
  height_ = height;
  stopping_ = false;
  error_.clear();
  threads = std::max(threads, 1);
  // One buffer per worker and a few queued: the render waits only when every worker is busy and the
  // encoding has fallen that many frames behind.
  spare_.assign(static_cast<size_t>(threads) + kQueuedFrames, std::vector<uint32_t>(static_cast<size_t>(width) * height));
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

void PngPool::submit(const std::string& path, const uint32_t* pixels) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !spare_.empty(); });
  Job job{path, std::move(spare_.back())};
  spare_.pop_back();
  lock.unlock();
  std::memcpy(job.pixels.data(), pixels, job.pixels.size() * sizeof(uint32_t));
  lock.lock();
  queue_.push_back(std::move(job));
  changed_.notify_all();
}

std::string PngPool::firstError() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void PngPool::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void PngPool::work() {
  // The frame being drawn holds up the capture; encoding is done in the cores' idle moments (the draw
  // waiting on its bands, its serial parts), so the workers yield to the drawing threads. A worker that
  // cannot lower its priority still writes, only sooner.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to write
    Job job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();

    errno = 0;
    const bool ok = writePng(job.path, job.pixels.data(), width_, height_);
    const int reason = errno;
    if (!ok) std::remove(job.path.c_str());

    lock.lock();
    if (!ok && error_.empty()) {
      error_ = "cannot write " + job.path;
      if (reason != 0) {
        error_ += ": ";
        error_ += std::strerror(reason);
      }
    }
    spare_.push_back(std::move(job.pixels));
    changed_.notify_all();
  }
}

}  // namespace host
