#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <SDL.h>

#include "compat/dsound/dsound.h"
#include "compat/dsound/dsound_backend.h"

namespace {

WAVEFORMATEX streamFormat() { return WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}; }

class DirectSoundTest : public ::testing::Test {
 protected:
  void open(dsoundcompat::Backend backend) {
    dsoundcompat::selectBackend(backend);
    ASSERT_EQ(DirectSoundCreate8(nullptr, &sound_, nullptr), DS_OK);
    ASSERT_NE(sound_, nullptr);
    EXPECT_EQ(sound_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  }

  // A buffer of the program's kind: size 36, position flags, the stream's format.
  HRESULT create(DWORD bytes, IDirectSoundBuffer8** buffer, DWORD descSize = 36) {
    DSBUFFERDESC desc{};
    desc.dwSize = descSize;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_STICKYFOCUS;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format_;
    return sound_->CreateSoundBuffer(&desc, buffer, nullptr);
  }

  IDirectSoundBuffer8* makeBuffer(DWORD bytes) {
    IDirectSoundBuffer8* buffer = nullptr;
    EXPECT_EQ(create(bytes, &buffer), DS_OK);
    buffers_.push_back(buffer);
    return buffer;
  }

  void TearDown() override {
    for (IDirectSoundBuffer8* buffer : buffers_) buffer->Release();
    if (sound_) sound_->Release();
    dsoundcompat::selectBackend(dsoundcompat::Backend::Sdl);
  }

  static DWORD playPosition(IDirectSoundBuffer8* buffer) {
    DWORD play = 0xFFFFFFFF;
    EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    return play;
  }

  IDirectSound8* sound_ = nullptr;
  WAVEFORMATEX format_ = streamFormat();
  std::vector<IDirectSoundBuffer8*> buffers_;
};

// Fills the ring with a byte pattern through one whole-buffer lock.
std::vector<uint8_t> writePattern(IDirectSoundBuffer8* buffer, DWORD size) {
  std::vector<uint8_t> pattern(size);
  for (DWORD i = 0; i < size; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + i / 256);
  LPVOID audio = nullptr;
  DWORD bytes = 0;
  EXPECT_EQ(buffer->Lock(0, 0, &audio, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(bytes, size);
  std::memcpy(audio, pattern.data(), size);
  EXPECT_EQ(buffer->Unlock(audio, bytes, nullptr, 0), DS_OK);
  return pattern;
}

TEST_F(DirectSoundTest, CreateChecksArgumentsAndDescription) {
  open(dsoundcompat::Backend::Capture);
  EXPECT_EQ(dsoundcompat::activeBackend(), dsoundcompat::Backend::Capture);
  IDirectSound8* other = nullptr;
  EXPECT_EQ(DirectSoundCreate8(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(DirectSoundCreate8(nullptr, &other, reinterpret_cast<LPUNKNOWN>(sound_)), DSERR_NOAGGREGATION);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(sound_->SetCooperativeLevel(nullptr, 0), DSERR_INVALIDPARAM);

  IDirectSoundBuffer8* buffer = nullptr;
  for (DWORD size : {36u, 20u, static_cast<DWORD>(sizeof(DSBUFFERDESC))}) {
    EXPECT_EQ(create(4096, &buffer, size), DS_OK) << "dwSize " << size;
    buffer->Release();
  }
  EXPECT_EQ(create(4096, &buffer, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(create(4096, &buffer, 37), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(create(2, &buffer), DSERR_INVALIDPARAM);     // below the minimum
  EXPECT_EQ(create(4098, &buffer), DSERR_INVALIDPARAM);  // not whole frames

  format_.nBlockAlign = 2;  // does not match 2 channels of 16 bits
  EXPECT_EQ(create(4096, &buffer), DSERR_INVALIDPARAM);
  format_ = streamFormat();
  format_.wFormatTag = 3;
  EXPECT_EQ(create(4096, &buffer), DSERR_BADFORMAT);
  format_ = streamFormat();
  format_.nSamplesPerSec = 22050;
  format_.nAvgBytesPerSec = 88200;
  EXPECT_EQ(create(4096, &buffer), DSERR_BADFORMAT);
  format_ = streamFormat();

  DSBUFFERDESC primary{};
  primary.dwSize = sizeof(DSBUFFERDESC);
  primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
  EXPECT_EQ(sound_->CreateSoundBuffer(&primary, &buffer, nullptr), DSERR_UNSUPPORTED);
  DSBUFFERDESC noFormat{};
  noFormat.dwSize = 36;
  noFormat.dwBufferBytes = 4096;
  EXPECT_EQ(sound_->CreateSoundBuffer(&noFormat, &buffer, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, LockReturnsTwoRegionsAcrossTheEnd) {
  open(dsoundcompat::Backend::Capture);
  IDirectSoundBuffer8* buffer = makeBuffer(1024);
  LPVOID audio1 = nullptr;
  LPVOID audio2 = nullptr;
  DWORD bytes1 = 0;
  DWORD bytes2 = 0;

  ASSERT_EQ(buffer->Lock(1000, 100, &audio1, &bytes1, &audio2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1, 24u);
  EXPECT_EQ(bytes2, 76u);
  ASSERT_NE(audio2, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(audio1) - static_cast<uint8_t*>(audio2), 1000);  // the second starts the ring
  EXPECT_EQ(buffer->Unlock(audio1, bytes1, audio2, bytes2), DS_OK);

  ASSERT_EQ(buffer->Lock(100, 200, &audio1, &bytes1, &audio2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1, 200u);
  EXPECT_EQ(audio2, nullptr);
  EXPECT_EQ(bytes2, 0u);

  // Without a second pointer only the part up to the end is locked.
  ASSERT_EQ(buffer->Lock(1000, 100, &audio1, &bytes1, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(bytes1, 24u);

  EXPECT_EQ(buffer->Lock(1024, 4, &audio1, &bytes1, &audio2, &bytes2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 1028, &audio1, &bytes1, &audio2, &bytes2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 0, &audio1, &bytes1, &audio2, &bytes2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Unlock(&bytes1, 4, nullptr, 0), DSERR_INVALIDPARAM);  // not the ring's memory
}

TEST_F(DirectSoundTest, CaptureCursorPassesTheRingsBytesAndWraps) {
  open(dsoundcompat::Backend::Capture);
  IDirectSoundBuffer8* buffer = makeBuffer(4096);
  const std::vector<uint8_t> pattern = writePattern(buffer, 4096);
  ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DWORD status = 0;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

  std::vector<uint8_t> passed;
  dsoundcompat::captureAdvance(300, &passed);
  EXPECT_EQ(passed, std::vector<uint8_t>(pattern.begin(), pattern.begin() + 1200));
  EXPECT_EQ(playPosition(buffer), 1200u);

  passed.clear();
  dsoundcompat::captureAdvance(900, &passed);  // 3600 bytes from 1200: round the end to 704
  std::vector<uint8_t> expected(pattern.begin() + 1200, pattern.end());
  expected.insert(expected.end(), pattern.begin(), pattern.begin() + 704);
  EXPECT_EQ(passed, expected);
  EXPECT_EQ(playPosition(buffer), 704u);

  // Stopped, the cursor stays and the capture hears silence.
  ASSERT_EQ(buffer->Stop(), DS_OK);
  passed.clear();
  dsoundcompat::captureAdvance(10, &passed);
  EXPECT_EQ(passed, std::vector<uint8_t>(40, 0));
  EXPECT_EQ(playPosition(buffer), 704u);
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundTest, NullCursorFollowsTheWallClock) {
  open(dsoundcompat::Backend::Null);
  EXPECT_EQ(dsoundcompat::activeBackend(), dsoundcompat::Backend::Null);
  IDirectSoundBuffer8* buffer = makeBuffer(176384);
  EXPECT_EQ(playPosition(buffer), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(playPosition(buffer), 0u) << "moved before Play";

  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  const DWORD moved = playPosition(buffer);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(moved % 4, 0u);
  EXPECT_GE(moved, 176400 * 0.035);
  EXPECT_LE(moved, 176400 * seconds + 4);

  ASSERT_EQ(buffer->Stop(), DS_OK);
  const DWORD stopped = playPosition(buffer);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(playPosition(buffer), stopped);
}

// SDL's dummy driver opens and calls back in real time; an unknown driver makes Sdl fall back to Null.
TEST_F(DirectSoundTest, SdlPlaysOrFallsBackToNull) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  open(dsoundcompat::Backend::Sdl);
  EXPECT_EQ(dsoundcompat::activeBackend(), dsoundcompat::Backend::Null);
  sound_->Release();
  sound_ = nullptr;

  setenv("SDL_AUDIODRIVER", "dummy", 1);
  open(dsoundcompat::Backend::Sdl);
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(dsoundcompat::activeBackend(), dsoundcompat::Backend::Sdl);
  IDirectSoundBuffer8* buffer = makeBuffer(176384);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DWORD play = 0;
  DWORD write = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (write == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    buffer->GetCurrentPosition(&play, &write);
  }
  EXPECT_GT(write, 0u) << "the audio callback never consumed the ring";
  EXPECT_EQ(play % 4, 0u);
  // The heard position trails what the device was handed by at most one period.
  EXPECT_LE(write - play, 4096u);
}

// A device that goes away mid-play stops calling back; the cursor must go on with the wall clock, or
// the presentation, whose clock it is, would freeze. SDL's dummy driver cannot be unplugged, so the
// test closes the device under the back-end, which looks the same from inside: no more callbacks and
// a stopped status.
TEST_F(DirectSoundTest, SdlCursorFollowsTheWallClockOnceTheDeviceIsGone) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  open(dsoundcompat::Backend::Sdl);
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(dsoundcompat::activeBackend(), dsoundcompat::Backend::Sdl);
  IDirectSoundBuffer8* buffer = makeBuffer(176384);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DWORD play = 0;
  DWORD write = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (write == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    buffer->GetCurrentPosition(&play, &write);
  }
  ASSERT_GT(write, 0u);

  // The first device a process opens is id 2 (1 is the legacy device).
  const SDL_AudioDeviceID device = 2;
  ASSERT_EQ(SDL_GetAudioDeviceStatus(device), SDL_AUDIO_PLAYING);
  SDL_CloseAudioDevice(device);
  const DWORD atLoss = playPosition(buffer);
  const auto lostAt = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const DWORD later = playPosition(buffer);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - lostAt).count();
  EXPECT_EQ(later % 4, 0u);
  EXPECT_GE(later - atLoss, 176400 * 0.055) << "the clock froze with the device";
  EXPECT_LE(later - atLoss, 176400 * seconds + 4096);
}

}  // namespace
