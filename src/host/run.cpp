#include "host/run.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "compat/d3d8/d3d8_host.h"
#include "compat/dsound/dsound_backend.h"
#include "compat/win32/headless.h"
#include "compat/win32/lockstep.h"
#include "director/demo.h"
#include "director/seek.h"
#include "host/capture.h"
#include "host/frame_trace.h"
#include "host/options.h"
#include "host/sdl_presenter.h"
#include "host/stop_signals.h"
#include "host/soundtrack.h"
#include "platform/graphics.h"

namespace host {

namespace {

int exitCodeOf(int demoResult) {
  if (demoResult == -1) {
    const std::string& why = win32compat::lastWindowError();
    if (!why.empty()) std::fprintf(stderr, "brannik: %s\n", why.c_str());
    return EXIT_NO_DISPLAY;
  }
  return demoResult;
}

// The picture at `scale` times its size: the back buffer, render-target textures and font atlas follow
// renderScale(); point sprites, sized by the viewport's height, may grow as many times wide.
void applyRenderScale(int scale) {
  setRenderScale(scale);
  d3d8compat::AdapterProfile profile = d3d8compat::adapterProfile();
  profile.maxPointSize = 64.0f * static_cast<float>(scale);
  d3d8compat::setAdapterProfile(profile);
}

int runPresentation(const Options& options) {
  win32compat::setDesktopWindowed(options.window);
  dsoundcompat::selectBackend(dsoundcompat::Backend::Sdl);
  SdlPresenter presenter;
  d3d8compat::setPresentSink(&presenter);
  const int result = demoMain();
  d3d8compat::setPresentSink(nullptr);
  presenter.release();
  SDL_Quit();
  return exitCodeOf(result);
}

int runCapture(const Options& options) {
  CaptureSettings settings;
  settings.path = options.capturePath;
  settings.fps = options.fps;
  settings.duration = options.duration;
  settings.width = 640 * options.scale;
  settings.height = 480 * options.scale;
  settings.progress = isatty(STDERR_FILENO) != 0;
  CaptureSink sink;
  std::string error;
  if (!sink.open(settings, &error)) {
    std::fprintf(stderr, "brannik: %s\n", error.c_str());
    return EXIT_FAILURE_IO;
  }
  // Our handlers, not SDL's: a stop request ends the capture after the frame in hand.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  installStopSignals();
  win32compat::setHeadless(true);
  dsoundcompat::selectBackend(dsoundcompat::Backend::Capture);
  win32compat::setLockstepEvents(true, &CaptureSink::onWake, &sink);
  d3d8compat::setPresentSink(&sink);
  const int result = demoMain();
  d3d8compat::setPresentSink(nullptr);
  win32compat::setLockstepEvents(false);
  SDL_Quit();
  if (!sink.finish(&error)) {
    std::fprintf(stderr, "brannik: %s\n", error.c_str());
    return EXIT_FAILURE_IO;
  }
  if (stopSignal() != 0) {
    std::fprintf(stderr, "brannik: capture interrupted after %llu frames (%.1f s); every file written is complete\n",
                 static_cast<unsigned long long>(sink.framesWritten()),
                 static_cast<double>(sink.framesWritten()) / options.fps);
    return exitCodeForSignal(stopSignal());
  }
  return exitCodeOf(result);
}

}  // namespace

int run(int argc, const char* const* argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "brannik: %s (brannik --help lists the options)\n", error.c_str());
    return EXIT_BAD_COMMAND_LINE;
  }
  const bool traced = options.mode == RunMode::Present || options.mode == RunMode::Capture;
  if (traced && !options.tracePath.empty() && !openFrameTrace(options.tracePath, &error)) {
    std::fprintf(stderr, "brannik: %s\n", error.c_str());
    return EXIT_FAILURE_IO;
  }
  setPlayRange(PlayRange{options.fromOrder, options.toOrder});
  applyRenderScale(options.scale);
  int result = EXIT_OK;
  switch (options.mode) {
    case RunMode::Help:
      std::printf("%s\n\n%s", usageLine(), helpText());
      return EXIT_OK;
    case RunMode::Version:
      std::printf("brannik %s\n", BRANNIK_VERSION);
      return EXIT_OK;
    case RunMode::Capture:
      result = runCapture(options);
      break;
    case RunMode::Soundtrack:
      return runSoundtrack(options.soundtrackPath, SoundtrackRange{options.fromOrder, options.toOrder});
    case RunMode::Present:
      result = runPresentation(options);
      break;
  }
  if (traced && !closeFrameTrace(&error)) {
    std::fprintf(stderr, "brannik: %s\n", error.c_str());
    if (result == EXIT_OK) result = EXIT_FAILURE_IO;
  }
  return result;
}

}  // namespace host
