// Writes capture frames as PNG files on worker threads while the next frame renders: encoding a frame
// costs about as much as drawing one, so a capture that wrote each frame before drawing the next would
// take twice as long. Each queued frame is a copy, so the caller's picture can change at once. The bytes
// of every file depend only on its picture, so captures stay the same run to run.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class PngPool {
 public:
  PngPool() = default;
  PngPool(const PngPool&) = delete;
  PngPool& operator=(const PngPool&) = delete;
  ~PngPool() { finish(); }

  // Starts `threads` workers (at least one) for pictures of width × height.
  void start(int threads, int width, int height);
  // Queues a copy of `pixels` to be written to `path`; waits while every buffer is in use.
  void submit(const std::string& path, const uint32_t* pixels);
  // The first write that failed, as "cannot write PATH: reason"; empty while none has. A file that
  // failed is removed, so every frame file left behind is complete.
  std::string firstError();
  // Waits until every queued frame is written, then stops the workers. Safe to call twice.
  void finish();

  // The number of workers a capture uses on this machine: one per hardware thread, at most 8.
  static int defaultThreads();

 private:
  struct Job {
    std::string path;
    std::vector<uint32_t> pixels;
  };
  void work();

  int width_ = 0;
  int height_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  static constexpr int kQueuedFrames = 6;      // frames that may wait for a worker
  std::vector<std::vector<uint32_t>> spare_;  // buffers not in use
  bool stopping_ = false;
  std::string error_;
  std::vector<std::thread> workers_;
};

}  // namespace host
