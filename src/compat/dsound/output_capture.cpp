// The capture back-end: the play cursor is virtual and moves only in captureAdvance, which hands the
// bytes it passes over to the capture, so a recording hears exactly what the ring held at that point.
#include <algorithm>
#include <mutex>

#include "compat/dsound/sound_output.h"

namespace dsoundcompat {

namespace {

// The buffers made on capture devices, in the order they were made.
struct CaptureRings {
  std::mutex mutex;
  std::vector<RingState*> rings;
};

CaptureRings& captureRings() {
  static CaptureRings* rings = new CaptureRings;
  return *rings;
}

class CaptureOutput final : public SoundOutput {
 public:
  Backend backend() const override { return Backend::Capture; }

  void attach(RingState& ring) override {
    CaptureRings& all = captureRings();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.rings.push_back(&ring);
  }

  void detach(RingState& ring) override {
    CaptureRings& all = captureRings();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.rings.erase(std::remove(all.rings.begin(), all.rings.end(), &ring), all.rings.end());
  }
};

}  // namespace

std::shared_ptr<SoundOutput> makeCaptureOutput() { return std::make_shared<CaptureOutput>(); }

// Every playing buffer moves on; the first one that plays is the one heard.
void captureAdvance(uint32_t frames, std::vector<uint8_t>* passed) {
  CaptureRings& all = captureRings();
  std::lock_guard<std::mutex> lock(all.mutex);
  bool heard = false;
  for (RingState* ring : all.rings) {
    std::lock_guard<std::mutex> ringLock(ring->mutex);
    if (!ring->playing) continue;
    const uint64_t count = uint64_t{frames} * ring->blockAlign;
    uint8_t* out = nullptr;
    if (!heard && passed) {
      const size_t at = passed->size();
      passed->resize(at + count);
      out = passed->data() + at;
    }
    passOver(*ring, count, out);
    heard = true;
  }
  if (!heard && passed) passed->insert(passed->end(), size_t{frames} * 4, uint8_t{0});
}

}  // namespace dsoundcompat
