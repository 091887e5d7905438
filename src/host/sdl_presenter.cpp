#include "host/sdl_presenter.h"

#include <SDL.h>

#include "compat/win32/headless.h"

namespace host {

bool SdlPresenter::build(HWND window, int width, int height) {
  SDL_Window* sdl = win32compat::sdlWindow(window);
  if (sdl == nullptr) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  renderer_ = SDL_CreateRenderer(sdl, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(sdl, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) return false;
  SDL_RendererInfo info;
  vsync_ = SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (texture_ == nullptr) return false;
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);  // the back buffer's alpha is not shown
  SDL_RenderSetLogicalSize(renderer_, width, height);     // letter-boxed scaling
  width_ = width;
  height_ = height;
  SDL_DisplayMode mode;
  int refresh = 60;
  if (SDL_GetWindowDisplayMode(sdl, &mode) == 0 && mode.refresh_rate > 0) refresh = mode.refresh_rate;
  framePeriod_ = SDL_GetPerformanceFrequency() / static_cast<uint64_t>(refresh);
  return true;
}

void SdlPresenter::present(HWND window, const uint32_t* pixels, int width, int height) {
  if (renderer_ == nullptr || width != width_ || height != height_) {
    release();
    if (!build(window, width, height)) return;
  }
  SDL_UpdateTexture(texture_, nullptr, pixels, width * 4);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);

  // Presents wait for the display's refresh; without vertical sync a clock of the same rate stands in.
  const uint64_t now = SDL_GetPerformanceCounter();
  if (!vsync_ && lastPresent_ != 0 && now - lastPresent_ < framePeriod_) {
    const uint64_t waitTicks = framePeriod_ - (now - lastPresent_);
    SDL_Delay(static_cast<Uint32>(waitTicks * 1000 / SDL_GetPerformanceFrequency()));
    lastPresent_ += framePeriod_;
  } else {
    lastPresent_ = now;
  }
}

void SdlPresenter::release() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  texture_ = nullptr;
  renderer_ = nullptr;
  width_ = height_ = 0;
}

}  // namespace host
