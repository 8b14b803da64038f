// tools/bake/music/main.cpp - vellumar2-music: bakes the two tracks on their own.
//
//   vellumar2-music OUTDIR [--wav] [--report] [--threads N]
//
// Writes OUTDIR/discow.mp3 and OUTDIR/vellumar2.mp3 and prints the time taken; --wav also
// writes the mastered samples as 32-bit float WAV files beside them, --report prints a
// level and spectrum line per two seconds of each track, for checking the mix by eye.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/bake/music/music.h"
#include "tools/bake/music/synth.h"

namespace {

void Put32(std::FILE* f, uint32_t v) {
  unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                        (unsigned char)(v >> 24)};
  std::fwrite(b, 1, 4, f);
}
void Put16(std::FILE* f, uint16_t v) {
  unsigned char b[2] = {(unsigned char)v, (unsigned char)(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

bool WriteWav(const std::string& path, const MusicSamples& s) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  uint32_t frames = (uint32_t)s.left.size();
  uint32_t data = frames * 8;
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 3);  // IEEE float
  Put16(f, 2);
  Put32(f, 44100);
  Put32(f, 44100 * 8);
  Put16(f, 8);
  Put16(f, 32);
  std::fwrite("data", 1, 4, f);
  Put32(f, data);
  for (uint32_t i = 0; i < frames; i++) {
    float v[2] = {s.left[i], s.right[i]};
    std::fwrite(v, sizeof(float), 2, f);
  }
  return std::fclose(f) == 0;
}

double Db(double power) { return power > 1e-20 ? 10.0 * std::log10(power) : -200.0; }

// Per two seconds: RMS, peak, energy in four bands (by crossover filters), side/mid ratio
// and the mean (DC).
void Report(const char* name, const MusicSamples& s) {
  const int span = 2 * 44100;
  std::printf("%s: %.1f s, loudness %.2f LUFS, peak %.2f dBFS, true peak est. %.2f dBFS\n", name,
              s.left.size() / 44100.0, s.loudness, 20 * std::log10(s.peak),
              20 * std::log10(music::EstimatePeak(s.left.data(), s.right.data(),
                                                  (int64_t)s.left.size())));
  std::printf("limiter: deepest %.1f dB, %.1f%% of frames down by more than 1 dB\n",
              s.deepestLimitDb, 100.0 * s.limitedShare);
  std::printf("   t     rms   peak  <120Hz 120-1k  1k-5k  >5k   side/mid   dc\n");
  music::Svf a, b, c;
  a.Set(120, 0.707f);
  b.Set(1000, 0.707f);
  c.Set(5000, 0.707f);
  for (size_t start = 0; start + span <= s.left.size(); start += span) {
    double sum = 0, bands[4] = {0, 0, 0, 0}, mid = 0, side = 0, dc = 0;
    float peak = 0;
    for (size_t i = start; i < start + span; i++) {
      float m = 0.5f * (s.left[i] + s.right[i]), d = 0.5f * (s.left[i] - s.right[i]);
      sum += 0.5 * ((double)s.left[i] * s.left[i] + (double)s.right[i] * s.right[i]);
      peak = std::fmax(peak, std::fmax(std::fabs(s.left[i]), std::fabs(s.right[i])));
      mid += (double)m * m;
      side += (double)d * d;
      dc += m;
      float low = a.Low(m);
      float rest = m - low;
      float lowMid = b.Low(rest);
      float rest2 = rest - lowMid;
      float highMid = c.Low(rest2);
      float high = rest2 - highMid;
      bands[0] += (double)low * low;
      bands[1] += (double)lowMid * lowMid;
      bands[2] += (double)highMid * highMid;
      bands[3] += (double)high * high;
    }
    std::printf("%5.0f  %6.1f %6.1f  %6.1f %6.1f %6.1f %6.1f  %7.1f  %8.5f\n", start / 44100.0,
                Db(sum / span), 20 * std::log10(std::fmax(peak, 1e-10f)), Db(bands[0] / span),
                Db(bands[1] / span), Db(bands[2] / span), Db(bands[3] / span),
                Db(side / span) - Db(mid / span), dc / span);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTDIR [--wav] [--report] [--threads N]\n", argv[0]);
    return 2;
  }
  std::string outDir = argv[1];
  bool wav = false, report = false;
  int threads = 0;
  for (int i = 2; i < argc; i++) {
    if (!std::strcmp(argv[i], "--wav")) wav = true;
    else if (!std::strcmp(argv[i], "--report")) report = true;
    else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::atoi(argv[++i]);
    else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  MusicSamples samples[MusicTrackCount];
  auto begin = std::chrono::steady_clock::now();
  std::string error;
  bool ok = BakeMusicTracksWith(outDir, threads, (wav || report) ? samples : nullptr, &error);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (!ok) {
    std::fprintf(stderr, "music bake failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("baked both tracks in %.2f s\n", seconds);
  for (int t = 0; t < MusicTrackCount; t++) {
    MusicTrackInfo info = MusicTrackDescription((MusicTrackId)t);
    if (wav) {
      std::string path = outDir + "/" + std::string(info.fileName, std::strlen(info.fileName) - 4) + ".wav";
      if (!WriteWav(path, samples[t])) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
    }
    if (report) Report(info.fileName, samples[t]);
  }
  return 0;
}
