// Music playback through SDL's "disk" audio driver, which writes every buffer it would
// have played to a file (44100 Hz, 16-bit stereo, as the output runs). Tones are made by
// sox and encoded by lame in the test's own directory, then opened by plain name. The
// driver plays in real time, so each case lets about a second of sound through.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "tests/support/test_support.h"
#include "timeline/music.h"

namespace {

const double Rate = 44100.0;
const int Window = 2205;  // 50 ms of frames

void Wait(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

struct Capture {
  std::vector<int16_t> samples;  // interleaved left, right
  size_t Frames() const { return samples.size() / 2; }
};

Capture ReadCapture(const std::string& path) {
  Capture c;
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  c.samples.resize(bytes.size() / 2);
  if (!c.samples.empty()) memcpy(c.samples.data(), bytes.data(), c.samples.size() * 2);
  return c;
}

double Rms(const Capture& c, size_t from, size_t count, int channel) {
  double sum = 0;
  for (size_t i = from; i < from + count; i++) {
    double v = c.samples[i * 2 + channel];
    sum += v * v;
  }
  return count ? std::sqrt(sum / count) : 0.0;
}

// Frequency from the positive-going zero crossings, placed by linear interpolation.
double ZeroCrossingFrequency(const Capture& c, size_t from, size_t count) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < from + count; i++) {
    double a = c.samples[(i - 1) * 2], b = c.samples[i * 2];
    if (a < 0 && b >= 0) {
      double at = (i - 1) + a / (a - b);
      if (first < 0) first = at;
      last = at;
      crossings++;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) / ((last - first) / Rate);
}

// Amplitude of one frequency in a stretch of the left channel (Goertzel).
double ToneAmplitude(const Capture& c, size_t from, size_t count, double frequency) {
  double w = 2 * M_PI * frequency / Rate, k = 2 * std::cos(w), s1 = 0, s2 = 0;
  for (size_t i = from; i < from + count; i++) {
    double s0 = c.samples[i * 2] + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  double power = s1 * s1 + s2 * s2 - k * s1 * s2;
  return 2 * std::sqrt(std::fmax(power, 0)) / count;
}

struct WindowStat {
  double level, frequency, rightLevel;
};

// Level and frequency of every 50 ms window that carries sound, in order.
std::vector<WindowStat> SoundingWindows(const Capture& c) {
  std::vector<WindowStat> out;
  for (size_t at = 0; at + Window <= c.Frames(); at += Window) {
    double level = Rms(c, at, Window, 0);
    if (level > 300) out.push_back({level, ZeroCrossingFrequency(c, at, Window), Rms(c, at, Window, 1)});
  }
  return out;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class Music : public ::testing::Test {
 protected:
  void SetUp() override {
    char* cwd = getcwd(nullptr, 0);
    home = cwd ? cwd : ".";
    free(cwd);
    dir = FreshDirectory(std::string("music_") +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_EQ(chdir(dir.c_str()), 0);
    UseDisk();
  }
  void TearDown() override {
    StopSound();
    if (chdir(home.c_str()) != 0) ADD_FAILURE() << "cannot return to " << home;
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }
  void UseDisk() {
    capturePath = dir + "/played.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capturePath.c_str(), 1);
  }
  // A sine tone at half of full scale, made by sox and encoded by lame.
  void MakeTone(const std::string& name, int frequency, int rate, int channels, double seconds) {
    std::string command = "sox -q -n -r " + std::to_string(rate) + " -c " +
                          std::to_string(channels) + " -b 16 tone.wav synth " +
                          std::to_string(seconds) + " sine " + std::to_string(frequency) +
                          " vol 0.5 && lame --quiet -b 192 tone.wav " + name + " && rm tone.wav";
    ASSERT_EQ(system(command.c_str()), 0) << command;
  }
  Capture Played() { return ReadCapture(capturePath); }

  std::string home, dir, capturePath;
  // A sine of amplitude 0.5 has an RMS level of 0.5 / sqrt 2 of full scale.
  const double toneLevel = 0.5 / std::sqrt(2.0) * 32767.0;
};

TEST_F(Music, PlaysToneAtItsFrequencyAndLevel) {
  // The second file is mono at 48 kHz: it must come out on both channels, resampled to
  // the output's 44.1 kHz so that its pitch is unchanged.
  MakeTone("a.mp3", 1000, 44100, 2, 3.0);
  MakeTone("b.mp3", 1000, 48000, 1, 3.0);
  for (const char* name : {"a.mp3", "b.mp3"}) {
    SCOPED_TRACE(name);
    StartSound();
    EXPECT_TRUE(SoundEnabled);
    EXPECT_TRUE(SoundStarted());
    EXPECT_TRUE(SoundAnalyserActive());
    PlayMusic(name);
    EXPECT_NE(MusicStream, nullptr);
    Wait(0.7);
    StopSound();
    EXPECT_FALSE(SoundEnabled);
    EXPECT_FALSE(SoundAnalyserActive());

    std::vector<WindowStat> windows = SoundingWindows(Played());
    ASSERT_GE(windows.size(), 6u);
    std::vector<double> levels, rights, frequencies;
    for (const WindowStat& w : windows) {
      levels.push_back(w.level);
      rights.push_back(w.rightLevel);
      frequencies.push_back(w.frequency);
    }
    EXPECT_NEAR(Median(frequencies), 1000.0, 5.0);
    EXPECT_NEAR(Median(levels), toneLevel, toneLevel * 0.08);
    EXPECT_NEAR(Median(rights), toneLevel, toneLevel * 0.08);
  }
}

TEST_F(Music, VolumeScalesThePlayingChannel) {
  MakeTone("tone.mp3", 800, 44100, 2, 3.0);
  StartSound();
  PlayMusic("tone.mp3");
  Wait(0.5);
  SetVolume(0, 140);
  SetVolume(1, 0);  // no other channel carries sound
  Wait(0.5);
  StopSound();

  std::vector<WindowStat> windows = SoundingWindows(Played());
  ASSERT_GE(windows.size(), 10u);
  size_t n = windows.size();
  double before = Median({windows[1].level, windows[2].level, windows[3].level});
  double after = Median({windows[n - 4].level, windows[n - 3].level, windows[n - 2].level});
  EXPECT_NEAR(before, toneLevel, toneLevel * 0.08);
  EXPECT_NEAR(after / before, 140.0 / 255.0, 0.02);
}

TEST_F(Music, StopSilencesAndASecondTrackReplacesTheFirst) {
  MakeTone("first.mp3", 1000, 44100, 2, 3.0);
  MakeTone("second.mp3", 1500, 44100, 2, 3.0);
  StartSound();
  PlayMusic("first.mp3");
  Wait(0.4);
  PlayMusic("second.mp3");
  Wait(0.4);
  StopMusic();
  Wait(0.3);
  StopSound();

  Capture c = Played();
  std::vector<WindowStat> windows = SoundingWindows(c);
  ASSERT_GE(windows.size(), 8u);
  size_t n = windows.size();
  EXPECT_NEAR(windows[1].frequency, 1000.0, 10.0);
  EXPECT_NEAR(windows[n - 2].frequency, 1500.0, 10.0);
  // Replaced, not mixed: after the change no trace of the first tone remains.
  size_t frames = c.Frames();
  size_t lastSound = 0;
  for (size_t i = 0; i < frames; i++)
    if (std::abs(c.samples[i * 2]) > 300) lastSound = i;
  ASSERT_GT(lastSound, (size_t)(3 * Window));
  size_t from = lastSound - 3 * Window;
  EXPECT_LT(ToneAmplitude(c, from, 2 * Window, 1000.0), 100.0);
  EXPECT_GT(ToneAmplitude(c, from, 2 * Window, 1500.0), 10000.0);
  // StopMusic silenced it: a good tenth of a second of silence follows.
  EXPECT_GT(frames - lastSound, (size_t)(0.1 * Rate));
  // (the last loud sample may sit just before a zero crossing; then it is all zeros)
  for (size_t i = lastSound + 64; i < frames; i++) ASSERT_EQ(c.samples[i * 2], 0) << i;

  // A stopped track can be started again: a fresh stream plays from the beginning.
  StartSound();
  PlayMusic("first.mp3");
  StopMusic();
  StopMusic();  // a second stop finds nothing playing
  PlayMusic("first.mp3");
  Wait(0.4);
  StopSound();
  windows = SoundingWindows(Played());
  ASSERT_GE(windows.size(), 4u);
  EXPECT_NEAR(windows[1].frequency, 1000.0, 10.0);
}

TEST_F(Music, MissingOrUndecodableFilesAreSilent) {
  {
    std::ofstream garbage("garbage.mp3");
    for (int i = 0; i < 2000; i++) garbage << "this is not an MP3 file at all\n";
  }
  { std::ofstream empty("empty.mp3"); }
  StartSound();
  PlayMusic("missing.mp3");
  EXPECT_EQ(MusicStream, nullptr);
  EXPECT_TRUE(SoundEnabled);
  StopMusic();
  SetVolume(0, 140);
  PlayMusic("garbage.mp3");
  Wait(0.2);
  PlayMusic("empty.mp3");
  Wait(0.2);
  StopMusic();
  StopSound();
  Capture c = Played();
  EXPECT_GT(c.Frames(), (size_t)(0.1 * Rate));
  for (size_t i = 0; i < c.samples.size(); i++) ASSERT_EQ(c.samples[i], 0) << i;
}

TEST_F(Music, NothingPlaysOutsideStartAndStop) {
  MakeTone("tone.mp3", 1000, 44100, 2, 2.0);
  PlayMusic("tone.mp3");
  EXPECT_EQ(MusicStream, nullptr);
  StopMusic();
  EXPECT_FALSE(SoundStarted());
  EXPECT_EQ(SoundOpenStream("tone.mp3"), nullptr);

  StartSound();
  Wait(0.3);  // whatever was asked before the start must not play now
  StopSound();
  PlayMusic("tone.mp3");
  EXPECT_EQ(MusicStream, nullptr);
  SetVolume(0, 140);
  StopMusic();
  Capture c = Played();
  EXPECT_GT(c.Frames(), 0u);
  for (size_t i = 0; i < c.samples.size(); i++) ASSERT_EQ(c.samples[i], 0) << i;
  Wait(0.1);
  EXPECT_EQ(Played().samples.size(), c.samples.size()) << "output ran on after StopSound";
}

TEST_F(Music, RunsWithoutAnAudioDevice) {
  MakeTone("tone.mp3", 1000, 44100, 2, 2.0);
  for (const char* driver : {"no-such-driver", "dummy"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    StartSound();
    EXPECT_TRUE(SoundEnabled);
    PlayMusic("tone.mp3");
    SetVolume(0, 140);
    Wait(0.1);
    PlayMusic("tone.mp3");
    StopMusic();
    StopSound();
    EXPECT_FALSE(SoundEnabled);
    EXPECT_EQ(MusicStream, nullptr);
  }
  EXPECT_FALSE(SoundStarted());
}

}  // namespace

// The two tracks the build baked for the show, played through the same layer as the show
// plays them: both come out as sound on both channels, below full scale.
TEST_F(Music, PlaysTheShowsBakedTracks) {
  for (const char* name : {"discow.mp3", "vellumar2.mp3"}) {
    SCOPED_TRACE(name);
    std::string baked = std::string(VELLUMAR_SHOW_DIR) + "/" + name;
    std::ifstream in(baked, std::ios::binary);
    if (!in) GTEST_SKIP() << "the show's music is not baked";
    std::ofstream(name, std::ios::binary) << in.rdbuf();
    StartSound();
    PlayMusic(name);
    EXPECT_NE(MusicStream, nullptr);
    Wait(1.5);
    StopSound();
    Capture c = Played();
    ASSERT_GT(c.Frames(), (size_t)Rate);
    // Skip the first 0.3 s (a track may open softly) and measure the rest.
    size_t from = Rate * 3 / 10, count = c.Frames() - from;
    EXPECT_GT(Rms(c, from, count, 0), 300.0);
    EXPECT_GT(Rms(c, from, count, 1), 300.0);
    int peak = 0;
    for (int16_t s : c.samples) peak = std::max(peak, std::abs((int)s));
    EXPECT_LT(peak, 32767);
  }
}
