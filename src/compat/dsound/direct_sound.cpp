// DirectSoundCreate8 and the device object: picks the back-end, checks buffer descriptions and makes
// ring buffers on it.
#include <atomic>
#include <cstdio>
#include <string>

#include "compat/dsound/com_object.h"
#include "compat/dsound/dsound.h"
#include "compat/dsound/dsound_backend.h"
#include "compat/dsound/ring_buffer.h"
#include "compat/dsound/sound_output.h"

namespace dsoundcompat {

namespace {

std::atomic<Backend> g_selected{Backend::Sdl};
std::atomic<Backend> g_active{Backend::Sdl};

// The sizes a caller may put in dwSize: the 32-bit layouts with and without guid3DAlgorithm, and the
// same two on this platform.
struct LegacyBufferDesc {
  DWORD dwSize, dwFlags, dwBufferBytes, dwReserved;
  LPWAVEFORMATEX lpwfxFormat;
};

bool knownDescSize(DWORD size) {
  return size == 36 || size == 20 || size == sizeof(DSBUFFERDESC) || size == sizeof(LegacyBufferDesc);
}

HRESULT checkFormat(const WAVEFORMATEX& format) {
  if (format.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
  if (format.nChannels == 0 || format.wBitsPerSample == 0 || format.wBitsPerSample % 8 != 0) {
    return DSERR_INVALIDPARAM;
  }
  if (format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8 ||
      format.nAvgBytesPerSec != format.nSamplesPerSec * format.nBlockAlign) {
    return DSERR_INVALIDPARAM;
  }
  // The output plays one format; converting others is not needed by anyone here.
  if (format.nChannels != 2 || format.wBitsPerSample != 16 || format.nSamplesPerSec != 44100) {
    return DSERR_BADFORMAT;
  }
  return DS_OK;
}

HRESULT checkBufferDesc(const DSBUFFERDESC& desc) {
  if (!knownDescSize(desc.dwSize)) return DSERR_INVALIDPARAM;
  // Only secondary buffers: the device mixes nothing, it plays one ring.
  if (desc.dwFlags & DSBCAPS_PRIMARYBUFFER) return DSERR_UNSUPPORTED;
  if (!desc.lpwfxFormat) return DSERR_INVALIDPARAM;
  const HRESULT format = checkFormat(*desc.lpwfxFormat);
  if (FAILED(format)) return format;
  if (desc.dwBufferBytes < DSBSIZE_MIN || desc.dwBufferBytes > DSBSIZE_MAX ||
      desc.dwBufferBytes % desc.lpwfxFormat->nBlockAlign != 0) {
    return DSERR_INVALIDPARAM;
  }
  return DS_OK;
}

class DirectSound final : public ComObject<IDirectSound8> {
 public:
  explicit DirectSound(std::shared_ptr<SoundOutput> output) : output_(std::move(output)) {}

  HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer, LPUNKNOWN outer) override {
    if (!desc || !buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    const HRESULT checked = checkBufferDesc(*desc);
    if (FAILED(checked)) return checked;
    *buffer = createRingBuffer(output_, *desc);
    return DS_OK;
  }

  // Any valid level does: there is no primary buffer to format and no other program to share the
  // device with, so the level and the window change nothing.
  HRESULT SetCooperativeLevel(HWND, DWORD level) override {
    return level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY ? DSERR_INVALIDPARAM : DS_OK;
  }

 private:
  ~DirectSound() override = default;

  bool answersTo(REFIID iid) const override { return sameGuid(iid, IID_IDirectSound8); }

  std::shared_ptr<SoundOutput> output_;  // shared with the buffers, which may outlive the device
};

std::shared_ptr<SoundOutput> openOutput(Backend backend) {
  if (backend == Backend::Capture) return makeCaptureOutput();
  if (backend == Backend::Sdl) {
    std::string error;
    if (std::shared_ptr<SoundOutput> sdl = openSdlOutput(&error)) return sdl;
    std::fprintf(stderr, "brannik: no sound device (%s); running silently\n", error.c_str());
  }
  return makeNullOutput();
}

}  // namespace

void selectBackend(Backend backend) { g_selected.store(backend); }

Backend activeBackend() { return g_active.load(); }

}  // namespace dsoundcompat

HRESULT DirectSoundCreate8(LPCGUID device, IDirectSound8** sound, LPUNKNOWN outer) {
  if (!sound) return DSERR_INVALIDPARAM;
  *sound = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  if (device) return DSERR_NODRIVER;  // only the default device exists
  std::shared_ptr<dsoundcompat::SoundOutput> output = dsoundcompat::openOutput(dsoundcompat::g_selected.load());
  dsoundcompat::g_active.store(output->backend());
  *sound = new dsoundcompat::DirectSound(std::move(output));
  return DS_OK;
}
