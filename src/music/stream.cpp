// The audio stream: opening the sound device and the ring, the audio thread that keeps the ring full,
// the clock reads, and the stop handshake.
// Mended on the way: closing stops only a thread that was started, wakes it at once rather than
// waiting out its 200 ms, and the stop state and the row length are atomics.
#include "music/stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "compat/dsound/dsound.h"
#include "compat/win32/kernel32.h"
#include "music/engine.h"
#include "music/stream_ring.h"
#include "music/thread_rand.h"

namespace {

constexpr int32_t kStopRunning = 0;
constexpr int32_t kStopRequested = 1;
constexpr int32_t kStopDone = 2;

IDirectSound8* g_sound = nullptr;
IDirectSoundBuffer8* g_ring = nullptr;  // null while there is no stream
StreamCursors g_cursors;
std::atomic<int32_t> g_stopState{kStopRunning};
HANDLE g_wakeEvent = nullptr;
HANDLE g_audioThread = nullptr;
CRITICAL_SECTION g_streamLock;
bool g_streamLockMade = false;
int32_t g_startBytes = 0;    // where the clock reads the start order
int32_t g_preRollBytes = 0;  // the song rendered and dropped before the stream plays

// Interleaved left/right frames; one pass uses at most one ring's worth.
int16_t g_renderScratch[1048576];

void renderMaster(int16_t* out, int frames) { g_masterMixer.render(out, frames); }

// The song from its beginning to the start position, through the same mixer calls as a refill, dropped.
// Nothing else touches the engine yet, so the lock is not needed. A stop request cuts it short.
void preRoll() {
  for (int32_t left = g_preRollBytes; left > 0 && g_stopState.load(std::memory_order_relaxed) == kStopRunning;) {
    const int32_t bytes = std::min(left, kStreamRingSize);
    renderMaster(g_renderScratch, bytes / 4);
    left -= bytes;
  }
}

DWORD WINAPI audioThread(LPVOID) {
  preRoll();
  EnterCriticalSection(&g_streamLock);
  g_cursors.play = 0;
  g_cursors.write = 0;
  LeaveCriticalSection(&g_streamLock);
  g_ring->Play(0, 0, DSBPLAY_LOOPING);

  while (g_stopState.load(std::memory_order_relaxed) == kStopRunning) {
    EnterCriticalSection(&g_streamLock);
    streamRefill(g_ring, g_cursors, g_renderScratch, renderMaster);
    LeaveCriticalSection(&g_streamLock);
    WaitForSingleObject(g_wakeEvent, 200);
  }

  g_ring->Stop();
  g_stopState.store(kStopDone, std::memory_order_relaxed);
  return 0;
}

// Silences the whole ring: the first second played is this silence.
void silenceRing() {
  LPVOID audio = nullptr;
  DWORD bytes = 0;
  if (FAILED(g_ring->Lock(0, kStreamRingSize, &audio, &bytes, nullptr, nullptr, 0))) return;
  std::memset(audio, 0, bytes);
  g_ring->Unlock(audio, bytes, nullptr, 0);
}

// The ring from its start, silent, the clock one ring below the start position, and the audio thread.
void startStream() {
  g_stopState.store(kStopRunning, std::memory_order_relaxed);
  g_ring->SetCurrentPosition(0);
  silenceRing();
  g_cursors.bytesWritten = g_preRollBytes - kStreamRingSize;
  g_audioThread = CreateThread(nullptr, 0, audioThread, nullptr, 0, nullptr);
  SetThreadPriority(g_audioThread, THREAD_PRIORITY_ABOVE_NORMAL);
}

// The stop handshake: the thread stops the ring and ends. A thread that was never started is no wait.
void stopStream() {
  if (!g_audioThread) return;
  g_stopState.store(kStopRequested, std::memory_order_relaxed);
  SetEvent(g_wakeEvent);
  while (g_stopState.load(std::memory_order_relaxed) != kStopDone) Sleep(1);
  WaitForSingleObject(g_audioThread, INFINITE);
  CloseHandle(g_audioThread);
  g_audioThread = nullptr;
}

}  // namespace

bool music_open(HWND window) {
  g_wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  InitializeCriticalSection(&g_streamLock);
  g_streamLockMade = true;

  if (FAILED(DirectSoundCreate8(nullptr, &g_sound, nullptr))) return false;
  g_sound->SetCooperativeLevel(window, DSSCL_PRIORITY);

  WAVEFORMATEX format{.wFormatTag = WAVE_FORMAT_PCM,
                      .nChannels = 2,
                      .nSamplesPerSec = 44100,
                      .nAvgBytesPerSec = 176400,
                      .nBlockAlign = 4,
                      .wBitsPerSample = 16,
                      .cbSize = 0};
  DSBUFFERDESC desc{.dwSize = 36,
                    .dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_STICKYFOCUS,
                    .dwBufferBytes = kStreamRingSize,
                    .dwReserved = 0,
                    .lpwfxFormat = &format,
                    .guid3DAlgorithm = {}};
  if (FAILED(g_sound->CreateSoundBuffer(&desc, &g_ring, nullptr))) {
    g_ring = nullptr;
    return false;
  }
  startStream();
  return true;
}

void music_wake() { SetEvent(g_wakeEvent); }

void music_close() {
  stopStream();
  if (g_ring) {
    g_ring->Release();
    g_ring = nullptr;
  }
  if (g_sound) {
    g_sound->Release();
    g_sound = nullptr;
  }
  if (g_wakeEvent) {
    CloseHandle(g_wakeEvent);
    g_wakeEvent = nullptr;
  }
  if (g_streamLockMade) {
    DeleteCriticalSection(&g_streamLock);
    g_streamLockMade = false;
  }
  g_startBytes = 0;
  g_preRollBytes = 0;
}

void music_seek(int32_t order) {
  g_startBytes = musicStartBytes(order, g_sequencer.rowSamples());
  g_preRollBytes = g_startBytes & ~127;
  if (!g_audioThread || !g_ring) return;
  stopStream();
  // A fresh engine, exactly as start-up built it; the build reseeds the calling thread's generator,
  // whose sequence (the gamma effect's noise) goes on from where it was.
  const uint32_t randState = threadRandState();
  music_build();
  seedThreadRand(randState);
  startStream();
}

int32_t music_startBytes() { return g_startBytes; }

int32_t music_played_bytes() {
  if (!g_ring) return -kStreamRingSize;
  EnterCriticalSection(&g_streamLock);
  DWORD play = 0;
  g_ring->GetCurrentPosition(&play, nullptr);
  const int32_t played = streamPlayedBytes(static_cast<int32_t>(play), g_cursors.write, g_cursors.bytesWritten);
  LeaveCriticalSection(&g_streamLock);
  return played;
}

float music_seconds() { return musicSecondsAt(music_played_bytes()); }

int32_t music_order() {
  return musicOrderAt(music_played_bytes(), g_sequencer.RowSamples.load(std::memory_order_relaxed));
}

int32_t music_row() {
  return musicRowAt(music_played_bytes(), g_sequencer.RowSamples.load(std::memory_order_relaxed));
}

float music_beats() {
  return musicBeatsAt(music_played_bytes(), g_sequencer.RowSamples.load(std::memory_order_relaxed));
}
