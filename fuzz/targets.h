// The fuzzed readers: each takes arbitrary bytes the way the program or brannik-assets would meet them
// and runs them through to the end (decode, then use). Shared by the libFuzzer programs and by the
// ordinary test that replays the inputs fuzzing once broke the readers with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Each returns true when the reader accepted the input (a clear refusal returns false).
using TargetFunction = bool (*)(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the folder of its corpus and of its regression inputs
  TargetFunction run;
};

bool archive(const uint8_t* data, size_t size);
bool picture(const uint8_t* data, size_t size);
bool textureProgram(const uint8_t* data, size_t size);
bool song(const uint8_t* data, size_t size);
bool drums(const uint8_t* data, size_t size);
bool songText(const uint8_t* data, size_t size);
bool drumRecipes(const uint8_t* data, size_t size);
bool textureText(const uint8_t* data, size_t size);
bool pngPicture(const uint8_t* data, size_t size);

inline constexpr Target kTargets[] = {
    {"archive", archive},
    {"picture", picture},
    {"texture_program", textureProgram},
    {"song", song},
    {"drums", drums},
    {"song_text", songText},
    {"drum_recipes", drumRecipes},
    {"texture_text", textureText},
    {"png_picture", pngPicture},
};

}  // namespace fuzz
