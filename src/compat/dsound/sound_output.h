// Inside the DirectSound stand-in: what each back-end does for its buffers. A back-end moves the play
// cursors of the buffers made on it (SDL's callback, the wall clock, or captureAdvance) and says how
// far behind the cursor the listener really is. One back-end per file; not for use above compat/.
#pragma once

#include <memory>
#include <string>

#include "compat/dsound/dsound_backend.h"
#include "compat/dsound/ring_buffer.h"

namespace dsoundcompat {

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual Backend backend() const = 0;
  // A buffer made on this output comes and goes (ring mutex not held).
  virtual void attach(RingState& ring) = 0;
  virtual void detach(RingState& ring) = 0;
  // Brings the cursor up to date before it is read or changed (ring mutex held).
  virtual void update(RingState&) {}
  // Bytes behind the cursor that the listener has not heard yet (ring mutex held).
  virtual uint32_t unheardBytes(const RingState&) const { return 0; }
};

// Moves a playing ring's cursor on by the wall clock since its run began (ring.runStart), a whole frame
// at a time: the null back-end always, the SDL back-end once its device has gone (ring mutex held).
void followWallClock(RingState& ring);

// Null when no SDL audio device opens; *error then says why.
std::shared_ptr<SoundOutput> openSdlOutput(std::string* error);
std::shared_ptr<SoundOutput> makeNullOutput();
std::shared_ptr<SoundOutput> makeCaptureOutput();

}  // namespace dsoundcompat
