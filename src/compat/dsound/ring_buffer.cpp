// The DirectSound buffer object: ring memory, Lock returning one or two regions, the play and write
// cursors and the play status. How the cursor moves is up to the back-end the buffer was made on.
#include "compat/dsound/ring_buffer.h"

#include <algorithm>
#include <cstring>

#include "compat/dsound/com_object.h"
#include "compat/dsound/sound_output.h"

namespace dsoundcompat {

void passOver(RingState& ring, uint64_t count, uint8_t* out) {
  const uint32_t size = ring.size();
  while (count > 0 && ring.playing) {
    const uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(count, size - ring.cursor));
    if (out) {
      std::memcpy(out, ring.bytes.data() + ring.cursor, run);
      out += run;
    }
    count -= run;
    ring.cursor += run;
    if (ring.cursor == size) {
      ring.cursor = 0;
      if (!ring.looping) ring.playing = false;
    }
  }
  if (out && count > 0) std::memset(out, 0, count);
}

bool sameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

namespace {

class RingBuffer final : public ComObject<IDirectSoundBuffer> {
 public:
  RingBuffer(std::shared_ptr<SoundOutput> output, const DSBUFFERDESC& desc) : output_(std::move(output)) {
    ring_.bytes.assign(desc.dwBufferBytes, 0);
    ring_.blockAlign = desc.lpwfxFormat->nBlockAlign;
    ring_.bytesPerSecond = desc.lpwfxFormat->nAvgBytesPerSec;
    output_->attach(ring_);
  }

  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    if (!play && !write) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(ring_.mutex);
    output_->update(ring_);
    const uint32_t size = ring_.size();
    const uint32_t behind = output_->unheardBytes(ring_) % size;
    if (play) *play = (ring_.cursor + size - behind) % size;
    if (write) *write = ring_.cursor;
    return DS_OK;
  }

  HRESULT GetStatus(DWORD* status) override {
    if (!status) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(ring_.mutex);
    output_->update(ring_);
    *status = 0;
    if (ring_.playing) *status |= DSBSTATUS_PLAYING | (ring_.looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
  }

  // The returned regions stay valid until Unlock; the caller writes them without the ring's mutex,
  // while the back-end reads other parts of the ring.
  HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audio1, DWORD* bytes1, LPVOID* audio2, DWORD* bytes2,
               DWORD flags) override {
    if (!audio1 || !bytes1) return DSERR_INVALIDPARAM;
    const uint32_t size = ring_.size();
    if (flags & DSBLOCK_FROMWRITECURSOR) {
      std::lock_guard<std::mutex> lock(ring_.mutex);
      output_->update(ring_);
      offset = ring_.cursor;
    }
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;

    const DWORD first = std::min<DWORD>(bytes, size - offset);
    *audio1 = ring_.bytes.data() + offset;
    *bytes1 = first;
    if (audio2) *audio2 = bytes > first ? ring_.bytes.data() : nullptr;
    if (bytes2) *bytes2 = audio2 ? bytes - first : 0;
    return DS_OK;
  }

  HRESULT Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2) override {
    if (!inRing(audio1, bytes1) || (audio2 && !inRing(audio2, bytes2))) return DSERR_INVALIDPARAM;
    // Taking the mutex publishes the written bytes to the back-end's thread before its next pass.
    std::lock_guard<std::mutex> lock(ring_.mutex);
    return DS_OK;
  }

  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
    if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(ring_.mutex);
    output_->update(ring_);
    ring_.looping = (flags & DSBPLAY_LOOPING) != 0;
    if (!ring_.playing) {
      ring_.playing = true;
      startRun();
    }
    return DS_OK;
  }

  HRESULT SetCurrentPosition(DWORD position) override {
    if (position >= ring_.size()) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(ring_.mutex);
    output_->update(ring_);
    ring_.cursor = position - position % ring_.blockAlign;
    startRun();
    return DS_OK;
  }

  HRESULT Stop() override {
    std::lock_guard<std::mutex> lock(ring_.mutex);
    output_->update(ring_);
    ring_.playing = false;
    ring_.handedBytes = 0;
    return DS_OK;
  }

 private:
  ~RingBuffer() override { output_->detach(ring_); }

  bool answersTo(REFIID iid) const override {
    return sameGuid(iid, IID_IDirectSoundBuffer) || sameGuid(iid, IID_IDirectSoundBuffer8);
  }

  // The cursor starts a new stretch: clock-driven back-ends count from here.
  void startRun() {
    ring_.runStart = std::chrono::steady_clock::now();
    ring_.runFrames = 0;
    ring_.handedBytes = 0;
  }

  bool inRing(const void* p, DWORD n) const {
    const auto at = reinterpret_cast<uintptr_t>(p);
    const auto begin = reinterpret_cast<uintptr_t>(ring_.bytes.data());
    return at >= begin && at - begin <= ring_.size() && n <= ring_.size() - (at - begin);
  }

  std::shared_ptr<SoundOutput> output_;
  RingState ring_;
};

}  // namespace

IDirectSoundBuffer* createRingBuffer(std::shared_ptr<SoundOutput> output, const DSBUFFERDESC& desc) {
  return new RingBuffer(std::move(output), desc);
}

}  // namespace dsoundcompat
