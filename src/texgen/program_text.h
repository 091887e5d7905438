// The readable form of texture programs: a text table with a "texture KEY" line opening each program
// and one instruction per line (operation, channels, mode, dest, A, B, p0..p3, optional picture key),
// compiled to the stored byte form. Used by the asset tool and the tests; the program never parses text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/fourcc.h"

struct CompiledTexture {
  FourCC key;
  std::vector<uint8_t> program;  // count byte, then 16 bytes per instruction
};

// Compiles `text`; on failure returns false with "FILE:LINE: what is wrong" in *error.
bool compileTexturePrograms(const std::string& text, const std::string& fileName, std::vector<CompiledTexture>* out,
                            std::string* error);

// The operation's name for an opcode ("Light"), or null for 9 and anything above 30.
const char* operationName(int opcode);
// The opcode for a name or a decimal number 0..255; -1 if neither.
int operationByName(const std::string& name);
