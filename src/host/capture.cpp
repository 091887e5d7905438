#include "host/capture.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "compat/dsound/dsound_backend.h"
#include "compat/win32/user32.h"
#include "host/stop_signals.h"
#include "music/stream.h"
#include "music/stream_ring.h"

namespace host {

namespace {

uint64_t nowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace

uint32_t audioFramesForNextFrame(int fps, uint32_t* remainder) {
  const uint32_t total = *remainder + 44100u;
  *remainder = total % static_cast<uint32_t>(fps);
  return total / static_cast<uint32_t>(fps);
}

bool CaptureSink::open(const CaptureSettings& settings, std::string* error) {
  settings_ = settings;
  width_ = settings.width;
  height_ = settings.height;
  video_ = isVideoPath(settings.path);
  targetFrames_ = settings.duration > 0.0 ? static_cast<uint64_t>(std::llround(settings.duration * settings.fps)) : 0;
  if (settings.duration > 0.0 && targetFrames_ == 0) targetFrames_ = 1;
  picture_.assign(static_cast<size_t>(width_) * height_, 0xFF000000u);
  if (video_) {
    if (!encoder_.open(settings.path, width_, height_, settings.fps, error)) return false;
    wavPath_ = encoder_.temporaryWavPath();
  } else {
    if (mkdir(settings.path.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = "cannot create directory " + settings.path + ": " + std::strerror(errno);
      return false;
    }
    struct stat st;
    if (stat(settings.path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      *error = settings.path + " is not a directory";
      return false;
    }
    wavPath_ = settings.path + "/soundtrack.wav";
    pngs_.start(PngPool::defaultThreads(), width_, height_);
  }
  if (!wav_.open(wavPath_)) {
    *error = "cannot write " + wavPath_ + ": " + std::strerror(errno);
    return false;
  }
  startTicks_ = nowMs();
  return true;
}

void CaptureSink::present(HWND, const uint32_t* pixels, int width, int height) {
  if (width != width_ || height != height_) {
    // Only the first picture size is written; a change would break the video. The device never does it.
    return;
  }
  std::memcpy(picture_.data(), pixels, picture_.size() * sizeof(uint32_t));
}

void CaptureSink::onWake(void* sink) {
  auto* self = static_cast<CaptureSink*>(sink);
  if (!self->refilling_) self->endFrame();
}

// The stream refills the ring once per wake, so one advance must not pass more than the ring holds
// ahead of the play cursor (a full ring, less under 128 bytes); past that it would replay stale bytes
// and the clock would wrap. A longer frame (fps below 2) is passed over in parts, with a wake between
// them that only refills.
void CaptureSink::advanceAudio(uint32_t frames, std::vector<uint8_t>* passed) {
  constexpr uint32_t kMostFrames = (kStreamRingSize - 4096) / 4;
  while (frames > kMostFrames) {
    dsoundcompat::captureAdvance(kMostFrames, passed);
    frames -= kMostFrames;
    refilling_ = true;
    music_wake();
    refilling_ = false;
  }
  dsoundcompat::captureAdvance(frames, passed);
}

void CaptureSink::endFrame() {
  // The first wake starts frame 0; each later one ends the frame before it.
  if (!started_) {
    started_ = true;
    alignToWholeRun();
    return;
  }
  if (done_) return;

  if (video_) {
    errno = 0;
    if (!encoder_.addFrame(picture_.data())) {
      const int reason = errno;
      fail("cannot write " + settings_.path + (reason != 0 ? std::string(": ") + std::strerror(reason) : ""));
      return;
    }
  } else {
    // A frame file that failed earlier ends the capture here; the workers removed it.
    std::string error = pngs_.firstError();
    if (!error.empty()) {
      fail(error);
      return;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "/frame_%06llu.png", static_cast<unsigned long long>(frames_));
    pngs_.submit(settings_.path + name, picture_.data());
  }

  audio_.clear();
  advanceAudio(audioFramesForNextFrame(settings_.fps, &audioRemainder_), &audio_);
  if (!wav_.append(audio_.data(), audio_.size())) {
    fail("cannot write " + wavPath_ + (wav_.error() != 0 ? std::string(": ") + std::strerror(wav_.error()) : ""));
    return;
  }
  ++frames_;
  if (settings_.progress) reportProgress(false);
  if ((targetFrames_ != 0 && frames_ >= targetFrames_) || stopSignal() != 0) {
    done_ = true;
    PostQuitMessage(0);
  }
}

// The stream starts one ring below its start position; a whole capture's frame k is where the clock
// has moved k frames' worth from one ring below zero. Frame 0 of this run is the first of those at or
// after the stream's start: the virtual cursor moves on to it through the silent lead-in (unrecorded),
// and the rate's remainder is carried as the whole capture carries it there.
void CaptureSink::alignToWholeRun() {
  const int64_t start = music_played_bytes();
  int64_t frame = -kStreamRingSize;
  while (frame < start) frame += 4 * int64_t{audioFramesForNextFrame(settings_.fps, &audioRemainder_)};
  if (frame > start) advanceAudio(static_cast<uint32_t>((frame - start) / 4), nullptr);
}

void CaptureSink::fail(const std::string& message) {
  failed_ = true;
  done_ = true;
  error_ = message;
  PostQuitMessage(0);
}

void CaptureSink::reportProgress(bool last) {
  const uint64_t now = nowMs();
  if (!last && now - lastReport_ < 250) return;
  lastReport_ = now;
  const double seconds = static_cast<double>(frames_) / settings_.fps;
  const double wall = static_cast<double>(now - startTicks_) / 1000.0;
  std::fprintf(stderr, "\rcapture: %llu frames, %.1f s of presentation, %.1f frames/s (%.2fx real time)%s  ",
               static_cast<unsigned long long>(frames_), seconds, wall > 0 ? frames_ / wall : 0.0,
               wall > 0 ? seconds / wall : 0.0, last && stopSignal() != 0 ? ", interrupted" : "");
  if (last) std::fputc('\n', stderr);
  std::fflush(stderr);
}

bool CaptureSink::finish(std::string* error) {
  done_ = true;
  // Every frame queued is written before the run reports how far it got.
  pngs_.finish();
  if (!failed_ && !pngs_.firstError().empty()) {
    failed_ = true;
    error_ = pngs_.firstError();
  }
  if (settings_.progress) reportProgress(true);
  const bool wavOk = wav_.close();
  if (failed_) {
    *error = error_;
    return false;
  }
  if (!wavOk) {
    *error = "cannot write " + wavPath_;
    return false;
  }
  if (video_) return encoder_.finish(wavPath_, error);
  return true;
}

}  // namespace host
