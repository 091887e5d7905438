// The null back-end: no sound leaves the process; the play cursor follows the wall clock from Play at
// the buffer's byte rate, a whole frame at a time. Used when no sound device opens.
#include <chrono>

#include "compat/dsound/sound_output.h"

namespace dsoundcompat {

namespace {

class NullOutput final : public SoundOutput {
 public:
  Backend backend() const override { return Backend::Null; }
  void attach(RingState&) override {}
  void detach(RingState&) override {}

  void update(RingState& ring) override { followWallClock(ring); }
};

}  // namespace

void followWallClock(RingState& ring) {
  if (!ring.playing) return;
  const auto elapsed = std::chrono::steady_clock::now() - ring.runStart;
  const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  const uint64_t framesPerSecond = ring.bytesPerSecond / ring.blockAlign;
  const uint64_t frames = static_cast<uint64_t>(microseconds) * framesPerSecond / 1000000;
  passOver(ring, (frames - ring.runFrames) * ring.blockAlign, nullptr);
  ring.runFrames = frames;
}

std::shared_ptr<SoundOutput> makeNullOutput() { return std::make_shared<NullOutput>(); }

}  // namespace dsoundcompat
