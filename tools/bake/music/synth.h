// tools/bake/music/synth.h - the synthesiser, the sequencer and the mastering chain
// behind the two baked music tracks.
//
// Owns: the signal-processing parts (band-limited oscillators, noise, envelopes,
// resonant filters, delay, reverb, limiter, loudness meter), the voices built from them,
// the song records that the arrangements fill (parts, notes), and the renderer that turns
// a song into mastered 44100 Hz stereo samples.
// Reads nothing but its arguments. Every generator is seeded and every sum is formed in
// a fixed order, so a song renders to the same samples on every run, whatever the number
// of threads that render it.
// Called by: music.cpp (the bake), songs.cpp (the arrangements), the music tool and the
// tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace music {

constexpr int kSampleRate = 44100;
constexpr float kPi = 3.14159265358979f;
constexpr double kSecondsPerBeat = 0.5;  // 120 beats per minute, both tracks

float MidiToHz(float note);
// sin(2 pi x) from a table with linear interpolation (error below 3e-7); any x.
constexpr int kSineTableSize = 4096;
extern const float* const kSineTable;  // kSineTableSize + 1 values, one full cycle
inline float FastSin(float cycles) {
  float x = cycles - std::floor(cycles);
  float position = x * kSineTableSize;
  int index = (int)position;
  if (index >= kSineTableSize) index = kSineTableSize - 1;
  float frac = position - (float)index;
  return kSineTable[index] + (kSineTable[index + 1] - kSineTable[index]) * frac;
}
inline float DbToGain(float db) { return std::pow(10.0f, db / 20.0f); }

// ---------------------------------------------------------------------------------------
// Building blocks.

// Xorshift noise. Seeds are hashed first, so neighbouring seeds give unrelated sequences.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed);
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  float Bipolar() { return (float)(int32_t)Next() * (1.0f / 2147483648.0f); }  // [-1, 1)
  float Unit() { return (float)(Next() >> 8) * (1.0f / 16777216.0f); }          // [0, 1)
};
uint32_t HashSeed(uint32_t a, uint32_t b);

// Two-pole state-variable filter in the trapezoidal (zero-delay feedback) form: it stays
// stable however fast its cutoff moves, so envelopes and sweeps may drive it directly.
struct Svf {
  float g = 0, k = 1.4142f, a1 = 0, a2 = 0, a3 = 0;
  float ic1 = 0, ic2 = 0;
  // hz is clamped to 10 Hz .. 0.45 of the sample rate; q 0.5 (soft) .. 20 (ringing).
  void Set(float hz, float q);
  void Tick(float x, float& low, float& band) {
    float v3 = x - ic2;
    float v1 = a1 * ic1 + a2 * v3;
    float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    low = v2;
    band = v1;
  }
  float Low(float x) {
    float l, b;
    Tick(x, l, b);
    return l;
  }
  float Band(float x) {
    float l, b;
    Tick(x, l, b);
    return b;
  }
  float High(float x) {
    float l, b;
    Tick(x, l, b);
    return x - k * b - l;
  }
};

struct OnePole {
  float a = 1, z = 0;
  void SetCutoff(float hz);
  float Low(float x) { return z += a * (x - z); }
  float High(float x) { return x - Low(x); }
};

// Oscillator with polynomial band-limited steps at the discontinuities of saw and square.
struct Osc {
  float phase = 0, inc = 0;
  void SetHz(float hz) {
    inc = hz / kSampleRate;
    if (inc > 0.45f) inc = 0.45f;
    if (inc < 0) inc = 0;
  }
  void Advance() {
    phase += inc;
    if (phase >= 1) phase -= 1;
  }
  // Correction of a unit step at phase 0 for an oscillator advancing dt per sample.
  static float Blep(float t, float dt) {
    if (t < dt) {
      t /= dt;
      return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
      t = (t - 1.0f) / dt;
      return t * t + t + t + 1.0f;
    }
    return 0.0f;
  }
  float Saw() {
    float v = 2.0f * phase - 1.0f - Blep(phase, inc);
    Advance();
    return v;
  }
  float Square() {
    float v = phase < 0.5f ? 1.0f : -1.0f;
    v += Blep(phase, inc);
    float shifted = phase + 0.5f;
    if (shifted >= 1.0f) shifted -= 1.0f;
    v -= Blep(shifted, inc);
    Advance();
    return v;
  }
  float Sine() {
    float v = FastSin(phase);
    Advance();
    return v;
  }
};

// Amplitude envelope, one step per sample: linear attack from zero (so that every note
// starts without a click), exponential decay to the sustain level, exponential release
// from wherever the gate closes. Times in seconds; sustain 0..1.
struct Envelope {
  float level = 0;
  void Start(float attack, float decay, float sustain, float release, int gateFrames);
  float Next() {
    if (stage < 3 && n >= gate) stage = 3;
    if (stage == 0) {
      level += attackStep;
      if (level >= 1.0f) {
        level = 1.0f;
        stage = 1;
      }
    } else if (stage < 3) {
      level = sustain + (level - sustain) * decayCoef;
    } else {
      level *= releaseCoef;
    }
    n++;
    return level;
  }
  // Below -70 dB with nothing ahead but further fall: the rest of the note is silence.
  bool Silent() const { return level < 3e-4f && (stage == 3 || (stage >= 1 && sustain == 0)); }

 private:
  int stage = 0, n = 0, gate = 0;
  float attackStep = 1, decayCoef = 0, sustain = 1, releaseCoef = 0;
};

// ---------------------------------------------------------------------------------------
// Voices. A note renders on its own into a scratch buffer, from its start to the end of
// its release; the renderer mixes it into the track. Every voice fades to silence before
// the end of the span it reports, so a note never ends with a step.

enum VoiceKind {
  VoiceKick,
  VoiceClap,
  VoiceSnare,
  VoiceRim,
  VoiceHatClosed,
  VoiceHatOpen,
  VoiceShaker,
  VoiceConga,
  VoiceTom,
  VoiceCrash,
  VoiceRiser,
  VoiceImpact,
  VoiceBass,
  VoiceSub,
  VoiceEnsemble,      // detuned saws through a low-pass: pads, strings, chord stabs
  VoicePluck,         // short filtered saw/square: arpeggios
  VoiceLead,          // saw lead with delayed vibrato
  VoiceElectricPiano, // two-operator FM, tine-like attack
  VoiceBell,          // inharmonic FM bell
  VoiceNoiseBed,      // filtered stereo noise with sparse drops: rain, wind
  VoiceKindCount
};

// Per-part settings of a voice; each voice reads the fields it needs.
struct VoiceParams {
  float attack = 0.002f, decay = 0.3f, sustain = 0.7f, release = 0.1f;  // seconds, 0..1
  float cutoff = 2000;      // filter cutoff at tone 1, Hz
  float envAmount = 0;      // filter envelope peak, in multiples of the cutoff
  float envDecay = 0.1f;    // filter envelope decay, seconds
  float resonance = 0.7f;   // filter Q
  int voices = 1;           // ensemble: oscillators per note
  float detuneCents = 0;    // ensemble: spread of detuning, +- cents
  float width = 0;          // ensemble: stereo spread of the oscillators, 0..1
  float vibratoHz = 0, vibratoCents = 0;
  float lfoHz = 0, lfoDepth = 0;  // filter cutoff wobble, depth in octaves
  float drive = 0;                // soft saturation, 0 = clean
  float highpass = 110;           // ensemble: gentle low cut, Hz
};

struct Note {
  double beat = 0;      // start, beats from the start of the track
  double length = 0.25; // gate, beats
  float pitch = 60;     // MIDI note number; drums read it as a tuning
  float velocity = 1;   // 0..1
  float pan = 0;        // -1 left .. +1 right, added to the part's pan
  float tone = 1;       // brightness: filter cutoffs scale by 2^(4 (tone - 1))
  int part = 0;
};

int NoteFrames(VoiceKind kind, const VoiceParams& params, const Note& note);
// Writes frames samples of the note into left and right (overwriting them).
void RenderVoice(VoiceKind kind, const VoiceParams& params, const Note& note, uint32_t seed,
                 float* left, float* right, int frames);

// ---------------------------------------------------------------------------------------
// Songs.

struct PartSpec {
  const char* name = "";
  VoiceKind voice = VoiceKick;
  VoiceParams params;
  float gain = 1;        // linear
  float pan = 0;         // -1 .. +1
  float reverbSend = 0;  // linear, post-fader
  float delaySend = 0;
  float duck = 0;         // sidechain depth: 0 untouched, 1 silenced at each kick
  bool drivesDuck = false;  // its notes are the kicks that the others duck under
};

struct AutomationPoint {
  double seconds;
  float value;
};

struct Song {
  const char* fileName = "";
  const char* title = "";
  double seconds = 0;  // length of the track
  std::vector<PartSpec> parts;
  std::vector<Note> notes;
  float reverbSeconds = 2.5f;  // decay to -60 dB
  float reverbReturn = 0.5f;
  float reverbDuck = 0.3f;
  float delayReturn = 0.5f;
  double delayBeats = 0.75;  // dotted eighth
  float delayFeedback = 0.35f;
  // Master low-pass cutoff in Hz over time; outside the first and last point the filter
  // is open. Used for sweeps into a section.
  std::vector<AutomationPoint> masterLowpass;
  double fadeStart = 0, fadeEnd = 0;  // end fade, seconds; none when fadeEnd <= fadeStart
  float loudnessTarget = -14;         // LUFS
  float peakCeiling = -1.6f;          // dBFS, estimated true peak before encoding
};

Song ComposeDiscow();
Song ComposeClosing();

// ---------------------------------------------------------------------------------------
// Rendering. A song renders in time chunks that may run on different threads; the
// finish step sums them in chunk order, adds delay and reverb and masters the result.

struct RenderedTrack {
  std::vector<float> left, right;
  double loudness = 0;  // integrated, LUFS, after mastering
  float peak = 0;       // sample peak, linear, after mastering
  float gainDb = 0;     // gain that mastering applied before the limiter
  float deepestLimitDb = 0;   // the limiter's largest gain reduction, dB (negative)
  float limitedShare = 0;     // share of frames the limiter turned down by more than 1 dB
};

struct SongChunk {
  int64_t firstFrame = 0;
  std::vector<int> notes;  // indices into song->notes starting in this chunk
  std::vector<float> dryL, dryR, reverbSend, delaySend;  // from firstFrame on
};

struct SongRender {
  const Song* song = nullptr;
  int64_t frames = 0;
  std::vector<float> duck;  // sidechain gain per frame, 1 = untouched
  std::vector<SongChunk> chunks;
};

// untilSeconds > 0 renders only the start of the song (notes that begin before it, no
// end fade): quick checks of the whole chain on a short span.
void PrepareSongRender(const Song& song, double untilSeconds, SongRender* render);
void RenderSongChunk(SongRender* render, int chunk);  // distinct chunks: any thread
void FinishSongRender(SongRender* render, RenderedTrack* out);
// All three steps on the calling thread.
void RenderSong(const Song& song, double untilSeconds, RenderedTrack* out);

// ---------------------------------------------------------------------------------------
// Mastering and measurement.

// Integrated loudness (ITU-R BS.1770: K-weighting, 400 ms blocks, absolute and relative
// gates) of a stereo signal, LUFS; -200 for silence.
double MeasureLoudness(const float* left, const float* right, int64_t frames);
// Peak limiter with look-ahead: no sample, and no point half-way between samples, ends
// above ceiling (linear). Gain falls within the look-ahead and recovers smoothly.
void LimitPeaks(float* left, float* right, int64_t frames, float ceiling);
// Largest of |x| and the half-sample interpolated values: an estimate of the true peak.
float EstimatePeak(const float* left, const float* right, int64_t frames);
// The same estimate per frame (both channels).
void FramePeaks(const float* left, const float* right, int64_t frames, std::vector<float>* peaks);
// The limiter on the input scaled by gain, with the input's frame peaks given; out may be
// the input.
void LimitScaled(const float* inL, const float* inR, const float* peaks, int64_t frames,
                 float gain, float ceiling, float* outL, float* outR);

// Turns on flush-to-zero for the calling thread while alive: decaying filter and reverb
// tails never reach the slow denormal range.
struct FlushDenormals {
  FlushDenormals();
  ~FlushDenormals();
  unsigned saved = 0;
};

}  // namespace music
