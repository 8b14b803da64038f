// The offline renderer's pieces that decide what a capture contains: the music's event
// list on the show's clock, the plan and mix of the sound track, whole-file decoding, the
// frame-time summaries, the contact sheet's layout, the frames'
// conversion for the encoder, and the command line's values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sound.h"
#include "tests/support/test_support.h"
#include "timeline/music.h"
#include "timeline/music_log.h"
#include "tools/render/audio_mix.h"
#include "tools/render/bench_stats.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/frame_yuv.h"
#include "tools/render/option_parse.h"
#include "tools/render/options.h"

namespace {
MusicEvent Event(MusicEventType type, uint32_t ticks, const char* file = "", int volume = 0) {
  MusicEvent e;
  e.type = type;
  e.ticks = ticks;
  e.file = file;
  e.volume = volume;
  return e;
}

// A decoder standing for MP3 files: "ramp" is a constant 1000 on both channels for two
// seconds at any rate; anything else does not decode.
bool FakeDecoder(const std::string& file, int rate, size_t maxFrames, std::vector<int16_t>* out) {
  out->clear();
  if (file != "ramp") return false;
  size_t frames = std::min(maxFrames, (size_t)rate * 2);
  out->assign(frames * 2, 1000);
  return true;
}

int16_t Left(const std::vector<int16_t>& mix, double ms, int rate) {
  return mix[(size_t)(ms * rate / 1000.0) * 2];
}

std::string MakeMp3(const std::string& dir, const std::string& name, int rate, int channels) {
  std::string path = dir + "/" + name;
  std::string command = "sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                        " -b 16 " + dir + "/tone.wav synth 1 sine 500 vol 0.5 && lame --quiet " +
                        dir + "/tone.wav " + path;
  EXPECT_EQ(system(command.c_str()), 0) << command;
  return path;
}
}  // namespace

TEST(MusicLog, RecordsWhatReachesTheSoundOutputOnTheShowClock) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  PlatformUseVirtualClock(true);
  MusicLogEnable(true);
  PlayMusic("early.mp3");  // sound not started: nothing happens, nothing is recorded
  SetVolume(0, 10);
  EXPECT_TRUE(MusicLogEvents().empty());

  StartSound();
  PlatformSetVirtualTime(1000);
  PlayMusic("missing.mp3");  // a missing file still starts (silent) music at this time
  PlatformSetVirtualTime(1500.7);
  SetVolume(0, 140);
  SetVolume(1, 50);  // no such channel: not music
  SetVolume(0, 900);  // clamped like the output's volume
  PlatformSetVirtualTime(2000);
  StopMusic();
  StopSound();
  StopSound();  // the second does nothing
  PlayMusic("late.mp3");

  const std::vector<MusicEvent>& e = MusicLogEvents();
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].type, MusicEventPlay);
  EXPECT_EQ(e[0].ticks, 1000u);
  EXPECT_EQ(e[0].file, "missing.mp3");
  EXPECT_EQ(e[1].type, MusicEventVolume);
  EXPECT_EQ(e[1].ticks, 1500u);
  EXPECT_EQ(e[1].volume, 140);
  EXPECT_EQ(e[2].volume, 255);
  EXPECT_EQ(e[3].type, MusicEventStop);
  EXPECT_EQ(e[3].ticks, 2000u);
  EXPECT_EQ(e[4].type, MusicEventSoundOff);

  MusicLogEnable(false);
  StartSound();
  PlayMusic("off.mp3");
  StopSound();
  EXPECT_TRUE(MusicLogEvents().empty());
  PlatformUseVirtualClock(false);
  unsetenv("SDL_AUDIODRIVER");
}

TEST(MusicPlan, SegmentsEndAtStopReplacementOrSoundOff) {
  std::vector<MusicSegment> plan = PlanMusic({
      Event(MusicEventVolume, 10, "", 30),  // nothing plays: no segment cares
      Event(MusicEventPlay, 100, "a"),
      Event(MusicEventVolume, 150, "", 140),
      Event(MusicEventPlay, 200, "b"),  // replaces a
      Event(MusicEventStop, 300),
      Event(MusicEventStop, 350),  // a second stop changes nothing
      Event(MusicEventPlay, 400, "c"),
      Event(MusicEventSoundOff, 500),
      Event(MusicEventPlay, 600, "d"),  // never closed: plays to the end
  });
  ASSERT_EQ(plan.size(), 4u);
  EXPECT_EQ(plan[0].file, "a");
  EXPECT_EQ(plan[0].startMs, 100);
  EXPECT_EQ(plan[0].endMs, 200);
  ASSERT_EQ(plan[0].volumes.size(), 2u);
  EXPECT_EQ(plan[0].volumes[1].volume, 140);
  EXPECT_EQ(plan[1].endMs, 300);
  EXPECT_EQ(plan[1].volumes.size(), 1u);  // a new play starts at full volume
  EXPECT_EQ(plan[2].endMs, 500);
  EXPECT_LT(plan[3].endMs, 0);
}

TEST(MusicMix, SilentBeforeTheStartScaledByVolumeSilentAfterTheStop) {
  const int rate = 8000;
  std::vector<MusicSegment> plan = PlanMusic({
      Event(MusicEventPlay, 1000, "ramp"),
      Event(MusicEventVolume, 1500, "", 51),
      Event(MusicEventStop, 2000),
      Event(MusicEventPlay, 2500, "broken"),  // does not decode: silence, no failure
      Event(MusicEventPlay, 3000, "ramp"),
  });
  // Frame 0 of the mix is at clock 500: the sound track of a video that starts there.
  std::vector<int16_t> mix = MixMusic(plan, 500, (size_t)rate * 6, rate, FakeDecoder);
  ASSERT_EQ(mix.size(), (size_t)rate * 12);
  EXPECT_EQ(Left(mix, 0, rate), 0);
  EXPECT_EQ(Left(mix, 499, rate), 0);
  EXPECT_EQ(Left(mix, 501, rate), 1000);
  EXPECT_EQ(mix[(size_t)(700 * rate / 1000) * 2 + 1], 1000);  // the right channel too
  EXPECT_EQ(Left(mix, 1001, rate), 1000 * 51 / 255);
  EXPECT_EQ(Left(mix, 1501, rate), 0);   // stopped
  EXPECT_EQ(Left(mix, 2200, rate), 0);   // the broken file
  EXPECT_EQ(Left(mix, 2600, rate), 1000);  // from its start again, at full volume
  EXPECT_EQ(Left(mix, 4499, rate), 1000);
  EXPECT_EQ(Left(mix, 4501, rate), 0);   // the two-second track has ended
}

TEST(MusicMix, AlignedSceneHearsTheMusicItHasInTheWholeShow) {
  const int rate = 8000;
  std::vector<MusicSegment> plan =
      PlanMusic({Event(MusicEventPlay, 1000, "ramp"), Event(MusicEventVolume, 1000, "", 140)});
  // A scene that begins at clock 5000 and lies 1.5 s into its track in the whole show.
  AlignSegmentAt(&plan, 5000, 1500);
  EXPECT_EQ(plan[0].startMs, 3500);
  std::vector<int16_t> mix = MixMusic(plan, 5000, (size_t)rate, rate, FakeDecoder);
  EXPECT_EQ(Left(mix, 0, rate), 1000 * 140 / 255);  // volume kept
  EXPECT_EQ(Left(mix, 499, rate), 1000 * 140 / 255);
  EXPECT_EQ(Left(mix, 501, rate), 0);  // two seconds of track, 1.5 s of them before
}

TEST(MusicDecode, WholeFileAtTheMixRateWithALimit) {
  std::string dir = FreshDirectory("render_decode");
  // Mono at 48 kHz: doubled onto both channels and resampled to 44.1 kHz.
  std::string path = MakeMp3(dir, "mono.mp3", 48000, 1);
  std::vector<int16_t> samples;
  ASSERT_TRUE(SoundDecodeFile(path.c_str(), 44100, 1000000, &samples));
  size_t frames = samples.size() / 2;
  EXPECT_NEAR((double)frames, 44100.0, 44100.0 * 0.05);
  double sum = 0;
  bool same = true;
  for (size_t i = 0; i < frames; i++) {
    sum += (double)samples[i * 2] * samples[i * 2];
    same &= samples[i * 2] == samples[i * 2 + 1];
  }
  EXPECT_TRUE(same);
  EXPECT_NEAR(std::sqrt(sum / frames), 0.5 / std::sqrt(2.0) * 32767, 0.5 / std::sqrt(2.0) * 32767 * 0.1);

  ASSERT_TRUE(SoundDecodeFile(path.c_str(), 44100, 1000, &samples));
  EXPECT_EQ(samples.size(), 2000u);

  EXPECT_FALSE(SoundDecodeFile((dir + "/none.mp3").c_str(), 44100, 1000, &samples));
  EXPECT_TRUE(samples.empty());
  std::string junk = dir + "/junk.mp3";
  FILE* f = fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  for (int i = 0; i < 5000; i++) fputc(i * 37 % 7, f);  // no MPEG frame sync anywhere
  fclose(f);
  SoundDecodeFile(junk.c_str(), 44100, 100000, &samples);  // must return, whatever it says
  EXPECT_LE(samples.size(), 200000u);
}

TEST(BenchFigures, NearestRankPercentiles) {
  std::vector<double> times;
  for (int i = 100; i >= 1; i--) times.push_back(i);
  FrameSummary s = Summarise(times);
  EXPECT_EQ(s.frames, 100);
  EXPECT_EQ(s.medianMs, 50);
  EXPECT_EQ(s.p95Ms, 95);
  EXPECT_EQ(s.p99Ms, 99);
  EXPECT_EQ(s.maxMs, 100);
  EXPECT_DOUBLE_EQ(s.medianFps, 20);
  FrameSummary one = Summarise({7});
  EXPECT_EQ(one.p99Ms, 7);
  EXPECT_EQ(Summarise({}).frames, 0);

  BenchReport r;
  r.scenes.push_back({"jungle \"x\"", {10, 20}});
  r.AddLoading("textures", 5);
  r.AddLoading("font", 1);
  r.AddLoading("textures", 2);  // a group that comes back adds up
  ASSERT_EQ(r.loadingGroups.size(), 2u);
  EXPECT_EQ(r.loadingGroups[0].second, 7);
  std::string json = r.Json();
  EXPECT_NE(json.find("\"name\": \"jungle \\\"x\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"groups\": {\"textures\": 7.000, \"font\": 1.000}"), std::string::npos);
  for (const char* key : {"\"show\"", "\"median_fps\"", "\"total_ms\"", "\"clear_ms\"", "\"quad_ms\""})
    EXPECT_NE(json.find(key), std::string::npos) << key;
}

TEST(ContactSheetLayout, RowsOfEightWithTheFramesShrunk) {
  int w = 0, h = 0;
  SheetSize(3, &w, &h);
  EXPECT_EQ(w, ContactGap + 3 * (ContactTileWidth + ContactGap));
  EXPECT_EQ(h, ContactGap + ContactTileHeight + ContactLabelHeight + ContactGap);
  SheetSize(9, &w, &h);
  EXPECT_EQ(w, ContactGap + 8 * (ContactTileWidth + ContactGap));
  EXPECT_EQ(h, ContactGap + 2 * (ContactTileHeight + ContactLabelHeight + ContactGap));
  EXPECT_EQ(TimeLabel(75.25), "1:15.3 s");
  EXPECT_EQ(TimeLabel(0), "0:00.0 s");

  // Two frames make a sheet of exactly two tiles' size.
  const int fw = 320, fh = 240;
  std::vector<uint8_t> frame((size_t)fw * fh * 4, 0);
  for (int y = 0; y < fh; y++)
    for (int x = 0; x < fw; x++) frame[((size_t)y * fw + x) * 4 + (x < fw / 2 ? 0 : 2)] = 200;
  ContactSheet sheet;
  sheet.Add(frame.data(), fw, fh, 1.0);
  sheet.Add(frame.data(), fw, fh, 2.0);
  EXPECT_EQ(sheet.Count(), 2u);
  std::string dir = FreshDirectory("render_sheet");
  ASSERT_TRUE(sheet.Write(dir + "/sheet.png"));
  std::string command = "identify -format %wx%h " + dir + "/sheet.png > " + dir + "/size.txt";
  ASSERT_EQ(system(command.c_str()), 0);
  FILE* f = fopen((dir + "/size.txt").c_str(), "r");
  ASSERT_NE(f, nullptr);
  int iw = 0, ih = 0;
  EXPECT_EQ(fscanf(f, "%dx%d", &iw, &ih), 2);
  fclose(f);
  SheetSize(2, &w, &h);
  EXPECT_EQ(iw, w);
  EXPECT_EQ(ih, h);
}

TEST(RenderOptionValues, NumbersAndSizesAreTheWholeValue) {
  double v = -1;
  EXPECT_TRUE(ParseNumber("12.5", &v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(ParseNumber("1e3", &v));
  EXPECT_EQ(v, 1000);
  for (const char* bad : {"", "12s", "1.5.2", "nan", "inf", "1e999", "0x"}) {
    v = -1;
    EXPECT_FALSE(ParseNumber(bad, &v)) << bad;
    EXPECT_EQ(v, -1) << bad;
  }
  int w = 0, h = 0;
  EXPECT_TRUE(ParseSize("1024x768", &w, &h));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  for (const char* bad : {"1024x768x", "1024x768 ", "1024x", "x768", "1024*768", ""})
    EXPECT_FALSE(ParseSize(bad, &w, &h)) << bad;
}

TEST(RenderOptionValues, AtTimesMustFallOnWrittenFrames) {
  auto parse = [](std::vector<std::string> args) {
    args.insert(args.begin(), "vellumar2-render");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    RenderOptions o;
    return ParseRenderOptions((int)argv.size(), argv.data(), &o);
  };
  EXPECT_EQ(parse({"--out", "f", "--from", "5", "--at", "5,6,100"}), ParseRun);
  EXPECT_EQ(parse({"--out", "f", "--from", "5", "--at", "6,1"}), ParseBad);
  EXPECT_EQ(parse({"--out", "f", "--to", "3", "--at", "1,3"}), ParseBad);
  // Compared as frames: 2.99 s is frame 299 of 300 at 100 fps, but frame 30 of 30 at 10.
  EXPECT_EQ(parse({"--out", "f", "--fps", "100", "--to", "3", "--at", "2.99"}), ParseRun);
  EXPECT_EQ(parse({"--out", "f", "--fps", "10", "--to", "3", "--at", "2.99"}), ParseBad);
  // --fps given after --at still counts.
  EXPECT_EQ(parse({"--out", "f", "--to", "3", "--at", "2.99", "--fps", "100"}), ParseRun);
}

namespace {
// A frame of one colour, RGBA from the top.
std::vector<uint8_t> Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> f((size_t)w * h * 4);
  for (size_t i = 0; i < f.size(); i += 4) f[i] = r, f[i + 1] = g, f[i + 2] = b, f[i + 3] = 77;
  return f;
}
}  // namespace

TEST(FrameYuv, VideoRangeColoursAndTheMeanOfEachBlock) {
  YuvLayout l;
  ASSERT_TRUE(PlanYuvLayout(4, 2, 0, 0, &l));
  std::vector<uint8_t> out;
  struct Case { uint8_t r, g, b, y, u, v; };
  // White and black at the ends of video range; greys without colour; the primaries.
  for (Case c : {Case{255, 255, 255, 235, 128, 128}, Case{0, 0, 0, 16, 128, 128},
                 Case{128, 128, 128, 126, 128, 128}, Case{255, 0, 0, 81, 90, 240},
                 Case{0, 255, 0, 145, 54, 34}, Case{0, 0, 255, 41, 240, 110}}) {
    RgbaToYuv420(Solid(4, 2, c.r, c.g, c.b).data(), l, &out);
    ASSERT_EQ(out.size(), 12u);
    for (int i = 0; i < 8; i++) EXPECT_EQ(out[i], c.y) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
    for (int i = 8; i < 10; i++) EXPECT_EQ(out[i], c.u) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
    for (int i = 10; i < 12; i++) EXPECT_EQ(out[i], c.v) << (int)c.r << "," << (int)c.g << "," << (int)c.b;
  }
  // The left block is half white, half black, on its two rows in opposite order; the
  // right block is black. Luma stays per pixel, chroma is each block's mean.
  std::vector<uint8_t> f = Solid(4, 2, 0, 0, 0);
  for (int p : {0, 5}) f[p * 4] = f[p * 4 + 1] = f[p * 4 + 2] = 255;
  f[1 * 4] = 255;  // one red pixel beside the first white one
  RgbaToYuv420(f.data(), l, &out);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8),
            (std::vector<uint8_t>{235, 81, 16, 16, 16, 235, 16, 16}));
  // Mean of white, red, black and white: r 191.25, g 127.5, b 127.5.
  EXPECT_EQ(out[8], 119);
  EXPECT_EQ(out[10], 156);
  EXPECT_EQ(out[9], 128);
  EXPECT_EQ(out[11], 128);
}

TEST(FrameYuv, PaddingCentresThePictureOnBlack) {
  YuvLayout l;
  // Odd sides, or a video smaller than the picture, cannot be stored.
  EXPECT_FALSE(PlanYuvLayout(4, 3, 0, 0, &l));
  EXPECT_FALSE(PlanYuvLayout(4, 2, 6, 3, &l));
  EXPECT_FALSE(PlanYuvLayout(4, 2, 2, 2, &l));
  // An odd picture on an even video; the left margin is odd (3 of 10 pixels).
  ASSERT_TRUE(PlanYuvLayout(4, 3, 10, 4, &l));
  EXPECT_EQ(l.left, 3);
  EXPECT_EQ(l.top, 0);
  std::vector<uint8_t> out;
  RgbaToYuv420(Solid(4, 3, 255, 255, 255).data(), l, &out);
  ASSERT_EQ(out.size(), YuvFrameBytes(l));
  ASSERT_EQ(out.size(), 60u);
  for (int y = 0; y < 4; y++) {
    for (int x = 0; x < 10; x++) {
      bool inside = y < 3 && x >= 3 && x < 7;
      EXPECT_EQ(out[y * 10 + x], inside ? 235 : 16) << x << "," << y;
    }
  }
  // Chroma of white and black is neutral whatever the mix.
  for (size_t i = 40; i < out.size(); i++) EXPECT_EQ(out[i], 128) << i;
  // A red picture: the block that straddles the left edge holds one red column of two.
  RgbaToYuv420(Solid(4, 3, 255, 0, 0).data(), l, &out);
  EXPECT_EQ(out[40 + 1], 109);  // half way from neutral to red's 90
  EXPECT_EQ(out[40 + 2], 90);
  EXPECT_EQ(out[40 + 0], 128);
  // A new layout starts from black: nothing of the last picture stays around the new one.
  ASSERT_TRUE(PlanYuvLayout(2, 2, 10, 4, &l));
  RgbaToYuv420(Solid(2, 2, 255, 255, 255).data(), l, &out);
  for (int y = 0; y < 4; y++) {
    for (int x = 0; x < 10; x++) {
      bool inside = y >= 1 && y < 3 && x >= 4 && x < 6;
      EXPECT_EQ(out[y * 10 + x], inside ? 235 : 16) << x << "," << y;
    }
  }
}
