// SONG bytes to and from the tools' in-memory song.
#include "music/song_format.h"

#include <cstdio>

#include "music/drum_machine.h"
#include "music/mono_synth.h"
#include "music/synth_device.h"

namespace {

void put16(std::vector<uint8_t>* out, int32_t v) {
  out->push_back(static_cast<uint8_t>(v & 0xFF));
  out->push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>* out, int32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, static_cast<int32_t>(static_cast<uint32_t>(v) >> 16));
}

std::string at(size_t offset, const char* what) {
  char text[160];
  std::snprintf(text, sizeof(text), "offset %zu: %s", offset, what);
  return text;
}

}  // namespace

Song::Song() {
  for (int32_t d = 0; d < kSongDevices; ++d) {
    devices[d].bank.assign(static_cast<size_t>(songDeviceBankBytes(d)), 0);
    devices[d].orders.fill(-1);
  }
  // Every pattern is empty and 16 rows long until the song says otherwise.
  for (int32_t d = 0; d <= kSongDrumDevice; ++d) {
    const int32_t patterns = d < kSongSynths ? kSynthPatterns : kDrumPatterns;
    const int32_t stride = d < kSongSynths ? kSynthPatternBytes : kDrumPatternBytes;
    const int32_t lengthAt = d < kSongSynths ? 96 : 192;
    for (int32_t p = 0; p < patterns; ++p) devices[d].bank[static_cast<size_t>(p * stride + lengthAt)] = 16;
  }
}

int32_t songDeviceParams(int32_t device) {
  if (device < kSongSynths) return kSynthParams;
  return device == kSongDrumDevice ? kDrumParams : 41;
}

int32_t songDeviceBankBytes(int32_t device) {
  if (device < kSongSynths) return kSynthBankBytes;
  return device == kSongDrumDevice ? kDrumBankBytes : 0;
}

bool writeSong(const Song& song, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  put16(out, song.tempo);
  out->push_back(static_cast<uint8_t>(song.rows));
  for (int32_t d = 0; d < kSongDevices; ++d) {
    const SongDevice& dev = song.devices[d];
    out->insert(out->end(), dev.bank.begin(), dev.bank.end());
    out->push_back(static_cast<uint8_t>(dev.params.size()));
    out->insert(out->end(), dev.params.begin(), dev.params.end());
    if (d == kSongDrumDevice) put32(out, 0);  // no skipped bytes
  }
  for (int32_t d = 0; d < kSongDevices; ++d) {
    const SongDevice& dev = song.devices[d];
    put32(out, static_cast<int32_t>(dev.events.size()));
    for (int8_t o : dev.orders) out->push_back(static_cast<uint8_t>(o));
    int32_t row = 0;
    uint8_t index = 0, value = 0;
    for (const SongEvent& e : dev.events) {
      const int32_t step = e.row - row;
      if (step < 0 || step > 65535) {
        *error = "automation rows must not decrease nor jump more than 65535 rows";
        return false;
      }
      put16(out, step);
      out->push_back(static_cast<uint8_t>(e.index - index));
      out->push_back(static_cast<uint8_t>(e.value - value));
      row = e.row;
      index = e.index;
      value = e.value;
    }
  }
  return true;
}

bool readSong(const uint8_t* bytes, size_t size, Song* song, std::string* error) {
  *song = Song();
  if (size < 3) {
    *error = at(0, "too short for the header");
    return false;
  }
  song->tempo = musicReadLe16(bytes);
  song->rows = static_cast<int8_t>(bytes[2]);
  if (song->tempo < 0 || song->rows < 0) {
    *error = at(0, "negative tempo or rows per pattern");
    return false;
  }
  size_t pos = 3;
  for (int32_t d = 0; d < kSongDevices; ++d) {
    SongDevice& dev = song->devices[d];
    const size_t bank = dev.bank.size();
    if (size - pos < bank + 1) {
      *error = at(pos, "device block runs past the end");
      return false;
    }
    dev.bank.assign(bytes + pos, bytes + pos + bank);
    pos += bank;
    const int32_t n = static_cast<int8_t>(bytes[pos]);
    if (n > songDeviceParams(d)) {
      *error = at(pos, "more parameters than the device has");
      return false;
    }
    pos += 1;
    const size_t count = n < 0 ? 0 : static_cast<size_t>(n);
    if (size - pos < count) {
      *error = at(pos, "parameter block runs past the end");
      return false;
    }
    dev.params.assign(bytes + pos, bytes + pos + count);
    pos += count;
    if (d == kSongDrumDevice) {
      if (size - pos < 4 || musicReadLe32(bytes + pos) != 0) {
        *error = at(pos, "the drums' skipped-bytes length must be 0");
        return false;
      }
      pos += 4;
    }
    const int32_t patterns = d < kSongSynths ? kSynthPatterns : kDrumPatterns;
    const int32_t stride = d < kSongSynths ? kSynthPatternBytes : kDrumPatternBytes;
    const int32_t lengthAt = d < kSongSynths ? 96 : 192;
    for (int32_t p = 0; p < patterns && d <= kSongDrumDevice; ++p) {
      const int32_t length = musicReadLe32(dev.bank.data() + p * stride + lengthAt);
      if (length < 1 || length > 16) {
        *error = at(pos, "a pattern length outside 1 to 16");
        return false;
      }
    }
  }
  for (int32_t d = 0; d < kSongDevices; ++d) {
    SongDevice& dev = song->devices[d];
    if (size - pos < 1000) {
      *error = at(pos, "sequence block runs past the end");
      return false;
    }
    uint32_t count = static_cast<uint32_t>(musicReadLe32(bytes + pos));
    if (count == 0x1000000) count = 0;
    for (int32_t k = 0; k < 996; ++k) {
      const int8_t o = static_cast<int8_t>(bytes[pos + 4 + static_cast<size_t>(k)]);
      if (o != -1 && (o < 0 || o > 31)) {
        *error = at(pos + 4 + static_cast<size_t>(k), "an order entry that is neither a pattern 0 to 31 nor 0xFF");
        return false;
      }
      dev.orders[static_cast<size_t>(k)] = o;
    }
    pos += 1000;
    if ((size - pos) / 4 < count) {
      *error = at(pos, "automation events run past the end");
      return false;
    }
    int32_t row = 0;
    uint8_t index = 0, value = 0;
    for (uint32_t i = 0; i < count; ++i, pos += 4) {
      row += bytes[pos] | bytes[pos + 1] << 8;
      index = static_cast<uint8_t>(index + bytes[pos + 2]);
      value = static_cast<uint8_t>(value + bytes[pos + 3]);
      if (index >= songDeviceParams(d)) {
        *error = at(pos, "an automation event for a parameter the device does not have");
        return false;
      }
      dev.events.push_back({row, index, value});
    }
  }
  if (pos != size) {
    *error = at(pos, "bytes left over after the last sequence block");
    return false;
  }
  return true;
}
