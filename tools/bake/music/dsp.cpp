// tools/bake/music/dsp.cpp - oscillators, filters, envelopes, the loudness meter and the
// limiter of the music baker.
#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MUSIC_HAVE_MXCSR 1
#endif

#include "tools/bake/music/synth.h"

namespace music {

float MidiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }

namespace {
struct SineTable {
  float values[kSineTableSize + 1];
  SineTable() {
    for (int i = 0; i <= kSineTableSize; i++)
      values[i] = (float)std::sin(2.0 * 3.14159265358979323846 * i / kSineTableSize);
  }
};
const SineTable sineTable;
}  // namespace

const float* const kSineTable = sineTable.values;

uint32_t HashSeed(uint32_t a, uint32_t b) {
  uint32_t x = a * 0x9e3779b9u ^ (b + 0x7f4a7c15u + (a << 6) + (a >> 2));
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

Rng::Rng(uint32_t seed) {
  state = HashSeed(seed, 0x51ed270bu);
  if (state == 0) state = 0x9e3779b9u;  // xorshift never leaves zero
}

void Svf::Set(float hz, float q) {
  const float maxHz = 0.45f * kSampleRate;
  if (!(hz > 10.0f)) hz = 10.0f;  // also catches NaN
  if (hz > maxHz) hz = maxHz;
  if (!(q > 0.5f)) q = 0.5f;
  g = std::tan(kPi * hz / kSampleRate);
  k = 1.0f / q;
  a1 = 1.0f / (1.0f + g * (g + k));
  a2 = g * a1;
  a3 = g * a2;
}

void OnePole::SetCutoff(float hz) {
  if (hz < 1) hz = 1;
  a = 1.0f - std::exp(-2.0f * kPi * hz / kSampleRate);
}

void Envelope::Start(float attack, float decay, float sustainLevel, float release,
                     int gateFrames) {
  level = 0;
  stage = 0;
  n = 0;
  gate = gateFrames < 1 ? 1 : gateFrames;
  float attackFrames = std::max(attack, 0.0005f) * kSampleRate;  // never a hard start
  attackStep = 1.0f / attackFrames;
  decayCoef = std::exp(-1.0f / (std::max(decay, 0.001f) * kSampleRate));
  sustain = std::clamp(sustainLevel, 0.0f, 1.0f);
  releaseCoef = std::exp(-1.0f / (std::max(release, 0.002f) * kSampleRate));
}

// ---------------------------------------------------------------------------------------
// Loudness.

namespace {
struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0, z2 = 0;
  double Run(double x) {
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The two stages of the K-weighting curve, designed for the sample rate from the analogue
// prototypes of the standard (the shelf at 1682 Hz, +4 dB, and the 38 Hz high-pass).
void KWeighting(Biquad* shelf, Biquad* highPass) {
  double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(3.14159265358979323846 * f0 / kSampleRate);
  double vh = std::pow(10.0, gainDb / 20.0);
  double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  shelf->b0 = (vh + vb * k / q + k * k) / a0;
  shelf->b1 = 2.0 * (k * k - vh) / a0;
  shelf->b2 = (vh - vb * k / q + k * k) / a0;
  shelf->a1 = 2.0 * (k * k - 1.0) / a0;
  shelf->a2 = (1.0 - k / q + k * k) / a0;
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(3.14159265358979323846 * f0 / kSampleRate);
  a0 = 1.0 + k / q + k * k;
  highPass->b0 = 1.0;
  highPass->b1 = -2.0;
  highPass->b2 = 1.0;
  highPass->a1 = 2.0 * (k * k - 1.0) / a0;
  highPass->a2 = (1.0 - k / q + k * k) / a0;
}
}  // namespace

double MeasureLoudness(const float* left, const float* right, int64_t frames) {
  const int64_t hop = kSampleRate / 10;  // 100 ms; a block is four hops
  int64_t hops = frames / hop;
  if (hops < 4) return -200.0;
  std::vector<double> hopEnergy((size_t)hops, 0.0);
  const float* channels[2] = {left, right};
  for (int c = 0; c < 2; c++) {
    Biquad shelf{}, highPass{};
    KWeighting(&shelf, &highPass);
    const float* x = channels[c];
    for (int64_t h = 0; h < hops; h++) {
      double sum = 0;
      for (int64_t i = h * hop; i < (h + 1) * hop; i++) {
        double y = highPass.Run(shelf.Run(x[i]));
        sum += y * y;
      }
      hopEnergy[(size_t)h] += sum;
    }
  }
  std::vector<double> blocks;
  blocks.reserve((size_t)hops);
  for (int64_t h = 0; h + 4 <= hops; h++) {
    double z = (hopEnergy[(size_t)h] + hopEnergy[(size_t)h + 1] + hopEnergy[(size_t)h + 2] +
                hopEnergy[(size_t)h + 3]) /
               (4.0 * hop);
    blocks.push_back(z);
  }
  auto lufs = [](double z) { return z > 0 ? -0.691 + 10.0 * std::log10(z) : -200.0; };
  double sum = 0;
  int count = 0;
  for (double z : blocks)
    if (lufs(z) > -70.0) {
      sum += z;
      count++;
    }
  if (count == 0) return -200.0;
  double relativeGate = lufs(sum / count) - 10.0;
  sum = 0;
  count = 0;
  for (double z : blocks)
    if (lufs(z) > -70.0 && lufs(z) > relativeGate) {
      sum += z;
      count++;
    }
  return count ? lufs(sum / count) : -200.0;
}

// ---------------------------------------------------------------------------------------
// Peaks and the limiter.

namespace {
// Value half-way between x[i] and x[i + 1], six-point Lagrange interpolation; the
// neighbours beyond either end count as silence.
inline float HalfSample(const float* x, int64_t frames, int64_t i) {
  auto at = [&](int64_t j) { return (j >= 0 && j < frames) ? x[j] : 0.0f; };
  return (3.0f * (at(i - 2) + at(i + 3)) - 25.0f * (at(i - 1) + at(i + 2)) +
          150.0f * (at(i) + at(i + 1))) *
         (1.0f / 256.0f);
}
inline float HalfSampleInside(const float* x) {
  return (3.0f * (x[-2] + x[3]) - 25.0f * (x[-1] + x[2]) + 150.0f * (x[0] + x[1])) *
         (1.0f / 256.0f);
}
}  // namespace

void FramePeaks(const float* left, const float* right, int64_t frames, std::vector<float>* peaks) {
  peaks->resize((size_t)std::max<int64_t>(frames, 0));
  float* p = peaks->data();
  for (int64_t i = 0; i < frames; i++) {
    float v = std::max(std::fabs(left[i]), std::fabs(right[i]));
    float hl, hr;
    if (i >= 2 && i + 3 < frames) {
      hl = HalfSampleInside(left + i);
      hr = HalfSampleInside(right + i);
    } else {
      hl = HalfSample(left, frames, i);
      hr = HalfSample(right, frames, i);
    }
    p[i] = std::max(v, std::max(std::fabs(hl), std::fabs(hr)));
  }
}

float EstimatePeak(const float* left, const float* right, int64_t frames) {
  std::vector<float> peaks;
  FramePeaks(left, right, frames, &peaks);
  float peak = 0;
  for (float p : peaks) peak = std::max(peak, p);
  return peak;
}

void LimitScaled(const float* inL, const float* inR, const float* peaks, int64_t frames,
                 float gain, float ceiling, float* outL, float* outR) {
  if (frames <= 0) return;
  const int64_t window = kSampleRate * 4 / 1000;  // 4 ms look-ahead
  const float release = 1.0f - std::exp(-1.0f / (0.09f * kSampleRate));
  // Gain each frame needs on its own.
  std::vector<float> need((size_t)frames);
  for (int64_t i = 0; i < frames; i++) {
    float p = peaks[i] * gain;
    need[(size_t)i] = p > ceiling ? ceiling / p : 1.0f;
  }
  // Smallest need within the look-ahead (a monotonic queue, linear time), then a release
  // that only ever rises towards it: the held gain never exceeds the look-ahead minimum.
  std::vector<float> held((size_t)frames);
  std::vector<int64_t> queue((size_t)frames);
  size_t head = 0, tail = 0;
  int64_t next = 0;
  float g = 1.0f;
  for (int64_t i = 0; i < frames; i++) {
    int64_t last = std::min(frames - 1, i + window);
    for (; next <= last; next++) {
      while (tail > head && need[(size_t)queue[tail - 1]] >= need[(size_t)next]) tail--;
      queue[tail++] = next;
    }
    while (queue[head] < i) head++;
    float target = need[(size_t)queue[head]];
    g = target < g ? target : g + (target - g) * release;
    held[(size_t)i] = g;
  }
  // The average of the held gain over the look-ahead behind each frame: every term is at
  // most what that frame needs, so the average is too, and the gain moves smoothly.
  double sum = 0;
  for (int64_t i = 0; i < frames; i++) {
    sum += held[(size_t)i];
    int64_t count = i + 1;
    if (i > window) {
      sum -= held[(size_t)(i - window - 1)];
      count = window + 1;
    }
    // Frames before the first full window average in the unity gain of the silence
    // before the track, so the gain still ramps down instead of stepping.
    double a = (sum + (double)(window + 1 - count)) / (double)(window + 1);
    a = std::min(a, (double)need[(size_t)i]) * gain;
    outL[i] = (float)(inL[i] * a);
    outR[i] = (float)(inR[i] * a);
  }
}

void LimitPeaks(float* left, float* right, int64_t frames, float ceiling) {
  if (frames <= 0 || !(ceiling > 0)) return;
  std::vector<float> peaks;
  FramePeaks(left, right, frames, &peaks);
  LimitScaled(left, right, peaks.data(), frames, 1.0f, ceiling, left, right);
}

FlushDenormals::FlushDenormals() {
#ifdef MUSIC_HAVE_MXCSR
  saved = _mm_getcsr();
  _mm_setcsr(saved | 0x8040u);  // flush-to-zero and denormals-are-zero
#endif
}

FlushDenormals::~FlushDenormals() {
#ifdef MUSIC_HAVE_MXCSR
  _mm_setcsr(saved);
#endif
}

}  // namespace music
