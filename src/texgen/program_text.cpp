#include "texgen/program_text.h"

#include <cstdlib>
#include <sstream>

#include "texgen/generator.h"

namespace {

const char* const kNames[kOpcodeCount] = {
    "RandomBlocks", "Plasma",   "Cells",     "CosineGrid", "Checker",  "Light",     "Fill",     "TilePicture",
    "StampPicture", nullptr,    "ValueNoise", "Copy",      "BlendConst", "BlendMask", "Shift",  "EmbossH",
    "CosineMap",    "SineWarp", "Overlay",   "Invert",     "Blur",     "HsvAdjust", "Rotate",   "HsvToRgb",
    "Contrast",     "Maximum",  "EmbossD",   "Polar",      "Displace", "Rays",      "BlueToGrey"};

// A decimal number in [low, high], or -1.
int parseNumber(const std::string& word, int low, int high) {
  if (word.empty() || word.size() > 4) return -1;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
  }
  const int value = std::atoi(word.c_str());
  return value >= low && value <= high ? value : -1;
}

bool fail(std::string* error, const std::string& fileName, int line, const std::string& message) {
  *error = fileName + ":" + std::to_string(line) + ": " + message;
  return false;
}

bool isKey(const std::string& word) {
  if (word.size() != 4) return false;
  for (char c : word) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

const char* operationName(int opcode) {
  if (opcode < 0 || opcode >= kOpcodeCount) return nullptr;
  return kNames[opcode];
}

int operationByName(const std::string& name) {
  for (int op = 0; op < kOpcodeCount; ++op) {
    if (kNames[op] != nullptr && name == kNames[op]) return op;
  }
  return parseNumber(name, 0, 255);
}

bool compileTexturePrograms(const std::string& text, const std::string& fileName, std::vector<CompiledTexture>* out,
                            std::string* error) {
  out->clear();
  std::istringstream lines(text);
  std::string rawLine;
  int lineNumber = 0;
  while (std::getline(lines, rawLine)) {
    ++lineNumber;
    const std::string line = rawLine.substr(0, rawLine.find('#'));
    std::istringstream wordsIn(line);
    std::vector<std::string> words;
    for (std::string w; wordsIn >> w;) words.push_back(w);
    if (words.empty()) continue;
    if (words[0] == "texture") {
      if (words.size() != 2 || !isKey(words[1])) {
        return fail(error, fileName, lineNumber, "expected 'texture KEY' with a key of four letters");
      }
      out->push_back({makeFourCC(words[1][0], words[1][1], words[1][2], words[1][3]), {0}});
      continue;
    }
    if (out->empty()) return fail(error, fileName, lineNumber, "instruction before the first 'texture KEY' line");
    if (words.size() != 10 && words.size() != 11) {
      return fail(error, fileName, lineNumber,
                  "expected: operation channels mode dest A B p0 p1 p2 p3 [picture key], got " +
                      std::to_string(words.size()) + " fields");
    }
    TextureInstruction in{};
    const int op = operationByName(words[0]);
    if (op < 0) return fail(error, fileName, lineNumber, "unknown operation '" + words[0] + "'");
    const int channels = parseNumber(words[1], 0, 15);
    if (channels < 0) return fail(error, fileName, lineNumber, "channels must be 0..15, got '" + words[1] + "'");
    if (words[2].size() != 1) return fail(error, fileName, lineNumber, "mode must be one character, got '" + words[2] + "'");
    int layers[3];
    for (int k = 0; k < 3; ++k) {
      const std::string& w = words[3 + k];
      layers[k] = w == "-" ? 0 : parseNumber(w, 0, 3);
      if (layers[k] < 0) return fail(error, fileName, lineNumber, "layer must be 0..3 or '-', got '" + w + "'");
    }
    int operands[4];
    for (int k = 0; k < 4; ++k) {
      operands[k] = parseNumber(words[6 + k], 0, 255);
      if (operands[k] < 0) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on the chained form.
        std::string message = "p";
        message += std::to_string(k);
        message += " must be 0..255, got '";
        message += words[6 + k];
        message += "'";
        return fail(error, fileName, lineNumber, message);
      }
    }
    if (words.size() == 11 && !isKey(words[10])) {
      return fail(error, fileName, lineNumber, "picture key must be four letters, got '" + words[10] + "'");
    }
    in.opcode = static_cast<uint8_t>(op);
    in.channels = static_cast<uint8_t>(channels);
    in.blendMode = static_cast<uint8_t>(words[2][0]);
    in.dest = static_cast<uint8_t>(layers[0]);
    in.srcA = static_cast<uint8_t>(layers[1]);
    in.srcB = static_cast<uint8_t>(layers[2]);
    in.p0 = static_cast<uint8_t>(operands[0]);
    in.p1 = static_cast<uint8_t>(operands[1]);
    in.p2 = static_cast<uint8_t>(operands[2]);
    in.p3 = static_cast<uint8_t>(operands[3]);
    if (words.size() == 11) in.pictureKey = makeFourCC(words[10][0], words[10][1], words[10][2], words[10][3]);
    std::vector<uint8_t>& program = out->back().program;
    if (program[0] == kMaxInstructions) {
      return fail(error, fileName, lineNumber, "a program holds at most 255 instructions");
    }
    program[0] = static_cast<uint8_t>(program[0] + 1);
    const size_t at = program.size();
    program.resize(at + kInstructionBytes);
    encodeInstruction(in, program.data() + at);
  }
  return true;
}
