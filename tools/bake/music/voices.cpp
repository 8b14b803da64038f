// tools/bake/music/voices.cpp - the instruments: drum voices, bass, pads and strings,
// plucks, lead, electric piano, bell and noise beds. Each renders one note on its own.
#include <algorithm>
#include <cmath>

#include "tools/bake/music/synth.h"

namespace music {

namespace {
constexpr float kDt = 1.0f / kSampleRate;
constexpr int kControlStep = 16;  // filter coefficients are recomputed every 16 samples

int Frames(double seconds) { return (int)std::ceil(std::max(seconds, 0.0) * kSampleRate); }
int GateFrames(const Note& note) { return std::max(1, Frames(note.length * kSecondsPerBeat)); }
float ToneScale(float tone) { return std::exp2(4.0f * (tone - 1.0f)); }
// Frames an exponential release needs to fall by 60 dB; the tail fade takes the rest.
constexpr int kTailFade = 441;
int ReleaseFrames(float release) { return Frames(6.9 * std::max(release, 0.002f)) + kTailFade; }

// Soft saturation; odd and monotonic, 1 at 1 for drive 0.
inline float Saturate(float x) {
  if (x > 3.0f) return 1.0f;
  if (x < -3.0f) return -1.0f;
  float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// A decaying exponential stepped per sample: value(t) = exp(-t / tau).
struct Decay {
  float value = 1, coef = 0;
  explicit Decay(float tau) : coef(std::exp(-kDt / std::max(tau, 1e-4f))) {}
  float Next() {
    float v = value;
    value *= coef;
    return v;
  }
};

// The last samples of a note fall linearly to zero: whatever a voice left ringing, the
// note ends without a step.
void FadeTail(float* left, float* right, int frames, int fadeFrames) {
  fadeFrames = std::min(fadeFrames, frames);
  for (int i = 0; i < fadeFrames; i++) {
    float g = (float)i / (float)fadeFrames;
    left[frames - 1 - i] *= g;
    right[frames - 1 - i] *= g;
  }
}

// Ends a note whose envelope fell silent at `end`: a short fade up to there, zeros after.
void EndNote(float* left, float* right, int frames, int end) {
  FadeTail(left, right, end, end < frames ? 64 : kTailFade);
  std::fill(left + end, left + frames, 0.0f);
  std::fill(right + end, right + frames, 0.0f);
}

void CopyMono(float* left, float* right, int frames) {
  std::copy(left, left + frames, right);
}

// Six square waves at inharmonic ratios: the metal of cymbals and hats.
struct Metal {
  Osc osc[6];
  explicit Metal(float scale, Rng& rng) {
    static const float kHz[6] = {205.3f, 304.4f, 369.6f, 522.7f, 540.0f, 800.0f};
    for (int i = 0; i < 6; i++) {
      osc[i].SetHz(kHz[i] * scale);
      osc[i].phase = rng.Unit();
    }
  }
  float Next() {
    float s = 0;
    for (Osc& o : osc) s += o.Square();
    return s * (1.0f / 6.0f);
  }
};

// ---------------------------------------------------------------------------------------
// Drums.

void Kick(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float base = MidiToHz(note.pitch);
  Decay sweep(0.030f), snap(0.0028f), body(p.decay), click(0.0012f);
  float phase = 0;
  float drive = 1.0f + p.drive;
  float norm = 1.0f / Saturate(drive);
  float clickLevel = 0.22f * note.tone;
  OnePole clickFilter;
  clickFilter.SetCutoff(6000);
  for (int i = 0; i < frames; i++) {
    float hz = base * (1.0f + 2.2f * sweep.Next()) + 420.0f * snap.Next();
    float x = FastSin(phase) * body.Next();
    phase += hz * kDt;
    if (phase >= 1) phase -= 1;
    x += clickFilter.Low(rng.Bipolar()) * clickLevel * click.Next();
    float ramp = std::min(1.0f, (float)i / 20.0f);  // half a millisecond
    l[i] = Saturate(x * drive) * norm * ramp;
  }
  FadeTail(l, r, frames, Frames(0.02));
  CopyMono(l, r, frames);
}

void Clap(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  Svf bandL, bandR;
  float centre = 1400.0f * std::exp2((note.pitch - 60.0f) / 12.0f);
  bandL.Set(centre, 0.8f);
  bandR.Set(centre * 1.06f, 0.8f);
  const int burstAt[3] = {0, Frames(0.010), Frames(0.021)};
  const int tailAt = Frames(0.029);
  const float burstCoef = std::exp(-kDt / 0.0032f), tailCoef = std::exp(-kDt / p.decay);
  float burst = 0, tail = 0;
  for (int i = 0; i < frames; i++) {
    for (int b : burstAt)
      if (i == b) burst = 1.0f;
    if (i == tailAt) tail = 0.8f;
    float env = burst + tail;
    burst *= burstCoef;
    tail *= tailCoef;
    float a = rng.Bipolar(), b = rng.Bipolar();
    env *= std::min(1.0f, (float)i / 12.0f);  // a quarter of a millisecond in
    l[i] = bandL.Band(a) * env * 2.2f;
    r[i] = bandR.Band(0.7f * a + 0.7f * b) * env * 2.2f;
  }
  FadeTail(l, r, frames, Frames(0.02));
}

void Snare(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Decay sweep(0.012f), body(0.07f), noise(p.decay);
  Svf high;
  high.Set(1500.0f * ToneScale(note.tone), 0.7f);
  float phase = 0;
  for (int i = 0; i < frames; i++) {
    float x = 0.55f * FastSin(phase) * body.Next();
    phase += hz * (1.0f + 0.45f * sweep.Next()) * kDt;
    if (phase >= 1) phase -= 1;
    x += 0.8f * high.High(rng.Bipolar()) * noise.Next();
    float ramp = std::min(1.0f, (float)i / 12.0f);
    l[i] = x * ramp;
  }
  FadeTail(l, r, frames, Frames(0.02));
  CopyMono(l, r, frames);
}

void Rim(const VoiceParams&, const Note&, Rng& rng, float* l, float* r, int frames) {
  Decay tone(0.014f), click(0.004f);
  Svf band;
  band.Set(3200, 1.5f);
  float p1 = 0, p2 = 0;
  for (int i = 0; i < frames; i++) {
    float e = tone.Next();
    float x = (0.6f * FastSin(p1) + 0.4f * FastSin(p2)) * e;
    p1 += 480.0f * kDt;
    p2 += 1650.0f * kDt;
    if (p1 >= 1) p1 -= 1;
    if (p2 >= 1) p2 -= 1;
    x += band.Band(rng.Bipolar()) * click.Next() * 1.5f;
    float ramp = std::min(1.0f, (float)i / 8.0f);
    l[i] = x * ramp;
  }
  FadeTail(l, r, frames, Frames(0.01));
  CopyMono(l, r, frames);
}

void Hat(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames,
         float decay) {
  Metal metal(1.0f + 0.02f * (note.pitch - 60.0f), rng);
  Svf band, high;
  band.Set(9000.0f * ToneScale(note.tone), 0.9f);
  high.Set(6500.0f * ToneScale(note.tone), 0.7f);
  Decay env(decay);
  (void)p;
  for (int i = 0; i < frames; i++) {
    float x = 0.55f * metal.Next() + 0.6f * rng.Bipolar();
    x = high.High(band.Band(x)) * 1.6f;
    float ramp = std::min(1.0f, (float)i / 12.0f);
    l[i] = x * env.Next() * ramp;
  }
  FadeTail(l, r, frames, Frames(0.01));
  CopyMono(l, r, frames);
}

void Shaker(const VoiceParams& p, const Note&, Rng& rng, float* l, float* r, int frames) {
  Svf band;
  band.Set(6500, 1.2f);
  const int attack = Frames(0.006);
  Decay env(p.decay);
  for (int i = 0; i < frames; i++) {
    float a = i < attack ? (float)i / attack : env.Next();
    l[i] = band.Band(rng.Bipolar()) * a * 1.5f;
  }
  FadeTail(l, r, frames, Frames(0.01));
  CopyMono(l, r, frames);
}

void Drum(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames,
          float bend, float bendTime) {
  float hz = MidiToHz(note.pitch);
  Decay sweep(bendTime), body(p.decay), slap(0.003f);
  Svf band;
  band.Set(2000, 1.0f);
  float phase = 0;
  for (int i = 0; i < frames; i++) {
    float x = FastSin(phase) * body.Next();
    phase += hz * (1.0f + bend * sweep.Next()) * kDt;
    if (phase >= 1) phase -= 1;
    x += 0.3f * band.Band(rng.Bipolar()) * slap.Next();
    float ramp = std::min(1.0f, (float)i / 16.0f);
    l[i] = Saturate(x * 1.2f) * ramp;
  }
  FadeTail(l, r, frames, Frames(0.02));
  CopyMono(l, r, frames);
}

void Crash(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  Metal metal(1.9f, rng);
  Rng other(rng.Next());
  Svf highL, highR, lowL, lowR;
  highL.Set(4200, 0.7f);
  highR.Set(4400, 0.7f);
  lowL.Set(14000.0f * ToneScale(note.tone), 0.6f);
  lowR.Set(14000.0f * ToneScale(note.tone), 0.6f);
  Decay env(p.decay), shimmer(0.25f);
  const int attack = Frames(0.002);
  for (int i = 0; i < frames; i++) {
    float m = metal.Next();
    float e = env.Next() * (0.75f + 0.25f * shimmer.Next());
    if (i < attack) e *= (float)i / attack;
    float a = 0.7f * rng.Bipolar() + 0.35f * m, b = 0.7f * other.Bipolar() + 0.35f * m;
    l[i] = lowL.Low(highL.High(a)) * e;
    r[i] = lowR.Low(highR.High(b)) * e;
  }
  FadeTail(l, r, frames, Frames(0.05));
}

// Noise rising through a resonant band-pass towards the end of its gate.
void Riser(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  Rng other(rng.Next());
  Svf bandL, bandR;
  int gate = GateFrames(note);
  float fall = std::exp(-kDt / 0.03f), after = 1;
  float pos = 0, amp = 0;
  for (int i = 0; i < frames; i++) {
    if (i % kControlStep == 0) {
      pos = std::min(1.0f, (float)i / (float)gate);
      float hz = p.cutoff * ToneScale(note.tone) * std::exp2(5.0f * pos);
      bandL.Set(hz, 2.0f);
      bandR.Set(hz * 1.03f, 2.0f);
    }
    float linear = std::min(1.0f, (float)i / (float)gate);
    amp = linear * linear;
    if (i >= gate) after *= fall;
    float e = amp * after;
    l[i] = bandL.Band(rng.Bipolar()) * e;
    r[i] = bandR.Band(other.Bipolar()) * e;
  }
  FadeTail(l, r, frames, Frames(0.01));
}

// A falling sub tone with a rumble under it: the weight of a section change.
void Impact(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Decay sweep(0.09f), body(p.decay), rumble(p.decay * 1.4f);
  Svf low;
  low.Set(190, 0.8f);
  float phase = 0;
  for (int i = 0; i < frames; i++) {
    float x = FastSin(phase) * body.Next();
    phase += hz * (1.0f + 1.6f * sweep.Next()) * kDt;
    if (phase >= 1) phase -= 1;
    x += 0.8f * low.Low(rng.Bipolar()) * rumble.Next();
    float ramp = std::min(1.0f, (float)i / 40.0f);
    l[i] = Saturate(x * 1.3f) * ramp;
  }
  FadeTail(l, r, frames, Frames(0.05));
  CopyMono(l, r, frames);
}

// ---------------------------------------------------------------------------------------
// Pitched voices.

void Bass(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Osc saw, square, sub;
  saw.SetHz(hz);
  square.SetHz(hz * 1.003f);
  sub.SetHz(hz);
  saw.phase = 0.5f;  // the saw's zero crossing: the note starts at rest
  square.phase = 0.25f;
  (void)rng;
  Svf filter;
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay env(p.envDecay);
  float cutoff = p.cutoff * ToneScale(note.tone);
  float drive = 1.0f + p.drive;
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float e = env.Next();
    if (i % kControlStep == 0) filter.Set(cutoff * (1.0f + p.envAmount * e * note.velocity), p.resonance);
    float x = filter.Low(0.6f * saw.Saw() + 0.35f * square.Square());
    x = x * 0.8f + 0.7f * sub.Sine();
    l[i] = Saturate(x * drive * 0.8f) * amp.Next();
  }
  EndNote(l, r, frames, end);
  CopyMono(l, r, frames);
}

void Sub(const VoiceParams& p, const Note& note, Rng&, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Osc one, two;
  one.SetHz(hz);
  two.SetHz(hz * 2);
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    l[i] = (one.Sine() + 0.12f * two.Sine()) * amp.Next();
  }
  EndNote(l, r, frames, end);
  CopyMono(l, r, frames);
}

void Ensemble(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r,
              int frames) {
  constexpr int kMaxVoices = 8;
  int count = std::clamp(p.voices, 1, kMaxVoices);
  float hz = MidiToHz(note.pitch);
  Osc osc[kMaxVoices];
  float ratio[kMaxVoices], gainL[kMaxVoices], gainR[kMaxVoices];
  for (int v = 0; v < count; v++) {
    float spread = count == 1 ? 0.0f : 2.0f * v / (count - 1) - 1.0f;
    ratio[v] = std::exp2(p.detuneCents * spread / 1200.0f);
    float pan = std::clamp(p.width * spread, -1.0f, 1.0f);
    gainL[v] = std::sqrt(0.5f * (1.0f - pan));
    gainR[v] = std::sqrt(0.5f * (1.0f + pan));
    osc[v].phase = rng.Unit();
    osc[v].SetHz(hz * ratio[v]);
  }
  float norm = 1.2f / std::sqrt((float)count);
  Svf filterL, filterR;
  OnePole highL, highR;
  highL.SetCutoff(p.highpass);
  highR.SetCutoff(p.highpass);
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay env(p.envDecay);
  float cutoff = p.cutoff * ToneScale(note.tone);
  float lfoPhase = rng.Unit();
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float e = env.Next();
    if (i % kControlStep == 0) {
      float t = i * kDt;
      float vibrato = p.vibratoCents > 0
                          ? std::exp2(p.vibratoCents * FastSin(p.vibratoHz * t) / 1200.0f)
                          : 1.0f;
      for (int v = 0; v < count; v++) osc[v].SetHz(hz * ratio[v] * vibrato);
      float wobble = p.lfoDepth > 0 ? std::exp2(p.lfoDepth * FastSin(lfoPhase + p.lfoHz * t))
                                    : 1.0f;
      float hzCut = cutoff * (1.0f + p.envAmount * e) * wobble;
      filterL.Set(hzCut, p.resonance);
      filterR.Set(hzCut * 1.02f, p.resonance);
    }
    float sl = 0, sr = 0;
    for (int v = 0; v < count; v++) {
      float s = osc[v].Saw();
      sl += s * gainL[v];
      sr += s * gainR[v];
    }
    float a = amp.Next() * norm;
    l[i] = highL.High(filterL.Low(sl)) * a;
    r[i] = highR.High(filterR.Low(sr)) * a;
  }
  EndNote(l, r, frames, end);
}

void Pluck(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Osc saw, square;
  saw.SetHz(hz);
  square.SetHz(hz * 1.004f);
  saw.phase = 0.5f;
  square.phase = rng.Unit();
  Svf filter;
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay env(p.envDecay);
  float cutoff = p.cutoff * ToneScale(note.tone);
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float e = env.Next();
    if (i % kControlStep == 0) filter.Set(cutoff * (1.0f + p.envAmount * e), p.resonance);
    l[i] = filter.Low(0.6f * saw.Saw() + 0.4f * square.Square()) * amp.Next();
  }
  EndNote(l, r, frames, end);
  CopyMono(l, r, frames);
}

void Lead(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  float detune = std::exp2(p.detuneCents / 1200.0f);
  Osc a, b, sub;
  a.phase = rng.Unit();
  b.phase = rng.Unit();
  sub.phase = 0.5f;
  Svf filterL, filterR;
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay env(p.envDecay);
  float cutoff = p.cutoff * ToneScale(note.tone);
  float gl = std::sqrt(0.5f * (1 + p.width)), gr = std::sqrt(0.5f * (1 - p.width));
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float e = env.Next();
    if (i % kControlStep == 0) {
      float t = i * kDt;
      // Vibrato fades in after the attack, as a player would add it to a held note.
      float depth = std::clamp((t - 0.18f) / 0.4f, 0.0f, 1.0f) * p.vibratoCents;
      float v = std::exp2(depth * FastSin(p.vibratoHz * t) / 1200.0f);
      a.SetHz(hz * v * detune);
      b.SetHz(hz * v / detune);
      sub.SetHz(hz * v * 0.5f);
      float hzCut = cutoff * (1.0f + p.envAmount * e);
      filterL.Set(hzCut, p.resonance);
      filterR.Set(hzCut, p.resonance);
    }
    float sa = a.Saw(), sb = b.Saw(), ss = 0.3f * sub.Square();
    float g = amp.Next() * 0.7f;
    l[i] = filterL.Low(sa * gl + sb * gr + ss) * g;
    r[i] = filterR.Low(sa * gr + sb * gl + ss) * g;
  }
  EndNote(l, r, frames, end);
}

void ElectricPiano(const VoiceParams& p, const Note& note, Rng&, float* l, float* r,
                   int frames) {
  float hz = MidiToHz(note.pitch);
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay index(0.45f), tine(0.018f), tineLevel(0.25f);
  float carrier = 0, modulator = 0, tinePhase = 0, tineMod = 0;
  float depth = 0.5f + 1.4f * note.velocity;
  bool tineFits = hz * 14.0f < 0.4f * kSampleRate;
  float trem = p.lfoHz;
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float idx = depth * index.Next() + 0.12f;
    float x = FastSin(carrier + idx * FastSin(modulator) * 0.159f);
    if (tineFits) x += 0.3f * tineLevel.Next() * FastSin(tinePhase + 0.3f * tine.Next() * FastSin(tineMod));
    carrier += hz * kDt;
    modulator += hz * kDt;
    tinePhase += hz * kDt;
    tineMod += 14.0f * hz * kDt;
    if (carrier >= 1) carrier -= 1;
    if (modulator >= 1) modulator -= 1;
    if (tinePhase >= 1) tinePhase -= 1;
    if (tineMod >= 1) tineMod -= 1;
    float a = amp.Next() * 0.6f;
    float t = FastSin(trem * i * kDt) * p.lfoDepth;  // auto-pan tremolo
    l[i] = x * a * (1 + t);
    r[i] = x * a * (1 - t);
  }
  EndNote(l, r, frames, end);
}

void Bell(const VoiceParams& p, const Note& note, Rng&, float* l, float* r, int frames) {
  float hz = MidiToHz(note.pitch);
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  Decay index(0.22f);
  float carrier = 0, modulator = 0, upper = 0;
  bool upperFits = hz * 3.5f < 0.4f * kSampleRate;
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    float idx = 2.2f * index.Next() + 0.25f;
    float x = FastSin(carrier + (upperFits ? idx * 0.159f * FastSin(modulator) : 0.0f));
    x += 0.2f * FastSin(upper);
    carrier += hz * kDt;
    modulator += 3.5f * hz * kDt;
    upper += 2.0f * hz * kDt;
    carrier -= std::floor(carrier);
    modulator -= std::floor(modulator);
    upper -= std::floor(upper);
    l[i] = x * amp.Next() * 0.5f;
  }
  EndNote(l, r, frames, end);
  CopyMono(l, r, frames);
}

void NoiseBed(const VoiceParams& p, const Note& note, Rng& rng, float* l, float* r,
              int frames) {
  Rng other(rng.Next());
  Svf bandL, bandR, dropL, dropR;
  float hz = p.cutoff * ToneScale(note.tone);
  bandL.Set(hz, 0.6f);
  bandR.Set(hz * 1.1f, 0.6f);
  dropL.Set(2600, 3.0f);
  dropR.Set(3100, 3.0f);
  OnePole highL, highR;
  highL.SetCutoff(350);
  highR.SetCutoff(350);
  Envelope amp;
  amp.Start(p.attack, p.decay, p.sustain, p.release, GateFrames(note));
  int end = frames;
  for (int i = 0; i < frames; i++) {
    if ((i & 63) == 0 && amp.Silent()) {
      end = i;
      break;
    }
    // Sparse impulses through a ringing band-pass: drops on a surface.
    float dl = 0, dr = 0;
    uint32_t roll = rng.Next();
    if ((roll & 1023u) < 2) dl = other.Bipolar() * 6.0f;
    if ((roll & (1023u << 10)) < (2u << 10)) dr = other.Bipolar() * 6.0f;
    float a = amp.Next();
    l[i] = (highL.High(bandL.Band(rng.Bipolar())) + dropL.Band(dl)) * a;
    r[i] = (highR.High(bandR.Band(other.Bipolar())) + dropR.Band(dr)) * a;
  }
  EndNote(l, r, frames, end);
}
}  // namespace

int NoteFrames(VoiceKind kind, const VoiceParams& p, const Note& note) {
  switch (kind) {
    case VoiceKick: return Frames(0.12 + 7.0 * p.decay);
    case VoiceClap: return Frames(0.05 + 7.0 * p.decay);
    case VoiceSnare: return Frames(0.03 + 7.0 * p.decay);
    case VoiceRim: return Frames(0.1);
    case VoiceHatClosed: return Frames(0.3);
    case VoiceHatOpen: return Frames(0.02 + 7.0 * p.decay);
    case VoiceShaker: return Frames(0.02 + 7.0 * p.decay);
    case VoiceConga: return Frames(0.02 + 7.0 * p.decay);
    case VoiceTom: return Frames(0.02 + 7.0 * p.decay);
    case VoiceCrash: return Frames(6.5 * p.decay);
    case VoiceRiser: return GateFrames(note) + Frames(0.25);
    case VoiceImpact: return Frames(6.0 * p.decay);
    default: return GateFrames(note) + ReleaseFrames(p.release);
  }
}

void RenderVoice(VoiceKind kind, const VoiceParams& p, const Note& note, uint32_t seed,
                 float* l, float* r, int frames) {
  Rng rng(seed);
  switch (kind) {
    case VoiceKick: Kick(p, note, rng, l, r, frames); break;
    case VoiceClap: Clap(p, note, rng, l, r, frames); break;
    case VoiceSnare: Snare(p, note, rng, l, r, frames); break;
    case VoiceRim: Rim(p, note, rng, l, r, frames); break;
    case VoiceHatClosed: Hat(p, note, rng, l, r, frames, 0.034f); break;
    case VoiceHatOpen: Hat(p, note, rng, l, r, frames, p.decay); break;
    case VoiceShaker: Shaker(p, note, rng, l, r, frames); break;
    case VoiceConga: Drum(p, note, rng, l, r, frames, 0.3f, 0.012f); break;
    case VoiceTom: Drum(p, note, rng, l, r, frames, 0.7f, 0.05f); break;
    case VoiceCrash: Crash(p, note, rng, l, r, frames); break;
    case VoiceRiser: Riser(p, note, rng, l, r, frames); break;
    case VoiceImpact: Impact(p, note, rng, l, r, frames); break;
    case VoiceBass: Bass(p, note, rng, l, r, frames); break;
    case VoiceSub: Sub(p, note, rng, l, r, frames); break;
    case VoiceEnsemble: Ensemble(p, note, rng, l, r, frames); break;
    case VoicePluck: Pluck(p, note, rng, l, r, frames); break;
    case VoiceLead: Lead(p, note, rng, l, r, frames); break;
    case VoiceElectricPiano: ElectricPiano(p, note, rng, l, r, frames); break;
    case VoiceBell: Bell(p, note, rng, l, r, frames); break;
    case VoiceNoiseBed: NoiseBed(p, note, rng, l, r, frames); break;
    default: std::fill(l, l + frames, 0.0f), std::fill(r, r + frames, 0.0f); break;
  }
}

}  // namespace music
