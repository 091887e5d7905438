// The SONG entry's layout as the song tools see it: five devices (three synths, the drums, the
// master) with their pattern banks and parameter blocks, then one order list and automation list per
// device. A plain in-memory form that the text compiler fills and the binary writer/reader share.
// The engine reads the bytes directly (sequencer.h); this is for the tools and tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kSongDevices = 5;
constexpr int32_t kSongSynths = 3;
constexpr int32_t kSongDrumDevice = 3;
constexpr int32_t kSongMasterDevice = 4;

struct SongEvent {
  int32_t row;  // absolute row from the song's start
  uint8_t index;
  uint8_t value;
};

struct SongDevice {
  std::vector<uint8_t> bank;    // 3328 bytes (synth) or 6400 (drums); empty for the master
  std::vector<uint8_t> params;  // the parameter block's bytes as stored (synth 0, 8, 12 biased by 128)
  std::array<int8_t, 996> orders;
  std::vector<SongEvent> events;  // in list order; rows never decrease
};

struct Song {
  int32_t tempo = 114;
  int32_t rows = 16;
  SongDevice devices[kSongDevices];
  Song();
};

// Parameter counts of the five devices: 20, 20, 20, 27, 41.
int32_t songDeviceParams(int32_t device);
// Bank sizes: 3328 for a synth, 6400 for the drums, 0 for the master.
int32_t songDeviceBankBytes(int32_t device);

// Writes the SONG bytes. Fails (with a message) only for automation gaps over 65535 rows.
bool writeSong(const Song& song, std::vector<uint8_t>* out, std::string* error);
// Reads SONG bytes, rejecting anything outside the format's limits with a message naming the offset.
bool readSong(const uint8_t* bytes, size_t size, Song* song, std::string* error);
