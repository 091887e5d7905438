// Where DirectSound's output goes (a port addition, not a DirectSound operation): the SDL2 audio
// device, nowhere (a wall clock moves the play cursor), or a capture whose play cursor moves only when
// told, so an offline render hears exactly what a listener would. The program above never asks.
#pragma once

#include <cstdint>
#include <vector>

namespace dsoundcompat {

enum class Backend { Sdl, Null, Capture };

void selectBackend(Backend backend);  // before DirectSoundCreate8; default Sdl
Backend activeBackend();              // what the last DirectSoundCreate8 really uses (Sdl may fall back to Null)

// Capture back-end: moves the play cursor of the playing buffer by `frames` audio frames (4 bytes each
// for the program's format), wrapping round the ring, and appends the bytes it passes over to *passed
// (if not null). With no buffer playing, appends silence of the same length. Main thread.
void captureAdvance(uint32_t frames, std::vector<uint8_t>* passed);

}  // namespace dsoundcompat
