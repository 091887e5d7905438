#include "host/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

bool parseInt(const char* text, int lo, int hi, int* out) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < lo || value > hi) return false;
  *out = static_cast<int>(value);
  return true;
}

bool parseSeconds(const char* text, double* out) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(value > 0.0) || value > 86400.0) return false;
  *out = value;
  return true;
}

// The field an option that takes a path fills, or null for any other argument.
std::string* pathOption(const char* arg, Options* o) {
  if (std::strcmp(arg, "--capture") == 0) return &o->capturePath;
  if (std::strcmp(arg, "--soundtrack") == 0) return &o->soundtrackPath;
  if (std::strcmp(arg, "--trace") == 0) return &o->tracePath;
  return nullptr;
}

}  // namespace

const char* usageLine() {
  return "usage: brannik [--window] [--capture PATH [--fps N] [--duration S]] [--soundtrack OUT.wav] "
         "[--from ORDER] [--to ORDER] [--scale N] [--trace FILE.csv] [--help] [--version]";
}

const char* helpText() {
  return "brannik: a real-time audiovisual presentation; picture and music are computed as it runs.\n"
         "\n"
         "With no option it takes over the screen (640 x 480 scaled to fit) and plays to the end of the\n"
         "song; Escape or closing the window ends it. Right arrow or Page Down skips to the next scene,\n"
         "Left arrow or Page Up restarts the current one (pressed again within a second: the one before),\n"
         "Home restarts the presentation; each jump is silent for 1 to 1.6 s while the music is rendered\n"
         "there and the stream refills.\n"
         "\n"
         "  --window            show it in a resizable desktop window instead of full-screen\n"
         "  --capture PATH      render offline, deterministically: PATH a directory gets frame_000000.png ...\n"
         "                      and soundtrack.wav; PATH ending in .mp4, .mkv or .webm gets one video with\n"
         "                      sound (needs ffmpeg)\n"
         "  --fps N             capture frame rate, 1 to 1000 (default 60)\n"
         "  --duration S        stop a capture after S seconds of output (default: the whole presentation)\n"
         "  --soundtrack PATH   render only the music to a WAV file, as fast as possible\n"
         "  --from ORDER        start at song order ORDER, 0 to 91 (default 0), in every mode; the music\n"
         "                      is brought there sample-exactly, then the usual silent lead-in second\n"
         "  --to ORDER          end at the start of song order ORDER, 1 to 92 and after --from\n"
         "                      (default 92, the end of the presentation)\n"
         "  --trace FILE.csv    with the presentation or a capture: one line per drawn frame (time, row,\n"
         "                      order, beats, scene, new row, gamma and flash levels, render time in ms)\n"
         "  --help              show this text\n"
         "  --version           show the version\n"
         "\n"
         "Exit codes: 0 at the end or on a quit request, 255 when no display can be set up,\n"
         "2 for a bad command line, 1 when an output cannot be written, 130 / 143 when Ctrl-C or SIGTERM\n"
         "stops a capture (it ends cleanly after the frame in hand).\n";
}

bool parseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
  Options o;
  bool fpsGiven = false;
  bool durationGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        *error = std::string(name) + " needs a value";
        return nullptr;
      }
      return argv[++i];
    };
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options->mode = RunMode::Help;
      return true;
    }
    if (std::strcmp(arg, "--version") == 0) {
      options->mode = RunMode::Version;
      return true;
    }
    if (std::strcmp(arg, "--window") == 0) {
      o.window = true;
    } else if (std::string* path = pathOption(arg, &o)) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (*v == '\0') {
        *error = std::string(arg) + " needs a path";
        return false;
      }
      *path = v;
    } else if (std::strcmp(arg, "--fps") == 0) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (!parseInt(v, 1, 1000, &o.fps)) {
        *error = std::string("--fps takes a whole number from 1 to 1000, not '") + v + "'";
        return false;
      }
      fpsGiven = true;
    } else if (std::strcmp(arg, "--from") == 0) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (!parseInt(v, 0, 91, &o.fromOrder)) {
        *error = std::string("--from takes a song order from 0 to 91, not '") + v + "'";
        return false;
      }
    } else if (std::strcmp(arg, "--to") == 0) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (!parseInt(v, 1, 92, &o.toOrder)) {
        *error = std::string("--to takes a song order from 1 to 92, not '") + v + "'";
        return false;
      }
    } else if (std::strcmp(arg, "--scale") == 0) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (!parseInt(v, 1, 4, &o.scale)) {
        *error = std::string("--scale takes a whole number from 1 to 4, not '") + v + "'";
        return false;
      }
    } else if (std::strcmp(arg, "--duration") == 0) {
      const char* v = value(arg);
      if (v == nullptr) return false;
      if (!parseSeconds(v, &o.duration)) {
        *error = std::string("--duration takes a positive number of seconds, not '") + v + "'";
        return false;
      }
      durationGiven = true;
    } else {
      *error = std::string("unknown option '") + arg + "'";
      return false;
    }
  }
  if (o.toOrder <= o.fromOrder) {
    *error = "--to ";
    *error += std::to_string(o.toOrder);
    *error += " must come after --from ";
    *error += std::to_string(o.fromOrder);
    return false;
  }
  if (!o.capturePath.empty() && !o.soundtrackPath.empty()) {
    *error = "--capture and --soundtrack cannot be combined";
    return false;
  }
  if ((fpsGiven || durationGiven) && o.capturePath.empty()) {
    *error = "--fps and --duration go with --capture";
    return false;
  }
  if (o.window && (!o.capturePath.empty() || !o.soundtrackPath.empty())) {
    *error = "--window goes with the live presentation only";
    return false;
  }
  if (!o.tracePath.empty() && !o.soundtrackPath.empty()) {
    *error = "--trace goes with a presentation or a capture, not --soundtrack";
    return false;
  }
  if (!o.capturePath.empty()) {
    o.mode = RunMode::Capture;
  } else if (!o.soundtrackPath.empty()) {
    o.mode = RunMode::Soundtrack;
  }
  *options = o;
  return true;
}

}  // namespace host
