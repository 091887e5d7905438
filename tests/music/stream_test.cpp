#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "compat/dsound/dsound.h"
#include "compat/dsound/dsound_backend.h"
#include "compat/win32/lockstep.h"
#include "music/engine.h"
#include "music/stream.h"
#include "music/stream_ring.h"

namespace {

// A ring whose play position the test sets and whose Lock can be made to fail.
class ScriptedRing final : public IDirectSoundBuffer {
 public:
  DWORD play = 0;
  HRESULT lockResult = DS_OK;
  int locks = 0;

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetCurrentPosition(DWORD* position, DWORD*) override {
    *position = play;
    return DS_OK;
  }
  HRESULT GetStatus(DWORD*) override { return DS_OK; }
  HRESULT Lock(DWORD, DWORD, LPVOID*, DWORD*, LPVOID*, DWORD*, DWORD) override {
    ++locks;
    return lockResult;
  }
  HRESULT Play(DWORD, DWORD, DWORD) override { return DS_OK; }
  HRESULT SetCurrentPosition(DWORD) override { return DS_OK; }
  HRESULT Stop() override { return DS_OK; }
  HRESULT Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DS_OK; }
};

int g_renderCalls = 0;
int g_renderedFrames = 0;

// A rising ramp, different in every sample, so misplaced bytes show.
void renderRamp(int16_t* out, int frames) {
  ++g_renderCalls;
  g_renderedFrames = frames;
  for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(i * 3 + 1);
}

std::vector<int16_t> g_scratch(2 * 44096);

TEST(StreamRefill, RendersNothingBelowTwoSteps) {
  ScriptedRing ring;
  StreamCursors cursors;
  cursors.write = 1000;
  ring.play = 1255;  // 255 bytes ahead: one 128-byte step
  g_renderCalls = 0;
  EXPECT_EQ(streamRefill(&ring, cursors, g_scratch.data(), renderRamp), 0);
  EXPECT_EQ(g_renderCalls, 0);
  EXPECT_EQ(ring.locks, 0);
  EXPECT_EQ(cursors.play, 1255u);
  EXPECT_EQ(cursors.write, 1000);
  EXPECT_EQ(cursors.bytesWritten, -kStreamRingSize);
}

TEST(StreamRefill, FailedLockStillMovesTheCursors) {
  ScriptedRing ring;
  ring.lockResult = DSERR_INVALIDPARAM;
  StreamCursors cursors;
  ring.play = 1000;  // 1000 ahead of write 0: 896 free
  g_renderCalls = 0;
  EXPECT_EQ(streamRefill(&ring, cursors, g_scratch.data(), renderRamp), 896);
  EXPECT_EQ(g_renderCalls, 1);
  EXPECT_EQ(g_renderedFrames, 224);
  EXPECT_EQ(ring.locks, 1);
  EXPECT_EQ(cursors.write, 896);
  EXPECT_EQ(cursors.bytesWritten, -kStreamRingSize + 896);
}

IDirectSoundBuffer8* makeCaptureRing(IDirectSound8** sound) {
  dsoundcompat::selectBackend(dsoundcompat::Backend::Capture);
  EXPECT_EQ(DirectSoundCreate8(nullptr, sound, nullptr), DS_OK);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  DSBUFFERDESC desc{};
  desc.dwSize = 36;
  desc.dwBufferBytes = kStreamRingSize;
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer8* ring = nullptr;
  EXPECT_EQ((*sound)->CreateSoundBuffer(&desc, &ring, nullptr), DS_OK);
  return ring;
}

TEST(StreamRefill, WrapsIntoTwoRegionsAndCursorFollows) {
  IDirectSound8* sound = nullptr;
  IDirectSoundBuffer8* ring = makeCaptureRing(&sound);
  ASSERT_NE(ring, nullptr);
  ASSERT_EQ(ring->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  dsoundcompat::captureAdvance(1000, nullptr);  // play at 4000

  StreamCursors cursors;
  cursors.write = kStreamRingSize - 1024;
  cursors.bytesWritten = 0;
  // 1024 to the end and 4000 from the start: 5024, rounded to 4992.
  EXPECT_EQ(streamRefill(ring, cursors, g_scratch.data(), renderRamp), 4992);
  EXPECT_EQ(g_renderedFrames, 1248);
  EXPECT_EQ(cursors.play, 4000u);
  EXPECT_EQ(cursors.write, 4992 - 1024);
  EXPECT_EQ(cursors.bytesWritten, 4992);

  // Play the refilled stretch back: it must be the rendered bytes, in order, across the end.
  ASSERT_EQ(ring->SetCurrentPosition(kStreamRingSize - 1024), DS_OK);
  std::vector<uint8_t> heard;
  dsoundcompat::captureAdvance(1248, &heard);
  std::vector<uint8_t> rendered(4992);
  std::memcpy(rendered.data(), g_scratch.data(), rendered.size());
  EXPECT_EQ(heard, rendered);

  ring->Release();
  sound->Release();
  dsoundcompat::selectBackend(dsoundcompat::Backend::Sdl);
}

TEST(MusicStream, ClockAndCloseWithoutAStream) {
  music_close();  // no thread was started: returns at once
  music_wake();
  music_close();
  EXPECT_EQ(music_played_bytes(), -176384);
  EXPECT_EQ(music_order(), 0);
  EXPECT_LT(music_row(), 0);
  EXPECT_LT(music_beats(), 0.0f);
  EXPECT_LT(music_seconds(), -0.99f);
}

struct CaptureRun {
  std::vector<uint8_t> heard;
  std::vector<int32_t> played;  // right after open, then after each wake
};

// The capture's frame step: 60 frames per second is 735 audio frames each.
void advanceOneFrame(void* context) {
  dsoundcompat::captureAdvance(735, &static_cast<CaptureRun*>(context)->heard);
}

// `wakes` frames of a lock-step capture of the stream. With `startOrder` the stream starts there: seeked
// before it opens, or, with `wakesBeforeSeek`, while it plays after that many wakes (then `heard` and
// `played` keep only what follows the seek).
CaptureRun captureStream(int wakes, int32_t startOrder = 0, int wakesBeforeSeek = -1) {
  CaptureRun run;
  dsoundcompat::selectBackend(dsoundcompat::Backend::Capture);
  win32compat::setLockstepEvents(true, advanceOneFrame, &run);
  music_build();
  if (startOrder > 0 && wakesBeforeSeek < 0) music_seek(startOrder);
  EXPECT_TRUE(music_open(nullptr));
  for (int i = 0; i < wakesBeforeSeek; ++i) music_wake();
  if (wakesBeforeSeek >= 0) {
    music_seek(startOrder);
    run.heard.clear();
  }
  run.played.push_back(music_played_bytes());
  for (int i = 0; i < wakes; ++i) {
    music_wake();
    run.played.push_back(music_played_bytes());
  }
  music_close();
  win32compat::setLockstepEvents(false);
  dsoundcompat::selectBackend(dsoundcompat::Backend::Sdl);
  return run;
}

TEST(MusicStream, LockstepCaptureKeepsTheClockAndRepeats) {
  constexpr int kWakes = 150;  // 441000 bytes: the ring turns over twice and more
  const CaptureRun first = captureStream(kWakes);
  ASSERT_EQ(first.played.size(), size_t{kWakes + 1});
  for (int i = 0; i <= kWakes; ++i) {
    ASSERT_EQ(first.played[i], -176384 + 2940 * i) << "after wake " << i;
  }
  // Every wake moved the cursor one frame's worth, and so did the one that stopped the thread.
  EXPECT_EQ(first.heard.size(), size_t{2940} * (kWakes + 1));
  EXPECT_EQ(music_played_bytes(), -176384);  // closed: back to the start value

  const CaptureRun second = captureStream(kWakes);
  EXPECT_EQ(second.played, first.played);
  EXPECT_EQ(second.heard, first.heard);
}

// A stream started at order 2 begins one ring below where the clock reads order 2, and from the end of
// its lead-in it plays what a stream started at the beginning plays at the same clock positions, byte for
// byte: the song before order 2 was rendered silently on the audio thread, so every state agrees.
TEST(MusicStream, AStartLaterInTheSongHearsWhatAWholeRunHearsThere) {
  loadArchive(g_archiveBlob, g_archiveBlobSize);  // the program's song
  constexpr int32_t kOrder = 2;
  constexpr int kWakes = 120;
  const CaptureRun later = captureStream(kWakes, kOrder);
  const int32_t startBytes = musicStartBytes(kOrder, g_sequencer.rowSamples());
  const int32_t preRoll = startBytes & ~127;
  ASSERT_EQ(later.played.front(), preRoll - kStreamRingSize);
  EXPECT_EQ(musicOrderAt(startBytes, g_sequencer.rowSamples()), kOrder);

  // The whole run, far enough to pass the same positions.
  const CaptureRun whole = captureStream((preRoll + kWakes * 2940) / 2940 + 1);
  ASSERT_GE(whole.heard.size(), preRoll + later.heard.size());
  // The lead-in is silence; then the whole run's bytes from the pre-rolled position on.
  const size_t leadIn = kStreamRingSize;
  ASSERT_GT(later.heard.size(), leadIn);
  for (size_t i = 0; i < leadIn; ++i) ASSERT_EQ(later.heard[i], 0) << "byte " << i;
  const std::vector<uint8_t> expected(whole.heard.begin() + preRoll + kStreamRingSize,
                                      whole.heard.begin() + preRoll + static_cast<ptrdiff_t>(later.heard.size()));
  const std::vector<uint8_t> heard(later.heard.begin() + leadIn, later.heard.end());
  EXPECT_EQ(heard, expected);
  EXPECT_NE(std::count(heard.begin(), heard.end(), 0), static_cast<ptrdiff_t>(heard.size())) << "all silence";
  EXPECT_EQ(music_startBytes(), 0);  // closing forgets the start
}

// A seek while the stream plays starts over with an engine as fresh as start-up's: what follows equals
// a stream seeked before it opened.
TEST(MusicStream, ASeekWhilePlayingStartsOverWithAFreshEngine) {
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  constexpr int kWakes = 100;
  const CaptureRun before = captureStream(kWakes, 2);
  const CaptureRun during = captureStream(kWakes, 2, 150);
  EXPECT_EQ(during.played, before.played);
  EXPECT_EQ(during.heard, before.heard);
  EXPECT_NE(std::count(during.heard.begin(), during.heard.end(), 0), static_cast<ptrdiff_t>(during.heard.size()));
}

}  // namespace
