// The clock formulas and the refill pass of the audio stream.
#include "music/stream_ring.h"

#include <cstring>

float musicSecondsAt(int32_t played) { return static_cast<float>(played) * 5.668934e-6f; }

int32_t musicOrderAt(int32_t played, int32_t rowSamples) {
  return (played - kClockOffsetBytes) / (rowSamples * 64);
}

int32_t musicRowAt(int32_t played, int32_t rowSamples) { return (played - kClockOffsetBytes) / (rowSamples * 4); }

float musicBeatsAt(int32_t played, int32_t rowSamples) {
  return static_cast<float>(played - kClockOffsetBytes) / static_cast<float>(rowSamples * 16);
}

int32_t musicStartBytes(int32_t order, int32_t rowSamples) {
  return order <= 0 ? 0 : order * rowSamples * 64 + kClockOffsetBytes;
}

int32_t streamRefill(IDirectSoundBuffer8* ring, StreamCursors& cursors, int16_t* scratch, RenderFrames render) {
  ring->GetCurrentPosition(&cursors.play, nullptr);
  const int32_t freeBytes = streamFreeBytes(static_cast<int32_t>(cursors.play), cursors.write);
  if (!streamRefillDue(freeBytes)) return 0;

  render(scratch, freeBytes / 4);
  LPVOID audio1 = nullptr;
  LPVOID audio2 = nullptr;
  DWORD bytes1 = 0;
  DWORD bytes2 = 0;
  if (SUCCEEDED(ring->Lock(static_cast<DWORD>(cursors.write), static_cast<DWORD>(freeBytes), &audio1, &bytes1,
                           &audio2, &bytes2, 0))) {
    const auto* rendered = reinterpret_cast<const uint8_t*>(scratch);
    std::memcpy(audio1, rendered, bytes1);
    if (audio2) std::memcpy(audio2, rendered + bytes1, bytes2);
    ring->Unlock(audio1, bytes1, audio2, bytes2);
  }
  cursors.bytesWritten += freeBytes;
  cursors.write = (kStreamRingSize + cursors.write + freeBytes) % kStreamRingSize;
  return freeBytes;
}
