// The music baker: synthesiser parts on short renders, the arrangements against the show's
// running order, determinism, and the baked MP3 files decoded again with libmpg123 (and
// with the ffmpeg command where it is installed).
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/test_support.h"
#include "tools/bake/music/music.h"
#include "tools/bake/music/synth.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;

double Db(double power) { return power > 1e-30 ? 10.0 * std::log10(power) : -300.0; }

struct Decoded {
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;
  double Seconds() const { return (double)left.size() / kRate; }
};

bool DecodeMp3(const std::string& path, Decoded* out) {
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return false;
  mpg123_format_none(mh);
  mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  bool ok = mpg123_open(mh, path.c_str()) == MPG123_OK;
  int encoding = 0;
  if (ok) ok = mpg123_getformat(mh, &out->rate, &out->channels, &encoding) == MPG123_OK;
  std::vector<float> buffer(16384);
  while (ok) {
    size_t done = 0;
    int r = mpg123_read(mh, buffer.data(), buffer.size() * sizeof(float), &done);
    for (size_t i = 0; i + 1 < done / sizeof(float); i += 2) {
      out->left.push_back(buffer[i]);
      out->right.push_back(buffer[i + 1]);
    }
    if (r == MPG123_DONE) break;
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) ok = false;
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  return ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Levels of a span of a stereo signal: RMS, four bands of the mid signal (below 120 Hz,
// to 1 kHz, to 5 kHz, above) and the side-to-mid ratio, all in dB.
struct Levels {
  double rms, bands[4], side;
};

Levels Measure(const std::vector<float>& l, const std::vector<float>& r, double from, double to) {
  size_t a = (size_t)std::max(0.0, from * kRate), b = std::min(l.size(), (size_t)(to * kRate));
  music::Svf low, mid, high;
  low.Set(120, 0.707f);
  mid.Set(1000, 0.707f);
  high.Set(5000, 0.707f);
  double sum = 0, bands[4] = {0, 0, 0, 0}, side = 0, centre = 0;
  // The filters settle over 50 ms before the span is measured.
  size_t warm = std::min(a, (size_t)(0.05 * kRate));
  for (size_t i = a - warm; i < b; i++) {
    float m = 0.5f * (l[i] + r[i]), s = 0.5f * (l[i] - r[i]);
    float lo = low.Low(m), rest = m - lo, lm = mid.Low(rest), rest2 = rest - lm,
          hm = high.Low(rest2), hi = rest2 - hm;
    if (i < a) continue;
    sum += 0.5 * ((double)l[i] * l[i] + (double)r[i] * r[i]);
    bands[0] += (double)lo * lo;
    bands[1] += (double)lm * lm;
    bands[2] += (double)hm * hm;
    bands[3] += (double)hi * hi;
    side += (double)s * s;
    centre += (double)m * m;
  }
  double n = (double)std::max<size_t>(b - a, 1);
  Levels v;
  v.rms = Db(sum / n);
  for (int k = 0; k < 4; k++) v.bands[k] = Db(bands[k] / n);
  v.side = Db(side) - Db(centre);
  return v;
}

// The largest change of any band or of the width between two spans.
double Contrast(const Levels& a, const Levels& b) {
  double d = std::fabs(a.side - b.side);
  for (int k = 0; k < 4; k++) d = std::max(d, std::fabs(a.bands[k] - b.bands[k]));
  return d;
}

float Peak(const std::vector<float>& l, const std::vector<float>& r) {
  float p = 0;
  for (size_t i = 0; i < l.size(); i++) p = std::max({p, std::fabs(l[i]), std::fabs(r[i])});
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The synthesiser's parts.

TEST(MusicSynth, EveryInstrumentStartsAndEndsAtRestAndStaysFinite) {
  // Each instrument of both tracks, with the settings the tracks use, plays one note.
  for (const music::Song& song : {music::ComposeDiscow(), music::ComposeClosing()})
    for (const music::PartSpec& part : song.parts) {
      SCOPED_TRACE(part.name);
      music::Note note;
      note.length = 1.0;
      note.pitch = part.voice <= music::VoiceImpact ? 60.0f : 64.0f;
      if (part.voice == music::VoiceKick || part.voice == music::VoiceBass) note.pitch = 33;
      int frames = music::NoteFrames(part.voice, part.params, note);
      ASSERT_GT(frames, 0);
      ASSERT_LT(frames, 20 * kRate);
      std::vector<float> l((size_t)frames, 99.0f), r((size_t)frames, 99.0f);
      music::RenderVoice(part.voice, part.params, note, 7, l.data(), r.data(), frames);
      float peak = 0;
      bool finite = true;
      for (int i = 0; i < frames; i++) {
        finite = finite && std::isfinite(l[(size_t)i]) && std::isfinite(r[(size_t)i]);
        peak = std::max({peak, std::fabs(l[(size_t)i]), std::fabs(r[(size_t)i])});
      }
      EXPECT_TRUE(finite);
      EXPECT_GT(peak, 0.01f);
      EXPECT_LT(peak, 4.0f);
      // No click at the start: the first sample is near rest.
      EXPECT_LT(std::fabs(l[0]) + std::fabs(r[0]), 0.05f * peak);
      // No click at the end: the last samples have faded out.
      for (int i = frames - 16; i < frames; i++) {
        EXPECT_LT(std::fabs(l[(size_t)i]), 1e-3f * peak + 1e-6f) << "frame " << i;
        EXPECT_LT(std::fabs(r[(size_t)i]), 1e-3f * peak + 1e-6f) << "frame " << i;
      }
    }
}

TEST(MusicSynth, OscillatorsAreBandLimited) {
  // A saw at 5 kHz has nothing of its own below 5 kHz: whatever lies below 2 kHz are
  // harmonics folded back past the Nyquist frequency. The corrected saw folds back far
  // less than the plain one.
  auto aliasDb = [](bool corrected) {
    music::Osc osc;
    osc.SetHz(5000);
    music::Svf low[4];
    for (music::Svf& f : low) f.Set(2000, 0.707f);
    double total = 0, alias = 0;
    for (int i = 0; i < kRate; i++) {
      float v = corrected ? osc.Saw() : 2.0f * osc.phase - 1.0f;
      if (!corrected) osc.Advance();
      float a = v;
      for (music::Svf& f : low) a = f.Low(a);
      total += (double)v * v;
      alias += (double)a * a;
    }
    return Db(alias / total);
  };
  double plain = aliasDb(false), corrected = aliasDb(true);
  EXPECT_LT(corrected, plain - 10.0) << plain << " " << corrected;
  EXPECT_LT(corrected, -40.0);
}

TEST(MusicSynth, LoudnessMeterFollowsTheStandard) {
  // A 997 Hz sine at -20 dBFS in both channels reads -20 LUFS; silence around it is gated
  // away; silence alone reads as such.
  std::vector<float> l(20 * kRate, 0.0f), r;
  for (int i = 0; i < 10 * kRate; i++)
    l[(size_t)i] = 0.1f * (float)std::sin(2 * 3.14159265358979 * 997.0 * i / kRate);
  r = l;
  EXPECT_NEAR(music::MeasureLoudness(l.data(), r.data(), 10 * kRate), -20.0, 0.1);
  EXPECT_NEAR(music::MeasureLoudness(l.data(), r.data(), 20 * kRate), -20.0, 0.1);
  std::vector<float> quiet(5 * kRate, 0.0f);
  EXPECT_LT(music::MeasureLoudness(quiet.data(), quiet.data(), 5 * kRate), -100.0);
  EXPECT_LT(music::MeasureLoudness(quiet.data(), quiet.data(), 100), -100.0);  // too short
}

TEST(MusicSynth, LimiterHoldsTheCeilingAndMovesSmoothly) {
  // Bursts up to three times the ceiling over a quiet tone.
  const int n = 3 * kRate;
  std::vector<float> l(n), r(n);
  for (int i = 0; i < n; i++) {
    double t = (double)i / kRate;
    double burst = (i / 11025) % 2 ? 2.4 : 0.3;
    l[(size_t)i] = (float)(burst * std::sin(2 * 3.14159265358979 * 220 * t));
    r[(size_t)i] = (float)(burst * std::sin(2 * 3.14159265358979 * 330 * t));
  }
  std::vector<float> inL = l, inR = r;
  const float ceiling = 0.8f;
  music::LimitPeaks(l.data(), r.data(), n, ceiling);
  EXPECT_LE(Peak(l, r), ceiling * 1.0001f);
  EXPECT_LE(music::EstimatePeak(l.data(), r.data(), n), ceiling * 1.0001f);
  // The gain never jumps from one sample to the next, and the quiet parts come back to
  // full level once a burst has passed.
  double lastGain = 1, largestStep = 0;
  for (int i = 0; i < n; i++) {
    if (std::fabs(inL[(size_t)i]) < 0.05f) continue;
    double g = l[(size_t)i] / inL[(size_t)i];
    largestStep = std::max(largestStep, std::fabs(g - lastGain));
    lastGain = g;
  }
  EXPECT_LT(largestStep, 0.05);
  int quietFrame = 11025 - 200;  // end of the first quiet stretch, before any burst
  EXPECT_NEAR(l[(size_t)quietFrame], inL[(size_t)quietFrame], 1e-6);
  int recovered = 3 * 11025 - 200;  // end of the second quiet stretch
  EXPECT_NEAR(l[(size_t)recovered] / inL[(size_t)recovered], 1.0, 0.05);
}

// ---------------------------------------------------------------------------------------
// The arrangements.

TEST(MusicArrangement, TracksFollowTheRunningOrder) {
  music::Song discow = music::ComposeDiscow(), closing = music::ComposeClosing();
  EXPECT_GE(discow.seconds, 240.0);
  EXPECT_GE(closing.seconds, 50.0);
  EXPECT_LE(closing.seconds, 60.0);
  for (const music::Song* song : {&discow, &closing})
    for (const music::Note& n : song->notes) {
      ASSERT_GE(n.part, 0);
      ASSERT_LT(n.part, (int)song->parts.size());
      ASSERT_GE(n.beat, 0.0);
      ASSERT_LT(n.beat * music::kSecondsPerBeat, song->seconds);
    }
  auto count = [&](const char* part, double from, double to) {
    int c = 0;
    for (const music::Note& n : discow.notes)
      if (!std::strcmp(discow.parts[(size_t)n.part].name, part) &&
          n.beat * music::kSecondsPerBeat >= from - 1e-9 && n.beat * music::kSecondsPerBeat < to - 1e-9)
        c++;
    return c;
  };
  // Four to the floor through the jungle, none under the title and the swelling balls.
  EXPECT_EQ(count("kick", 58, 106), 96);
  EXPECT_EQ(count("kick", 46, 58), 0);
  EXPECT_EQ(count("kick", 110, 116), 0);
  // A crash marks the scene changes; the bath comes in on the three-beat bar.
  for (double at : {46.0, 58.0, 110.0, 116.0, 128.0, 140.0, 191.5, 215.5, 237.5})
    EXPECT_EQ(count("crash", at, at + 0.01), 1) << at;
  EXPECT_GT(count("electric piano", 191.5, 215.5), 0);
  EXPECT_EQ(count("electric piano", 140, 191.5), 0);
}

// ---------------------------------------------------------------------------------------
// Determinism.

TEST(MusicBake, SameSamplesAndBytesWhateverTheThreads) {
  MusicSamples one, two;
  RenderMusicTrack(MusicTrackClosing, 20.0, 1, &one);
  RenderMusicTrack(MusicTrackClosing, 20.0, 3, &two);
  ASSERT_EQ(one.left.size(), (size_t)20 * kRate);
  ASSERT_EQ(one.left.size(), two.left.size());
  EXPECT_EQ(0, std::memcmp(one.left.data(), two.left.data(), one.left.size() * sizeof(float)));
  EXPECT_EQ(0, std::memcmp(one.right.data(), two.right.data(), one.right.size() * sizeof(float)));
  Mp3Tags tags{"Test", "Vellumar 2", "Vellumar 2"};
  std::vector<uint8_t> a, b;
  std::string error;
  ASSERT_TRUE(EncodeMp3(one.left, one.right, tags, &a, &error)) << error;
  ASSERT_TRUE(EncodeMp3(two.left, two.right, tags, &b, &error)) << error;
  EXPECT_GT(a.size(), 20u * 192000u / 8u * 9u / 10u);
  EXPECT_TRUE(a == b);
}

TEST(MusicBake, FailuresAreReportedNotCrashed) {
  std::string error;
  std::string dir = FreshDirectory("music_missing") + "/not/there";
  EXPECT_FALSE(BakeMusicTracks(dir, &error));
  EXPECT_NE(error.find("not/there"), std::string::npos) << error;
  std::vector<float> l(kRate, 0.0f);
  std::vector<uint8_t> mp3;
  error.clear();
  EXPECT_FALSE(EncodeMp3(l, std::vector<float>(10), {"Bad", "", ""}, &mp3, &error));
  EXPECT_FALSE(error.empty());
}

// ---------------------------------------------------------------------------------------
// The baked files.

class BakedMusic : public ::testing::Test {
 protected:
  // The build bakes the tracks into the show's directory: those are the files the show
  // plays, so they are the ones checked. Without them (a test run before the build's bake)
  // the tracks are baked here, into a directory of this process's own, because CTest runs
  // each of these tests in a process of its own and side by side.
  static void SetUpTestSuite() {
    std::error_code ec;
    std::string show = VELLUMAR_SHOW_DIR;
    if (fs::exists(show + "/discow.mp3", ec) && fs::exists(show + "/vellumar2.mp3", ec)) {
      dir = show;
      baked = true;
    } else {
      dir = FreshDirectory("music_bake_" + std::to_string(getpid()));
      std::string error;
      baked = BakeMusicTracks(dir, &error);
      bakeError = error;
    }
    if (!baked) return;
    decodedOk[0] = DecodeMp3(dir + "/discow.mp3", &tracks[0]);
    decodedOk[1] = DecodeMp3(dir + "/vellumar2.mp3", &tracks[1]);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (dir != VELLUMAR_SHOW_DIR) fs::remove_all(dir, ec);
  }
  void SetUp() override {
    ASSERT_TRUE(baked) << bakeError;
    ASSERT_TRUE(decodedOk[0] && decodedOk[1]);
  }
  static std::string dir, bakeError;
  static bool baked;
  static bool decodedOk[2];
  static Decoded tracks[2];
};
std::string BakedMusic::dir, BakedMusic::bakeError;
bool BakedMusic::baked = false;
bool BakedMusic::decodedOk[2] = {false, false};
Decoded BakedMusic::tracks[2];

TEST_F(BakedMusic, FilesDecodeToStereoOfTheTrackLengthsWithTheirTags) {
  for (int t = 0; t < 2; t++) {
    EXPECT_EQ(tracks[t].rate, 44100);
    EXPECT_EQ(tracks[t].channels, 2);
  }
  // The encoder's header lets the decoder drop its delay and padding: lengths are exact.
  EXPECT_NEAR(tracks[0].Seconds(), 244.0, 0.03);
  EXPECT_NEAR(tracks[1].Seconds(), 54.0, 0.03);
  const char* titles[2] = {"Discow", "Vellumar 2"};
  const char* names[2] = {"/discow.mp3", "/vellumar2.mp3"};
  for (int t = 0; t < 2; t++) {
    std::vector<uint8_t> bytes = ReadBytes(dir + names[t]);
    ASSERT_GT(bytes.size(), 256u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "ID3", 3));
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 128, "TAG", 3));
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 125, titles[t], std::strlen(titles[t])));
    // 192 kbit/s constant: the size follows the length.
    double kbps = bytes.size() * 8.0 / tracks[t].Seconds() / 1000.0;
    EXPECT_NEAR(kbps, 192.0, 4.0) << names[t];
  }
}

TEST_F(BakedMusic, PeaksAndLoudnessAreMastered) {
  for (int t = 0; t < 2; t++) {
    const Decoded& d = tracks[t];
    SCOPED_TRACE(t);
    EXPECT_LE(20.0 * std::log10(Peak(d.left, d.right)), -1.0);
    double lufs = music::MeasureLoudness(d.left.data(), d.right.data(), (int64_t)d.left.size());
    EXPECT_NEAR(lufs, -14.0, 1.0);
    double dc = 0;
    for (size_t i = 0; i < d.left.size(); i++) dc += d.left[i] + d.right[i];
    EXPECT_LT(std::fabs(dc / (2.0 * d.left.size())), 1e-3);
  }
}

TEST_F(BakedMusic, NoSilenceBeforeTheFinalFade) {
  const double fadeStart[2] = {239.5, 46.5};
  for (int t = 0; t < 2; t++)
    for (double at = 0; at + 2.0 <= fadeStart[t]; at += 0.5) {
      Levels v = Measure(tracks[t].left, tracks[t].right, at, at + 2.0);
      EXPECT_GT(v.rms, -45.0) << "track " << t << " at " << at << " s";
    }
}

TEST_F(BakedMusic, SectionsChangeWhereTheScenesChange) {
  // Two seconds before and after each scene change differ clearly in level, spectrum or
  // width; one bar to the next inside a steady groove does not.
  const Decoded& d = tracks[0];
  for (double at : {4.0, 58.0, 110.0, 116.0, 128.0, 140.0, 191.5, 215.5, 237.5}) {
    double contrast = Contrast(Measure(d.left, d.right, at - 2, at), Measure(d.left, d.right, at, at + 2));
    EXPECT_GT(contrast, 2.0) << "at " << at << " s";
  }
  for (double at : {64.0, 162.0, 220.5}) {
    double contrast = Contrast(Measure(d.left, d.right, at - 4, at), Measure(d.left, d.right, at, at + 4));
    EXPECT_LT(contrast, 1.5) << "inside the groove at " << at << " s";
  }
  const Decoded& c = tracks[1];
  EXPECT_GT(Contrast(Measure(c.left, c.right, 33, 35), Measure(c.left, c.right, 35, 37)), 1.0);
}

TEST_F(BakedMusic, TracksEndInAFadeNotACut) {
  for (int t = 0; t < 2; t++) {
    const Decoded& d = tracks[t];
    double end = d.Seconds();
    double body = Measure(d.left, d.right, end - 20, end - 10).rms;
    double last = Measure(d.left, d.right, end - 0.3, end).rms;
    EXPECT_LT(last, body - 60.0) << "track " << t;
    // Level falls second by second through the fade.
    double previous = Measure(d.left, d.right, end - 5, end - 4).rms;
    for (double at = end - 4; at + 1 <= end + 1e-9; at += 1) {
      double now = Measure(d.left, d.right, at, at + 1).rms;
      EXPECT_LT(now, previous + 0.5) << "track " << t << " at " << at;
      previous = now;
    }
  }
}

TEST_F(BakedMusic, FfmpegDecodesAndMeasuresTheSame) {
  if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg command";
  const char* names[2] = {"/discow.mp3", "/vellumar2.mp3"};
  for (int t = 0; t < 2; t++) {
    std::string log = dir + names[t] + ".log";
    std::string command = "ffmpeg -nostdin -nostats -hide_banner -i '" + dir + names[t] +
                          "' -af ebur128=peak=true -f f32le -ac 2 -ar 44100 - 2>'" + log + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<char> buffer(1 << 16);
    size_t bytes = 0, n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) bytes += n;
    ASSERT_EQ(pclose(pipe), 0);
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("44100 Hz, stereo"), std::string::npos) << text.substr(0, 2000);
    // The summary at the end: integrated loudness, then the true peak.
    size_t summary = text.rfind("Integrated loudness:");
    ASSERT_NE(summary, std::string::npos);
    double lufs = 0, truePeak = 0;
    size_t i = text.find("I:", summary), p = text.find("Peak:", summary);
    ASSERT_NE(i, std::string::npos);
    ASSERT_NE(p, std::string::npos);
    lufs = std::atof(text.c_str() + i + 2);
    truePeak = std::atof(text.c_str() + p + 5);
    double seconds = bytes / 8.0 / kRate;
    EXPECT_NEAR(seconds, tracks[t].Seconds(), 0.1) << names[t];
    EXPECT_NEAR(lufs, -14.0, 2.0) << names[t];
    double ours = music::MeasureLoudness(tracks[t].left.data(), tracks[t].right.data(),
                                         (int64_t)tracks[t].left.size());
    EXPECT_NEAR(lufs, ours, 0.5) << names[t];
    EXPECT_LE(truePeak, -1.0) << names[t];
  }
}
