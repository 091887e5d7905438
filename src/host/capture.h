// Offline render of the presentation: one output frame per pass of the main loop, taken when the loop
// wakes the audio stream, with the audio clock moved by exactly 44100 / fps frames per frame (the
// fraction carried). Frames go to PNG files or a video; the soundtrack is the ring's bytes as the
// virtual play cursor passes them. Nothing depends on the wall clock, so two runs give the same bytes.
// A run that starts later in the song (--from) keeps a whole capture's frame grid: its frames show the
// song at the positions where a whole capture's frames show it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compat/d3d8/d3d8_host.h"
#include "host/png_pool.h"
#include "host/video_encoder.h"
#include "host/wav_writer.h"

namespace host {

struct CaptureSettings {
  std::string path;       // a directory, or a .mp4 / .mkv / .webm file
  int fps = 60;
  int width = 640;        // the presented picture's size
  int height = 480;
  double duration = 0.0;  // seconds of output; 0: until the presentation ends
  bool progress = false;  // report progress on standard error
};

class CaptureSink : public d3d8compat::PresentSink {
 public:
  bool open(const CaptureSettings& settings, std::string* error);
  // Keeps the presented picture; it is written when the frame ends.
  void present(HWND window, const uint32_t* pixels, int width, int height) override;
  // The main loop's wake: ends the previous frame (writes it, advances the audio clock).
  static void onWake(void* sink);
  // Writes the soundtrack and closes the outputs.
  bool finish(std::string* error);

  uint64_t framesWritten() const { return frames_; }
  bool failed() const { return failed_; }

 private:
  void endFrame();
  void advanceAudio(uint32_t frames, std::vector<uint8_t>* passed);
  void alignToWholeRun();
  void fail(const std::string& message);
  void reportProgress(bool last);

  CaptureSettings settings_;
  bool video_ = false;
  VideoEncoder encoder_;
  PngPool pngs_;  // frame files, written on worker threads
  WavWriter wav_;
  std::string wavPath_;
  std::vector<uint32_t> picture_;
  int width_ = 640;
  int height_ = 480;
  std::vector<uint8_t> audio_;
  uint64_t frames_ = 0;
  uint64_t targetFrames_ = 0;  // 0: no limit
  uint32_t audioRemainder_ = 0;
  bool started_ = false;
  bool refilling_ = false;  // a wake of advanceAudio's own, which only refills the ring
  bool done_ = false;
  bool failed_ = false;
  std::string error_;
  uint64_t startTicks_ = 0;
  uint64_t lastReport_ = 0;
};

// Number of audio frames the clock moves for the next picture frame at `fps`, carrying the remainder.
uint32_t audioFramesForNextFrame(int fps, uint32_t* remainder);

}  // namespace host
