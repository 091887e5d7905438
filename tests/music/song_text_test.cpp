// The song's text form: compiling, printing back (round trip), error messages with file and line,
// the binary reader's limits, and the shipped assets (song and drums) against the embedded bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "music/drum_encode.h"
#include "music/engine.h"
#include "music/sequencer.h"
#include "music/song_text.h"

namespace {

const char* const kSmallSong = R"(# a small song
tempo 120
rows 4
synth 0
params 128 10 20
pattern 2 length 3
  C#-1 xa      # a comment after a step
  .
  A4 xsr
orders 2*2 - 2
set 0.0 1 50
ramp 1.0 1.2 2 0 100
synth 1
synth 2
drums
params 0 0 103
pattern 0
  ..2. .... ...1
  .... ..4. 9...
orders 0 0
master
params 92 87
set 0.1 9 200
)";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SongText, CompilesToTheSongLayout) {
  Song song;
  std::string error;
  ASSERT_TRUE(parseSongText(kSmallSong, "small.txt", &song, &error)) << error;
  EXPECT_EQ(song.tempo, 120);
  EXPECT_EQ(song.rows, 4);
  const SongDevice& s0 = song.devices[0];
  EXPECT_EQ(s0.params, (std::vector<uint8_t>{128, 10, 20}));
  const uint8_t* p2 = s0.bank.data() + 2 * 104;
  EXPECT_EQ(static_cast<int8_t>(p2[0]), 1);   // C#
  EXPECT_EQ(static_cast<int8_t>(p2[1]), -1);  // octave -1
  EXPECT_EQ(p2[2], 1);                        // gate
  EXPECT_EQ(p2[3], 1);                        // accent
  EXPECT_EQ(p2[6 + 2], 0);                    // "." is a rest
  EXPECT_EQ(p2[12 + 4], 1);                   // slide
  EXPECT_EQ(p2[12 + 5], 1);                   // repeat
  EXPECT_EQ(p2[96], 3);                       // length
  EXPECT_EQ(s0.bank[0 * 104 + 96], 16);       // undefined patterns: empty, 16 steps
  EXPECT_EQ(s0.orders[0], 2);
  EXPECT_EQ(s0.orders[1], 2);
  EXPECT_EQ(s0.orders[2], -1);
  EXPECT_EQ(s0.orders[3], 2);
  EXPECT_EQ(s0.orders[4], -1);
  // set at row 0, then the ramp over rows 4, 5, 6: 0, 50, 100.
  ASSERT_EQ(s0.events.size(), 4u);
  EXPECT_EQ(s0.events[1].row, 4);
  EXPECT_EQ(s0.events[2].value, 50);
  EXPECT_EQ(s0.events[3].row, 6);
  EXPECT_EQ(s0.events[3].value, 100);
  const uint8_t* d0 = song.devices[3].bank.data();
  EXPECT_EQ(d0[2], 2);
  EXPECT_EQ(d0[11], 1);
  EXPECT_EQ(d0[12 + 6], 4);
  EXPECT_EQ(d0[12 + 8], 9);
  EXPECT_EQ(d0[192], 2);  // length from the rows given
  EXPECT_EQ(song.devices[4].events[0].row, 1);
}

TEST(SongText, RoundTripsThroughTheBinaryForm) {
  std::vector<uint8_t> first, second;
  std::string error;
  ASSERT_TRUE(compileSongText(kSmallSong, "small.txt", &first, &error)) << error;
  Song read;
  ASSERT_TRUE(readSong(first.data(), first.size(), &read, &error)) << error;
  const std::string printed = songToText(read);
  ASSERT_TRUE(compileSongText(printed, "printed.txt", &second, &error)) << error;
  EXPECT_EQ(first, second);
  // Events are stored as differences: the running sums come back.
  EXPECT_EQ(read.devices[0].events[3].row, 6);
  EXPECT_EQ(read.devices[0].events[3].index, 2);
}

TEST(SongText, TheEngineLoadsTheCompiledSong) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(compileSongText(kSmallSong, "small.txt", &bytes, &error)) << error;
  ASSERT_TRUE(music_buildFrom(bytes.data(), static_cast<int32_t>(bytes.size()), nullptr, 0));
  EXPECT_EQ(g_sequencer.rowsPerPattern, 4);
  EXPECT_EQ(g_sequencer.songOrders(), 4);
  EXPECT_EQ(music_synth(0)->param(kSynthCutoff), 50);  // the event at 0.0, applied by seek(0)
  EXPECT_EQ(g_masterMixer.param(0), 92);
}

struct BadSong {
  const char* text;
  const char* message;  // expected to appear in the error
};

TEST(SongText, ErrorsNameTheFileAndLine) {
  const BadSong cases[] = {
      {"tempo 114\nsynth 0\npattern 0\n  H3 x\n", "bad.txt:4: 'H3' is not a note"},
      {"synth 0\npattern 0\n  C3 xq\n", "bad.txt:3: unknown step flag 'q'"},
      {"synth 1\nset 0.0 20 1\n", "bad.txt:2: parameter index '20' is not 0 to 19"},
      {"drums\npattern 32\n", "bad.txt:2: pattern takes a number 0 to 31"},
      {"master\npattern 0\n", "bad.txt:2: the master has no patterns"},
      {"synth 0\norders 40\n", "bad.txt:2: order entry '40'"},
      {"synth 0\norders 1*500 2*497\n", "bad.txt:2: more than 996 order entries"},
      {"rows 16\nsynth 0\nramp 2.0 1.0 1 0 9\n", "bad.txt:3: a ramp ends after it starts"},
      {"rows 16\nsynth 0\nset 1.16 1 0\n", "bad.txt:3: '1.16' is not a position"},
      {"\n\nsynth 0\npattern 0 length 17\n", "bad.txt:4: a pattern length is 1 to 16"},
      {"drums\npattern 0\n  ..2\n", "bad.txt:3: a drum row has 12 commands"},
      {"params 1\n", "bad.txt:1: 'params' before any synth"},
      {"synth 0\nparams 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n", "bad.txt:2: more than 20 parameters"},
      {"synth 0\nfoo\n", "bad.txt:2: unexpected 'foo' outside a pattern"},
  };
  for (const BadSong& c : cases) {
    Song song;
    std::string error;
    EXPECT_FALSE(parseSongText(c.text, "bad.txt", &song, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

TEST(SongBinary, TheReaderRejectsDataOutsideTheFormat) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(compileSongText(kSmallSong, "small.txt", &bytes, &error));
  Song song;
  std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
  EXPECT_FALSE(readSong(cut.data(), cut.size(), &song, &error));
  EXPECT_NE(error.find("run past the end"), std::string::npos) << error;

  std::vector<uint8_t> badLength = bytes;
  badLength[3 + 96] = 0;  // synth 0, pattern 0: length 0
  EXPECT_FALSE(readSong(badLength.data(), badLength.size(), &song, &error));
  EXPECT_NE(error.find("pattern length"), std::string::npos) << error;

  std::vector<uint8_t> badOrder = bytes;
  const size_t sequences = bytes.size() - 5 * 1000 - 4 * 5;  // five sequence blocks, five events
  badOrder[sequences + 4] = 40;
  EXPECT_FALSE(readSong(badOrder.data(), badOrder.size(), &song, &error));
  EXPECT_NE(error.find("order entry"), std::string::npos) << error;
}

TEST(ShippedAssets, TheSongIsFullLengthAt114WithTheShippedParameterBlocks) {
  const std::string path = std::string(BRANNIK_SOURCE_DIR) + "/assets/song.txt";
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(compileSongText(readFile(path), path, &bytes, &error)) << error;
  Song song;
  ASSERT_TRUE(readSong(bytes.data(), bytes.size(), &song, &error)) << error;
  EXPECT_EQ(song.tempo, 114);
  EXPECT_EQ(song.rows, 16);
  EXPECT_EQ(song.devices[0].params, (std::vector<uint8_t>{128, 168, 248, 251, 3, 49, 72, 1, 128, 0, 0, 0, 135, 47,
                                                          0, 165, 0, 0, 0, 0}));
  EXPECT_EQ(song.devices[1].params, (std::vector<uint8_t>{116, 0, 169, 156, 0, 61, 25, 5, 128, 0, 0, 5, 116, 16, 0,
                                                          184, 0, 0, 0, 0}));
  EXPECT_EQ(song.devices[2].params, (std::vector<uint8_t>{140, 44, 146, 246, 0, 139, 100, 2, 128, 0, 0, 2, 135, 38,
                                                          0, 128, 0, 0, 0, 0}));
  std::vector<uint8_t> drums = {0, 0, 103, 124, 0, 0, 0, 255, 0, 255, 255, 255};
  drums.resize(25, 0);
  drums.push_back(246);
  drums.push_back(0);
  EXPECT_EQ(song.devices[3].params, drums);
  EXPECT_EQ(song.devices[4].params,
            (std::vector<uint8_t>{92, 87, 215, 255, 0, 0, 81, 0, 232, 130, 0, 255, 0, 0, 0, 0, 59, 68, 201, 255, 255,
                                  0, 119, 0, 255, 128, 0, 255, 0, 0, 33, 0, 187, 145, 4, 122, 0, 0, 0, 114, 104}));
  // Orders 0 to 90 are the song; the master never automates the delay (32 to 34) or the tempo (39).
  int32_t lastOrder = -1;
  for (const SongDevice& d : song.devices) {
    for (int32_t k = 0; k < 996; ++k) {
      if (d.orders[static_cast<size_t>(k)] != -1) lastOrder = std::max(lastOrder, k);
    }
  }
  EXPECT_EQ(lastOrder, 90);
  for (const SongEvent& e : song.devices[4].events) {
    EXPECT_TRUE(e.index < 32 || e.index > 34) << "delay parameter automated at row " << e.row;
    EXPECT_NE(e.index, 39) << "tempo automated at row " << e.row;
  }
}

TEST(ShippedAssets, TheEmbeddedEntriesAreTheCompiledAssets) {
  const std::string dir = std::string(BRANNIK_SOURCE_DIR) + "/assets";
  std::vector<uint8_t> song;
  std::string error;
  ASSERT_TRUE(compileSongText(readFile(dir + "/song.txt"), "song.txt", &song, &error)) << error;
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  const ArchiveEntry* songEntry = findEntry(makeFourCC('S', 'O', 'N', 'G'));
  const ArchiveEntry* drumEntry = findEntry(makeFourCC('D', 'R', 'U', 'M'));
  ASSERT_NE(songEntry, nullptr);
  ASSERT_NE(drumEntry, nullptr);
  EXPECT_EQ(song, std::vector<uint8_t>(songEntry->data, songEntry->data + songEntry->dataSize));
  std::vector<DrumRecipe> recipes;
  ASSERT_TRUE(parseDrumRecipes(readFile(dir + "/drums.txt"), "drums.txt", &recipes, &error)) << error;
  EXPECT_EQ(encodeDrumEntry(recipes), std::vector<uint8_t>(drumEntry->data, drumEntry->data + drumEntry->dataSize));
}

TEST(ShippedAssets, DrumRecipeErrorsNameTheFileAndLine) {
  std::vector<DrumRecipe> recipes;
  std::string error;
  EXPECT_FALSE(parseDrumRecipes("sound 2 type 1 samples 1000\n", "d.txt", &recipes, &error));
  EXPECT_NE(error.find("d.txt:1: samples is a power of two"), std::string::npos) << error;
  EXPECT_FALSE(parseDrumRecipes("sound 2 type 1 samples 1024\n  tone 0.5 decay 0.1\n", "d.txt", &recipes, &error));
  EXPECT_NE(error.find("d.txt:2: tone and metal need a freq"), std::string::npos) << error;
  EXPECT_FALSE(parseDrumRecipes("sound 11 type 1 samples 1024\n", "d.txt", &recipes, &error));
  EXPECT_NE(error.find("d.txt:1: a recorded sound is numbered 0 to 10"), std::string::npos) << error;
}

}  // namespace
