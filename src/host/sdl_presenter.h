// Shows each presented frame in the presentation's SDL window, scaled to fit with black bars, and paces
// presents to the display's refresh (a 60 Hz clock when vertical sync is not available).
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8_host.h"

struct SDL_Renderer;
struct SDL_Texture;

namespace host {

class SdlPresenter : public d3d8compat::PresentSink {
 public:
  void present(HWND window, const uint32_t* pixels, int width, int height) override;
  void release();
  ~SdlPresenter() override { release(); }

 private:
  bool build(HWND window, int width, int height);

  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool vsync_ = false;
  uint64_t framePeriod_ = 0;  // performance-counter ticks per display refresh
  uint64_t lastPresent_ = 0;
};

}  // namespace host
