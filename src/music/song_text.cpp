// Song text: a line-based format of sections (synth N, drums, master), each with its parameter block,
// patterns as tracker lines, order list and automation (set and ramp lines).
#include "music/song_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "music/drum_machine.h"
#include "music/mono_synth.h"

namespace {

const char* const kNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

std::vector<std::string> splitWords(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool parseInt(const std::string& word, int32_t lo, int32_t hi, int32_t* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(word.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool isKeyword(const std::string& w) {
  static const char* const kWords[] = {"tempo", "rows", "synth", "drums", "master", "params",
                                       "pattern", "orders", "set", "ramp"};
  for (const char* k : kWords) {
    if (w == k) return true;
  }
  return false;
}

// "C3", "C#-1": note within the octave and a signed octave.
bool parseNote(const std::string& word, int32_t* note, int32_t* octave) {
  for (int32_t n = 11; n >= 0; --n) {
    const std::string name = kNoteNames[n];
    if (word.compare(0, name.size(), name) == 0 && word.size() > name.size() &&
        parseInt(word.substr(name.size()), -128, 127, octave)) {
      *note = n;
      return true;
    }
  }
  return false;
}

class Parser {
 public:
  Parser(const std::string& name, Song* song, std::string* error) : name_(name), song_(song), error_(error) {}

  bool run(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
      ++line_;
      const size_t hash = raw.find('#');
      // '#' starts a comment unless it is part of a note name (a letter before it).
      std::string content = raw;
      for (size_t i = hash; i != std::string::npos; i = raw.find('#', i + 1)) {
        if (i == 0 || !(raw[i - 1] >= 'A' && raw[i - 1] <= 'G')) {
          content = raw.substr(0, i);
          break;
        }
      }
      const std::vector<std::string> words = splitWords(content);
      if (words.empty()) continue;
      if (!line(words)) return false;
    }
    for (int32_t d = 0; d < kSongDevices; ++d) {
      std::stable_sort(song_->devices[d].events.begin(), song_->devices[d].events.end(),
                       [](const SongEvent& a, const SongEvent& b) { return a.row < b.row; });
    }
    return true;
  }

 private:
  bool fail(const std::string& what) {
    *error_ = name_ + ":" + std::to_string(line_) + ": " + what;
    return false;
  }

  bool line(const std::vector<std::string>& w) {
    const std::string& k = w[0];
    if (!isKeyword(k)) {
      if (pattern_ < 0) return fail("unexpected '" + k + "' outside a pattern");
      return device_ == kSongDrumDevice ? drumRow(w) : synthStep(w);
    }
    endPattern();
    if (k == "tempo") {
      if (w.size() != 2 || !parseInt(w[1], 0, 32767, &song_->tempo)) return fail("tempo takes one number 0 to 32767");
      return true;
    }
    if (k == "rows") {
      if (w.size() != 2 || !parseInt(w[1], 1, 127, &song_->rows)) return fail("rows takes one number 1 to 127");
      return true;
    }
    if (k == "synth") {
      int32_t v = 0;
      if (w.size() != 2 || !parseInt(w[1], 0, 2, &v)) return fail("synth takes a voice number 0 to 2");
      device_ = v;
      return true;
    }
    if (k == "drums" || k == "master") {
      if (w.size() != 1) return fail(k + " takes no arguments");
      device_ = k == "drums" ? kSongDrumDevice : kSongMasterDevice;
      return true;
    }
    if (device_ < 0) return fail("'" + k + "' before any synth, drums or master section");
    if (k == "params") return params(w);
    if (k == "pattern") return patternHeader(w);
    if (k == "orders") return orders(w);
    return automation(w);
  }

  bool params(const std::vector<std::string>& w) {
    const int32_t count = songDeviceParams(device_);
    if (static_cast<int32_t>(w.size()) - 1 > count) return fail("more than " + std::to_string(count) + " parameters");
    std::vector<uint8_t>& p = song_->devices[device_].params;
    p.clear();
    for (size_t i = 1; i < w.size(); ++i) {
      int32_t v = 0;
      if (!parseInt(w[i], 0, 255, &v)) return fail("parameter '" + w[i] + "' is not a number 0 to 255");
      p.push_back(static_cast<uint8_t>(v));
    }
    return true;
  }

  bool patternHeader(const std::vector<std::string>& w) {
    if (device_ == kSongMasterDevice) return fail("the master has no patterns");
    int32_t p = 0;
    if (w.size() < 2 || !parseInt(w[1], 0, 31, &p)) return fail("pattern takes a number 0 to 31");
    length_ = 0;
    if (w.size() == 4 && w[2] == "length") {
      if (!parseInt(w[3], 1, 16, &length_)) return fail("a pattern length is 1 to 16");
    } else if (w.size() != 2) {
      return fail("pattern N [length L]");
    }
    pattern_ = p;
    steps_ = 0;
    uint8_t* bytes = patternBytes();
    std::fill(bytes, bytes + stride(), 0);
    return true;
  }

  int32_t stride() const { return device_ == kSongDrumDevice ? kDrumPatternBytes : kSynthPatternBytes; }
  uint8_t* patternBytes() { return song_->devices[device_].bank.data() + pattern_ * stride(); }

  void endPattern() {
    if (pattern_ < 0) return;
    const int32_t length = length_ > 0 ? length_ : std::max(steps_, 1);
    uint8_t* at = patternBytes() + (device_ == kSongDrumDevice ? 192 : 96);
    at[0] = static_cast<uint8_t>(length);
    pattern_ = -1;
  }

  bool synthStep(const std::vector<std::string>& w) {
    if (steps_ >= 16) return fail("a pattern has at most 16 steps");
    uint8_t* s = patternBytes() + steps_ * 6;
    int32_t note = 0, octave = 0;
    if (w[0] != "." && !parseNote(w[0], &note, &octave)) return fail("'" + w[0] + "' is not a note (C3, F#-1 or .)");
    s[0] = static_cast<uint8_t>(note);
    s[1] = static_cast<uint8_t>(octave);
    if (w.size() > 2) return fail("a step is a note and at most one flag word");
    if (w.size() == 2 && w[1] != "-") {
      for (char c : w[1]) {
        const char* flags = "xasr";  // gate, accent, slide, repeat
        const char* f = std::strchr(flags, c);
        if (!f || c == '\0') return fail(std::string("unknown step flag '") + c + "' (x gate, a accent, s slide, r repeat)");
        s[2 + (f - flags)] = 1;
      }
    }
    ++steps_;
    return true;
  }

  bool drumRow(const std::vector<std::string>& w) {
    if (steps_ >= 16) return fail("a pattern has at most 16 rows");
    std::string row;
    for (const std::string& part : w) row += part;
    if (row.size() != static_cast<size_t>(kDrumSounds)) return fail("a drum row has 12 commands (. or 1 to 9)");
    uint8_t* r = patternBytes() + steps_ * kDrumSounds;
    for (int32_t i = 0; i < kDrumSounds; ++i) {
      const char c = row[static_cast<size_t>(i)];
      if (c == '.') continue;
      if (c < '1' || c > '9') return fail(std::string("drum command '") + c + "' is not . or 1 to 9");
      r[i] = static_cast<uint8_t>(c - '0');
    }
    ++steps_;
    return true;
  }

  bool orders(const std::vector<std::string>& w) {
    auto& list = song_->devices[device_].orders;
    list.fill(-1);
    size_t k = 0;
    for (size_t i = 1; i < w.size(); ++i) {
      const size_t star = w[i].find('*');
      const std::string item = w[i].substr(0, star);
      int32_t repeat = 1, pattern = -1;
      if (star != std::string::npos && !parseInt(w[i].substr(star + 1), 1, 996, &repeat)) {
        return fail("bad repeat count in '" + w[i] + "'");
      }
      if (item != "-" && !parseInt(item, 0, 31, &pattern)) return fail("order entry '" + w[i] + "' is not a pattern 0 to 31 or -");
      for (int32_t r = 0; r < repeat; ++r, ++k) {
        if (k >= list.size()) return fail("more than 996 order entries");
        list[k] = static_cast<int8_t>(pattern);
      }
    }
    return true;
  }

  // "O.R": order O, row R.
  bool position(const std::string& word, int32_t* row) {
    const size_t dot = word.find('.');
    int32_t order = 0, r = 0;
    if (dot == std::string::npos || !parseInt(word.substr(0, dot), 0, 998, &order) ||
        !parseInt(word.substr(dot + 1), 0, song_->rows - 1, &r)) {
      return fail("'" + word + "' is not a position ORDER.ROW with ROW below " + std::to_string(song_->rows));
    }
    *row = order * song_->rows + r;
    return true;
  }

  bool automation(const std::vector<std::string>& w) {
    const bool ramp = w[0] == "ramp";
    if (w.size() != (ramp ? 6u : 4u)) return fail(ramp ? "ramp FROM TO PARAM V1 V2" : "set AT PARAM VALUE");
    int32_t from = 0, to = 0, index = 0, v1 = 0, v2 = 0;
    const int32_t params = songDeviceParams(device_);
    if (!position(w[1], &from)) return false;
    if (ramp && !position(w[2], &to)) return false;
    const size_t p = ramp ? 3 : 2;
    if (!parseInt(w[p], 0, params - 1, &index)) {
      return fail("parameter index '" + w[p] + "' is not 0 to " + std::to_string(params - 1));
    }
    if (!parseInt(w[p + 1], 0, 255, &v1) || (ramp && !parseInt(w[p + 2], 0, 255, &v2))) {
      return fail("a value is a number 0 to 255");
    }
    auto& events = song_->devices[device_].events;
    if (!ramp) {
      events.push_back({from, static_cast<uint8_t>(index), static_cast<uint8_t>(v1)});
      return true;
    }
    if (to <= from) return fail("a ramp ends after it starts");
    for (int32_t r = from; r <= to; ++r) {
      const int32_t v = v1 + (v2 - v1) * (r - from) / (to - from);
      events.push_back({r, static_cast<uint8_t>(index), static_cast<uint8_t>(v)});
    }
    return true;
  }

  std::string name_;
  Song* song_;
  std::string* error_;
  int32_t line_ = 0;
  int32_t device_ = -1;
  int32_t pattern_ = -1;
  int32_t length_ = 0;
  int32_t steps_ = 0;
};

std::string stepText(const uint8_t* s) {
  std::string text;
  const int32_t note = static_cast<int8_t>(s[0]);
  const int32_t octave = static_cast<int8_t>(s[1]);
  const bool flags = s[2] || s[3] || s[4] || s[5];
  if (note == 0 && octave == 0 && !flags) return ".";
  if (note >= 0 && note < 12) {
    text = kNoteNames[note] + std::to_string(octave);
  } else {
    // A note outside the octave is written as the equivalent note and octave.
    const int32_t absolute = note + 12 * octave;
    const int32_t n = ((absolute % 12) + 12) % 12;
    text = kNoteNames[n] + std::to_string((absolute - n) / 12);
  }
  std::string f;
  if (s[2]) f += 'x';
  if (s[3]) f += 'a';
  if (s[4]) f += 's';
  if (s[5]) f += 'r';
  text += f.empty() ? " -" : " " + f;
  return text;
}

std::string positionText(int32_t row, int32_t rows) {
  return std::to_string(row / rows) + "." + std::to_string(row % rows);
}

}  // namespace

bool parseSongText(const std::string& text, const std::string& name, Song* song, std::string* error) {
  *song = Song();
  Parser parser(name, song, error);
  return parser.run(text);
}

std::string songToText(const Song& song) {
  std::ostringstream out;
  out << "tempo " << song.tempo << "\nrows " << song.rows << "\n";
  for (int32_t d = 0; d < kSongDevices; ++d) {
    const SongDevice& dev = song.devices[d];
    out << "\n" << (d < kSongSynths ? "synth " + std::to_string(d) : d == kSongDrumDevice ? "drums" : "master") << "\n";
    out << "params";
    for (uint8_t p : dev.params) out << " " << static_cast<int32_t>(p);
    out << "\n";
    const bool drums = d == kSongDrumDevice;
    const int32_t stride = drums ? kDrumPatternBytes : kSynthPatternBytes;
    for (int32_t p = 0; p < 32 && d < kSongDevices - 1; ++p) {
      const uint8_t* bytes = dev.bank.data() + p * stride;
      const int32_t length = musicReadLe32(bytes + (drums ? 192 : 96));
      const int32_t rowBytes = drums ? kDrumSounds : 6;
      bool used = length != 16;
      for (int32_t i = 0; i < 16 * rowBytes; ++i) used = used || bytes[i] != 0;
      if (!used) continue;
      out << "pattern " << p << " length " << length << "\n";
      for (int32_t r = 0; r < length; ++r) {
        if (drums) {
          std::string row;
          for (int32_t i = 0; i < kDrumSounds; ++i) {
            const uint8_t c = bytes[r * kDrumSounds + i];
            row += c == 0 ? '.' : static_cast<char>('0' + std::min<int32_t>(c, 9));
            if (i % 4 == 3 && i != kDrumSounds - 1) row += ' ';
          }
          out << "  " << row << "\n";
        } else {
          out << "  " << stepText(bytes + r * 6) << "\n";
        }
      }
    }
    int32_t last = 995;
    while (last >= 0 && dev.orders[static_cast<size_t>(last)] == -1) --last;
    out << "orders";
    for (int32_t k = 0; k <= last;) {
      int32_t run = 1;
      while (k + run <= last && dev.orders[static_cast<size_t>(k + run)] == dev.orders[static_cast<size_t>(k)]) ++run;
      const int32_t o = dev.orders[static_cast<size_t>(k)];
      out << " " << (o < 0 ? std::string("-") : std::to_string(o));
      if (run > 1) out << "*" << run;
      k += run;
    }
    out << "\n";
    for (const SongEvent& e : dev.events) {
      out << "set " << positionText(e.row, song.rows) << " " << static_cast<int32_t>(e.index) << " "
          << static_cast<int32_t>(e.value) << "\n";
    }
  }
  return out.str();
}

bool compileSongText(const std::string& text, const std::string& name, std::vector<uint8_t>* out,
                     std::string* error) {
  Song song;
  if (!parseSongText(text, name, &song, error)) return false;
  if (!writeSong(song, out, error)) {
    *error = name + ": " + *error;
    return false;
  }
  return true;
}
