// Inside the DirectSound stand-in: the state of one looping ring buffer, the one operation that moves
// its play cursor, and the factory for the buffer object. Back-ends (sound_output.h) move the cursor;
// the buffer object answers Lock, Unlock, Play, Stop and the position queries. Not for use above compat/.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "compat/dsound/dsound.h"

namespace dsoundcompat {

class SoundOutput;

struct RingState {
  std::mutex mutex;  // guards everything below; the bytes only while the cursor passes over them
  std::vector<uint8_t> bytes;
  uint32_t blockAlign = 4;
  uint32_t bytesPerSecond = 176400;
  uint32_t cursor = 0;  // the next byte handed to the listener (the write cursor)
  bool playing = false;
  bool looping = false;
  // The current run (since Play or SetCurrentPosition): when it began and how many frames the wall
  // clock has moved the cursor since (null back-end).
  std::chrono::steady_clock::time_point runStart;
  uint64_t runFrames = 0;
  // The last hand-over to the sound device and when it happened (SDL back-end).
  uint32_t handedBytes = 0;
  std::chrono::steady_clock::time_point handedAt;

  uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
};

// Moves the cursor of a playing ring by `count` bytes (whole frames), wrapping when looping, copying
// the bytes it passes over to `out` if not null. A one-shot play stops at the end of the ring. What
// the cursor does not pass (stopped, or after a one-shot's end) is written to `out` as silence.
// Called with the ring's mutex held.
void passOver(RingState& ring, uint64_t count, uint8_t* out);

// Makes a buffer for a checked description (secondary, supported format, valid size) on `output`.
IDirectSoundBuffer* createRingBuffer(std::shared_ptr<SoundOutput> output, const DSBUFFERDESC& desc);

}  // namespace dsoundcompat
