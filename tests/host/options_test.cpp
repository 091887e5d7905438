#include <gtest/gtest.h>

#include <vector>

#include "host/options.h"

namespace {

struct Parsed {
  bool ok;
  host::Options options;
  std::string error;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "brannik");
  Parsed p;
  p.ok = host::parseOptions(static_cast<int>(args.size()), args.data(), &p.options, &p.error);
  return p;
}

TEST(Options, NoArgumentsIsThePresentation) {
  const Parsed p = parse({});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.options.mode, host::RunMode::Present);
  EXPECT_FALSE(p.options.window);
}

TEST(Options, CaptureTakesRateAndDuration) {
  const Parsed p = parse({"--capture", "out", "--fps", "10", "--duration", "2.5"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.mode, host::RunMode::Capture);
  EXPECT_EQ(p.options.capturePath, "out");
  EXPECT_EQ(p.options.fps, 10);
  EXPECT_DOUBLE_EQ(p.options.duration, 2.5);
  EXPECT_EQ(parse({"--capture", "x.mp4"}).options.fps, 60);
}

TEST(Options, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(parse({"--window", "--help"}).options.mode, host::RunMode::Help);
  EXPECT_EQ(parse({"--version"}).options.mode, host::RunMode::Version);
}

TEST(Options, BadCommandLinesAreRefusedWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},
      {"--capture"},
      {"--capture", ""},
      {"--capture", "d", "--fps", "0"},
      {"--capture", "d", "--fps", "12x"},
      {"--capture", "d", "--fps", "1001"},
      {"--capture", "d", "--duration", "-1"},
      {"--capture", "d", "--duration", "nan"},
      {"--fps", "30"},
      {"--duration", "3"},
      {"--capture", "d", "--soundtrack", "a.wav"},
      {"--window", "--capture", "d"},
      {"extra"},
  };
  for (const auto& args : bad) {
    const Parsed p = parse(args);
    EXPECT_FALSE(p.ok) << args[0];
    EXPECT_FALSE(p.error.empty()) << args[0];
  }
}

}  // namespace

namespace {

TEST(Options, TraceGoesWithThePresentationOrACaptureOnly) {
  const Parsed live = parse({"--trace", "t.csv"});
  ASSERT_TRUE(live.ok) << live.error;
  EXPECT_EQ(live.options.mode, host::RunMode::Present);
  EXPECT_EQ(live.options.tracePath, "t.csv");
  const Parsed capture = parse({"--capture", "out", "--trace", "t.csv"});
  ASSERT_TRUE(capture.ok) << capture.error;
  EXPECT_EQ(capture.options.mode, host::RunMode::Capture);
  EXPECT_FALSE(parse({"--soundtrack", "a.wav", "--trace", "t.csv"}).ok);
  EXPECT_FALSE(parse({"--trace"}).ok);
  EXPECT_FALSE(parse({"--trace", ""}).ok);
}

}  // namespace

namespace {

TEST(Options, FromAndToTakeSongOrdersInEveryMode) {
  const struct {
    std::vector<const char*> args;
    int from, to;
  } good[] = {
      {{}, 0, 92},
      {{"--from", "41"}, 41, 92},
      {{"--to", "1"}, 0, 1},
      {{"--window", "--from", "91", "--to", "92"}, 91, 92},
      {{"--capture", "d", "--from", "41", "--duration", "4"}, 41, 92},
      {{"--soundtrack", "a.wav", "--to", "49", "--from", "41"}, 41, 49},
  };
  for (const auto& g : good) {
    const Parsed p = parse(g.args);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.fromOrder, g.from);
    EXPECT_EQ(p.options.toOrder, g.to);
  }
}

TEST(Options, OrdersOutOfRangeOrOutOfTurnAreRefused) {
  const struct {
    std::vector<const char*> args;
    const char* says;
  } bad[] = {
      {{"--from", "92"}, "--from takes a song order from 0 to 91, not '92'"},
      {{"--from", "-1"}, "--from takes a song order from 0 to 91, not '-1'"},
      {{"--from", "4x"}, "--from takes a song order from 0 to 91, not '4x'"},
      {{"--to", "0"}, "--to takes a song order from 1 to 92, not '0'"},
      {{"--to", "93"}, "--to takes a song order from 1 to 92, not '93'"},
      {{"--from", "41", "--to", "41"}, "--to 41 must come after --from 41"},
      {{"--to", "30", "--from", "50"}, "--to 30 must come after --from 50"},
      {{"--from"}, "--from needs a value"},
  };
  for (const auto& b : bad) {
    const Parsed p = parse(b.args);
    EXPECT_FALSE(p.ok) << b.says;
    EXPECT_EQ(p.error, b.says);
  }
}

TEST(Options, ScaleTakes1To4InEveryMode) {
  EXPECT_EQ(parse({}).options.scale, 1);
  for (const auto& args : std::vector<std::vector<const char*>>{{"--scale", "2"},
                                                                 {"--window", "--scale", "2"},
                                                                 {"--capture", "d", "--scale", "2", "--fps", "10"},
                                                                 {"--soundtrack", "a.wav", "--scale", "2"}}) {
    const Parsed p = parse(args);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.scale, 2);
  }
  EXPECT_EQ(parse({"--scale", "4"}).options.scale, 4);
  for (const char* n : {"0", "5", "two", "2.0", "-1", ""}) {
    const Parsed p = parse({"--capture", "d", "--scale", n});
    EXPECT_FALSE(p.ok) << n;
    EXPECT_EQ(p.error, std::string("--scale takes a whole number from 1 to 4, not '") + n + "'");
  }
  EXPECT_EQ(parse({"--scale"}).error, "--scale needs a value");
}

}  // namespace
