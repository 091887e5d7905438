#include "host/video_encoder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace host {

namespace {

bool endsWith(const std::string& s, const char* suffix) {
  const std::string t(suffix);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Single-quotes a path for the shell.
std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

constexpr size_t kQueuedFrames = 2;

}  // namespace

bool ffmpegAvailable() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

bool isVideoPath(const std::string& path) {
  return endsWith(path, ".mp4") || endsWith(path, ".mkv") || endsWith(path, ".webm");
}

bool VideoEncoder::open(const std::string& path, int width, int height, int fps, std::string* error) {
  if (!ffmpegAvailable()) {
    *error = "writing " + path + " needs ffmpeg, which is not installed (apt-get install ffmpeg), "
             "or capture to a directory instead";
    return false;
  }
  path_ = path;
  base_ = path + ".part";
  frameBytes_ = static_cast<size_t>(width) * height * 4;
  // x264's ultrafast preset: on this presentation's noisy frames it takes a quarter of veryfast's
  // processor time (which alone needs a core per second of video), for a file about 20 % larger at
  // the same CRF; the capture as a whole runs 1.8 times as fast.
  const std::string video = endsWith(path, ".webm") ? "-c:v libvpx-vp9 -b:v 0 -crf 30 -row-mt 1"
                                                    : "-c:v libx264 -preset ultrafast -crf 18 -pix_fmt yuv420p";
  // ffmpeg runs in a session of its own, so a Ctrl-C at the terminal reaches only us: we stop after the
  // frame in hand and close its input, and it finishes the file.
  const std::string command = "setsid -w ffmpeg -y -loglevel error -f rawvideo -pix_fmt bgra -s " +
                              std::to_string(width) +
                              "x" + std::to_string(height) + " -r " + std::to_string(fps) + " -i - " + video +
                              " " + quoted(base_ + ".video.mkv");
  pipe_ = popen(command.c_str(), "w");
  if (pipe_ == nullptr) {
    *error = "cannot start ffmpeg";
    return false;
  }
  writer_ = std::thread(&VideoEncoder::writeFrames, this);
  return true;
}

bool VideoEncoder::addFrame(const uint32_t* pixels) {
  if (pipe_ == nullptr) return false;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queued_.size() < kQueuedFrames || writeFailed_; });
  if (writeFailed_) {
    errno = writeErrno_;
    return false;
  }
  std::vector<uint8_t> frame;
  if (!spare_.empty()) {
    frame = std::move(spare_.back());
    spare_.pop_back();
  }
  frame.resize(frameBytes_);
  lock.unlock();
  std::memcpy(frame.data(), pixels, frameBytes_);  // 0xAARRGGBB words are B, G, R, A bytes: ffmpeg's bgra
  lock.lock();
  queued_.push_back(std::move(frame));
  changed_.notify_all();
  return true;
}

void VideoEncoder::writeFrames() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queued_.empty() || stopping_; });
    if (queued_.empty()) return;
    std::vector<uint8_t> frame = std::move(queued_.front());
    lock.unlock();
    errno = 0;
    const bool written = std::fwrite(frame.data(), 1, frame.size(), pipe_) == frame.size();
    const int reason = errno;
    lock.lock();
    queued_.pop_front();
    spare_.push_back(std::move(frame));
    if (!written) {
      writeFailed_ = true;
      writeErrno_ = reason;
      queued_.clear();
    }
    changed_.notify_all();
  }
}

bool VideoEncoder::stopWriter() {
  if (writer_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    writer_.join();
  }
  return !writeFailed_;
}

bool VideoEncoder::finish(const std::string& wavPath, std::string* error) {
  if (pipe_ == nullptr) return false;
  const bool written = stopWriter();
  const int status = pclose(pipe_);
  pipe_ = nullptr;
  if (!written || status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "ffmpeg failed while encoding the frames";
    return false;
  }
  const std::string audio = endsWith(path_, ".webm") ? "-c:a libopus -b:a 192k" : "-c:a aac -b:a 256k";
  const std::string command = "setsid -w ffmpeg -nostdin -y -loglevel error -i " + quoted(base_ + ".video.mkv") + " -i " +
                              quoted(wavPath) + " -map 0:v -map 1:a -c:v copy " + audio + " -shortest " +
                              quoted(path_);
  const int muxed = std::system(command.c_str());
  unlink((base_ + ".video.mkv").c_str());
  unlink(wavPath.c_str());
  if (muxed != 0) {
    *error = "ffmpeg failed while adding the soundtrack";
    return false;
  }
  return true;
}

VideoEncoder::~VideoEncoder() {
  stopWriter();
  if (pipe_ != nullptr) pclose(pipe_);
}

}  // namespace host
