// The SDL2 back-end: one audio device at 44100 Hz, 16-bit stereo, 1024-frame periods. Its callback
// copies the playing buffer from the cursor and moves the cursor on; the reported play position is the
// cursor less what the device has been handed but cannot have played yet, so picture and sound agree.
// The device plays one buffer: the last one made on it that is still alive.
// A device that goes away while playing (unplugged, its server gone) stops calling back; from then on
// the wall clock moves the cursor, as on the null back-end, so the presentation goes on silently
// instead of freezing on a clock that no longer moves.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "compat/dsound/sound_output.h"

namespace dsoundcompat {

namespace {

class SdlOutput final : public SoundOutput {
 public:
  ~SdlOutput() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool open(std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      *error = SDL_GetError();
      return false;
    }
    initialised_ = true;
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = 44100;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = &SdlOutput::feed;
    wanted.userdata = this;
    // No changes allowed: SDL converts to whatever the hardware wants, the callback always sees ours.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
      *error = SDL_GetError();
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  Backend backend() const override { return Backend::Sdl; }

  void attach(RingState& ring) override {
    SDL_LockAudioDevice(device_);
    playing_ = &ring;
    SDL_UnlockAudioDevice(device_);
  }

  void detach(RingState& ring) override {
    SDL_LockAudioDevice(device_);
    if (playing_ == &ring) playing_ = nullptr;
    SDL_UnlockAudioDevice(device_);
  }

  void update(RingState& ring) override {
    if (!lost_.load(std::memory_order_relaxed)) {
      if (SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED) return;
      lost_.store(true, std::memory_order_relaxed);
      std::fprintf(stderr, "brannik: the sound device went away; going on without sound\n");
      ring.runStart = std::chrono::steady_clock::now();
      ring.runFrames = 0;
      ring.handedBytes = 0;
    }
    followWallClock(ring);
  }

  // The device got `handedBytes` at `handedAt` and plays them at the buffer's rate from then on.
  uint32_t unheardBytes(const RingState& ring) const override {
    if (lost_.load(std::memory_order_relaxed)) return 0;
    if (!ring.playing || ring.handedBytes == 0) return 0;
    const auto elapsed = std::chrono::steady_clock::now() - ring.handedAt;
    const uint64_t microseconds = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
    uint64_t heard = microseconds * ring.bytesPerSecond / 1000000;
    heard -= heard % ring.blockAlign;
    return heard >= ring.handedBytes ? 0 : ring.handedBytes - static_cast<uint32_t>(heard);
  }

 private:
  static void SDLCALL feed(void* self, Uint8* stream, int length) {
    RingState* ring = static_cast<SdlOutput*>(self)->playing_;
    if (!ring) {
      std::memset(stream, 0, static_cast<size_t>(length));
      return;
    }
    std::lock_guard<std::mutex> lock(ring->mutex);
    // Set with this mutex held: a late call after the loss leaves the cursor to the wall clock.
    if (static_cast<SdlOutput*>(self)->lost_.load(std::memory_order_relaxed)) {
      std::memset(stream, 0, static_cast<size_t>(length));
      return;
    }
    const bool wasPlaying = ring->playing;
    passOver(*ring, static_cast<uint64_t>(length), stream);
    ring->handedBytes = wasPlaying ? static_cast<uint32_t>(length) : 0;
    ring->handedAt = std::chrono::steady_clock::now();
  }

  SDL_AudioDeviceID device_ = 0;
  bool initialised_ = false;
  RingState* playing_ = nullptr;  // changed only with the device locked, so never during a callback
  std::atomic<bool> lost_{false};  // the device went away; set with the playing ring's mutex held
};

}  // namespace

std::shared_ptr<SoundOutput> openSdlOutput(std::string* error) {
  auto output = std::make_shared<SdlOutput>();
  if (!output->open(error)) return nullptr;
  return output;
}

}  // namespace dsoundcompat
