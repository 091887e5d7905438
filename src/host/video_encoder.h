// Encodes a capture into one video file with sound by running ffmpeg: the frames go to it raw through
// a pipe, written by a thread of the encoder's own so the next frame renders while ffmpeg takes this
// one; the soundtrack goes into a temporary WAV, and a final ffmpeg run muxes the two.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

bool ffmpegAvailable();
// True for the file endings that make --capture write a video (.mp4, .mkv, .webm).
bool isVideoPath(const std::string& path);

class VideoEncoder {
 public:
  bool open(const std::string& path, int width, int height, int fps, std::string* error);
  // Queues a copy of the frame (waiting while two are already queued); false, with errno set to the
  // reason, once a write has failed.
  bool addFrame(const uint32_t* pixels);
  // Muxes the picture with the soundtrack at wavPath into the final file and removes the temporaries.
  bool finish(const std::string& wavPath, std::string* error);
  std::string temporaryWavPath() const { return base_ + ".audio.wav"; }
  ~VideoEncoder();

 private:
  std::string path_;
  std::string base_;  // temporaries beside the output: base_.video.mkv and base_.audio.wav
  // Writes queued frames to the pipe in order until told to stop and the queue is empty.
  void writeFrames();
  // Stops the writer once it has written every queued frame; false if a write failed.
  bool stopWriter();

  std::FILE* pipe_ = nullptr;
  size_t frameBytes_ = 0;
  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> queued_;
  std::vector<std::vector<uint8_t>> spare_;  // written frames' buffers, reused
  bool stopping_ = false;
  bool writeFailed_ = false;
  int writeErrno_ = 0;  // the failed write's reason
};

}  // namespace host
