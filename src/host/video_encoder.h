// Encodes a capture into one video file with sound by running ffmpeg: the frames go to it raw through
// a pipe, the soundtrack into a temporary WAV, and a final ffmpeg run muxes the two.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace host {

bool ffmpegAvailable();
// True for the file endings that make --capture write a video (.mp4, .mkv, .webm).
bool isVideoPath(const std::string& path);

class VideoEncoder {
 public:
  bool open(const std::string& path, int width, int height, int fps, std::string* error);
  bool addFrame(const uint32_t* pixels);
  // Muxes the picture with the soundtrack at wavPath into the final file and removes the temporaries.
  bool finish(const std::string& wavPath, std::string* error);
  std::string temporaryWavPath() const { return base_ + ".audio.wav"; }
  ~VideoEncoder();

 private:
  std::string path_;
  std::string base_;  // temporaries beside the output: base_.video.mkv and base_.audio.wav
  std::FILE* pipe_ = nullptr;
  size_t frameBytes_ = 0;
};

}  // namespace host
