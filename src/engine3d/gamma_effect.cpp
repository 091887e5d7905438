// The per-frame gamma-ramp effect: red and blue posterised into four levels, green pure noise of up to
// half intensity; while the synthesiser's coin is up, red and blue blend towards noise by x.
#include <algorithm>
#include <atomic>

#include "engine3d/presets.h"
#include "music/mono_synth.h"
#include "music/thread_rand.h"
#include "platform/graphics.h"

namespace {

// The posterised level of e = i / 256.
double posterise(double e) {
  if (e < 0.2) return 0.0;
  if (e < 0.4) return 0.4;
  if (e <= 0.6) return 0.5;
  return 1.0;
}

}  // namespace

void buildGammaRamp(double x, D3DGAMMARAMP& ramp) {
  for (int i = 0; i < 256; ++i) {
    const double e = posterise(i * 0.00390625);
    const double level = std::min(e * 65535.0, 65535.0);
    ramp.red[i] = ramp.blue[i] = static_cast<WORD>(level);
    ramp.green[i] = static_cast<WORD>(threadRand());
    const double r = threadRand();
    if (synth_coin.load(std::memory_order_relaxed) != 0) {
      ramp.red[i] = ramp.blue[i] = static_cast<WORD>(r * x + (1.0 - x) * level);
      ramp.green[i] = static_cast<WORD>(threadRand());
    }
  }
}

void setGammaEffect(double x) {
  D3DGAMMARAMP ramp;
  buildGammaRamp(x, ramp);
  g_device->SetGammaRamp(D3DSGR_NO_CALIBRATION, &ramp);
}
