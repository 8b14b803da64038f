// tools/bake/music/songs.cpp - the two arrangements, written as data: the instruments of
// each track, chords and progressions, melodies, drum patterns, and a table of sections
// whose starts follow the show's running order.
//
// Track 1, "discow.mp3", A minor, 120 bpm, starts when loading ends. Its sections change
// where the scenes change (seconds from the start of the track): night flight with its
// cards 4, jungle 58, swelling balls 110, tunnel 116, streamers 128, palace 140, bath
// 191.5, computer room 215.5, end of the eighth scene 237.5. 191.5 is three beats off the
// bar grid, so the palace ends on a bar of three beats.
// Track 2, "vellumar2.mp3", C major, 120 bpm in half time, starts with the scrolling page;
// the credits start at 35 s and end at 50 s. A two-beat pick-up puts 35 s on a downbeat.
#include <algorithm>
#include <cstring>

#include "tools/bake/music/synth.h"

namespace music {

namespace {

// ---------------------------------------------------------------------------------------
// Instruments.

enum PartIndex {
  PKick,
  PClap,
  PSnare,
  PRim,
  PHat,
  POpenHat,
  PShaker,
  PConga,
  PTom,
  PCrash,
  PRiser,
  PImpact,
  PBass,
  PSub,
  PPad,
  PSwell,
  PStrings,
  PStab,
  PArp,
  PLead,
  PBell,
  PRain,
  PEp,
  PartCount
};

std::vector<PartSpec> StandardParts() {
  std::vector<PartSpec> parts(PartCount);
  auto set = [&](PartIndex i, const char* name, VoiceKind voice, float gain) -> PartSpec& {
    PartSpec& p = parts[i];
    p.name = name;
    p.voice = voice;
    p.gain = gain;
    return p;
  };
  {
    PartSpec& p = set(PKick, "kick", VoiceKick, 0.85f);
    p.params.decay = 0.09f;
    p.params.drive = 0.7f;
    p.drivesDuck = true;
  }
  {
    PartSpec& p = set(PClap, "clap", VoiceClap, 0.45f);
    p.params.decay = 0.11f;
    p.reverbSend = 0.3f;
  }
  {
    PartSpec& p = set(PSnare, "snare", VoiceSnare, 0.3f);
    p.params.decay = 0.12f;
    p.reverbSend = 0.25f;
  }
  {
    PartSpec& p = set(PRim, "rim", VoiceRim, 0.2f);
    p.pan = -0.15f;
    p.reverbSend = 0.35f;
    p.delaySend = 0.1f;
  }
  {
    PartSpec& p = set(PHat, "hat", VoiceHatClosed, 0.28f);
    p.pan = 0.35f;
    p.reverbSend = 0.05f;
  }
  {
    PartSpec& p = set(POpenHat, "open hat", VoiceHatOpen, 0.2f);
    p.params.decay = 0.19f;
    p.pan = -0.35f;
    p.reverbSend = 0.08f;
  }
  {
    PartSpec& p = set(PShaker, "shaker", VoiceShaker, 0.15f);
    p.params.decay = 0.04f;
    p.pan = 0.4f;
    p.reverbSend = 0.1f;
  }
  {
    PartSpec& p = set(PConga, "conga", VoiceConga, 0.24f);
    p.params.decay = 0.14f;
    p.reverbSend = 0.18f;
  }
  {
    PartSpec& p = set(PTom, "tom", VoiceTom, 0.38f);
    p.params.decay = 0.26f;
    p.reverbSend = 0.25f;
  }
  {
    PartSpec& p = set(PCrash, "crash", VoiceCrash, 0.15f);
    p.params.decay = 0.75f;
    p.reverbSend = 0.15f;
    p.duck = 0.2f;
  }
  {
    PartSpec& p = set(PRiser, "riser", VoiceRiser, 0.12f);
    p.params.cutoff = 280;
    p.reverbSend = 0.35f;
    p.delaySend = 0.1f;
  }
  {
    PartSpec& p = set(PImpact, "impact", VoiceImpact, 0.5f);
    p.params.decay = 0.5f;
    p.reverbSend = 0.15f;
  }
  {
    PartSpec& p = set(PBass, "bass", VoiceBass, 0.42f);
    VoiceParams& v = p.params;
    v.attack = 0.003f, v.decay = 0.2f, v.sustain = 0.75f, v.release = 0.035f;
    v.cutoff = 650, v.envAmount = 2.5f, v.envDecay = 0.08f, v.resonance = 1.8f, v.drive = 0.5f;
    p.duck = 0.5f;
  }
  {
    PartSpec& p = set(PSub, "sub", VoiceSub, 0.2f);
    VoiceParams& v = p.params;
    v.attack = 0.08f, v.decay = 1.0f, v.sustain = 1.0f, v.release = 0.4f;
    p.duck = 0.5f;
  }
  {
    PartSpec& p = set(PPad, "pad", VoiceEnsemble, 0.15f);
    VoiceParams& v = p.params;
    v.voices = 3, v.detuneCents = 10, v.width = 0.85f;
    v.attack = 0.6f, v.decay = 2.0f, v.sustain = 0.85f, v.release = 0.5f;
    v.cutoff = 2400, v.resonance = 0.8f, v.lfoHz = 0.15f, v.lfoDepth = 0.3f;
    v.highpass = 180;
    p.reverbSend = 0.35f;
    p.duck = 0.55f;
  }
  {
    PartSpec& p = set(PSwell, "swell", VoiceEnsemble, 0.2f);
    VoiceParams& v = p.params;
    v.voices = 4, v.detuneCents = 12, v.width = 0.9f;
    v.attack = 0.3f, v.decay = 2.0f, v.sustain = 0.9f, v.release = 0.5f;
    v.cutoff = 1100, v.resonance = 2.6f, v.lfoHz = 2.0f, v.lfoDepth = 1.4f;
    p.reverbSend = 0.35f;
    p.delaySend = 0.1f;
  }
  {
    PartSpec& p = set(PStrings, "strings", VoiceEnsemble, 0.12f);
    VoiceParams& v = p.params;
    v.voices = 5, v.detuneCents = 14, v.width = 1.0f;
    v.attack = 0.18f, v.decay = 2.0f, v.sustain = 0.9f, v.release = 0.4f;
    v.cutoff = 5200, v.resonance = 0.7f, v.vibratoHz = 5.0f, v.vibratoCents = 6;
    v.highpass = 250;
    p.reverbSend = 0.45f;
    p.duck = 0.45f;
  }
  {
    PartSpec& p = set(PStab, "stab", VoiceEnsemble, 0.2f);
    VoiceParams& v = p.params;
    v.voices = 2, v.detuneCents = 8, v.width = 0.9f;
    v.attack = 0.002f, v.decay = 0.16f, v.sustain = 0.0f, v.release = 0.05f;
    v.cutoff = 700, v.envAmount = 5, v.envDecay = 0.09f, v.resonance = 1.4f;
    v.highpass = 200;
    p.reverbSend = 0.25f;
    p.delaySend = 0.12f;
    p.duck = 0.35f;
  }
  {
    PartSpec& p = set(PArp, "arp", VoicePluck, 0.13f);
    VoiceParams& v = p.params;
    v.attack = 0.001f, v.decay = 0.18f, v.sustain = 0.0f, v.release = 0.06f;
    v.cutoff = 900, v.envAmount = 6, v.envDecay = 0.07f, v.resonance = 2.0f;
    p.reverbSend = 0.25f;
    p.delaySend = 0.35f;
    p.duck = 0.4f;
  }
  {
    PartSpec& p = set(PLead, "lead", VoiceLead, 0.19f);
    VoiceParams& v = p.params;
    v.attack = 0.008f, v.decay = 0.4f, v.sustain = 0.75f, v.release = 0.18f;
    v.cutoff = 1800, v.envAmount = 2, v.envDecay = 0.2f, v.resonance = 1.2f;
    v.detuneCents = 9, v.width = 0.4f, v.vibratoHz = 5.2f, v.vibratoCents = 18;
    p.reverbSend = 0.3f;
    p.delaySend = 0.25f;
    p.duck = 0.25f;
  }
  {
    PartSpec& p = set(PBell, "bell", VoiceBell, 0.1f);
    VoiceParams& v = p.params;
    v.attack = 0.001f, v.decay = 1.0f, v.sustain = 0.0f, v.release = 0.6f;
    p.reverbSend = 0.5f;
    p.delaySend = 0.35f;
  }
  {
    PartSpec& p = set(PRain, "rain", VoiceNoiseBed, 0.08f);
    VoiceParams& v = p.params;
    v.attack = 1.5f, v.decay = 1.0f, v.sustain = 1.0f, v.release = 2.0f, v.cutoff = 3500;
    p.reverbSend = 0.2f;
    p.duck = 0.3f;
  }
  {
    PartSpec& p = set(PEp, "electric piano", VoiceElectricPiano, 0.3f);
    VoiceParams& v = p.params;
    v.attack = 0.002f, v.decay = 1.6f, v.sustain = 0.0f, v.release = 0.35f;
    v.lfoHz = 3.0f, v.lfoDepth = 0.2f;
    p.reverbSend = 0.3f;
    p.delaySend = 0.1f;
    p.duck = 0.4f;
  }
  return parts;
}

// ---------------------------------------------------------------------------------------
// Harmony. A chord is a bass root (octave 1 or 2) and four voiced tones around middle C.

struct Chord {
  int bass;
  int tones[4];
};
const Chord kAm7 = {33, {57, 60, 64, 67}};
const Chord kAm9 = {33, {55, 59, 60, 64}};
const Chord kFmaj7 = {29, {53, 57, 60, 64}};
const Chord kDm7 = {38, {53, 57, 60, 62}};
const Chord kDm9 = {38, {53, 57, 60, 64}};
const Chord kEm7 = {40, {55, 59, 62, 64}};
const Chord kE7 = {40, {56, 59, 62, 64}};
const Chord kG = {31, {55, 59, 62, 67}};
// Track 2.
const Chord kCmaj7 = {36, {55, 59, 60, 64}};
const Chord kCadd9 = {36, {55, 60, 62, 64}};
const Chord kEm7b = {40, {55, 59, 62, 64}};
const Chord kAm7b = {33, {57, 60, 64, 67}};
const Chord kFmaj7b = {41, {53, 57, 60, 64}};
const Chord kGb = {43, {55, 59, 62, 67}};
const Chord kGsus4 = {43, {55, 60, 62, 67}};
const Chord kDm7b = {38, {53, 57, 60, 62}};

// One bar: its chord, and the chord of its second half where it changes at beat 3.
struct Bar {
  const Chord* first;
  const Chord* second;
};
typedef std::vector<Bar> Progression;

const Progression kNight = {{&kAm7, nullptr}, {&kFmaj7, nullptr}, {&kDm7, nullptr}, {&kEm7, nullptr}};
const Progression kRise = {{&kFmaj7, nullptr}, {&kG, nullptr}, {&kEm7, nullptr}, {&kAm7, nullptr}};
const Progression kDominant = {{&kE7, nullptr}};
const Progression kTurn = {{&kFmaj7, nullptr}, {&kE7, nullptr}};
const Progression kSwellBars = {{&kDm7, nullptr}, {&kFmaj7, nullptr}, {&kE7, nullptr}};
const Progression kPedal = {{&kAm7, nullptr}, {&kAm7, nullptr}, {&kFmaj7, nullptr}, {&kG, nullptr}};
const Progression kDeep = {{&kDm9, nullptr}, {&kDm9, nullptr}, {&kEm7, nullptr}, {&kAm9, nullptr}};
const Progression kLastTurn = {{&kFmaj7, nullptr}, {&kG, nullptr}, {&kE7, nullptr}};
const Progression kHome = {{&kAm9, nullptr}};
const Progression kCloseA = {{&kCmaj7, nullptr}, {&kEm7b, nullptr}, {&kAm7b, nullptr}, {&kFmaj7b, nullptr}};
const Progression kCloseTurn = {{&kGsus4, &kGb}};
const Progression kCloseB = {{&kFmaj7b, nullptr}, {&kGb, nullptr}, {&kEm7b, nullptr},
                             {&kAm7b, nullptr}, {&kDm7b, &kGb}};
const Progression kCloseHome = {{&kCadd9, nullptr}};

// A melody: notes by bar and sixteenth step.
struct MelodyNote {
  int bar, step, steps, pitch;
};
typedef std::vector<MelodyNote> Melody;

// The show's theme, over Am7 F Dm7 Em7, twice; the second ending climbs back up.
const Melody kThemeA = {
    {0, 0, 2, 69}, {0, 3, 2, 72}, {0, 6, 2, 76}, {0, 8, 3, 74}, {0, 11, 3, 72}, {0, 14, 2, 74},
    {1, 0, 6, 72}, {1, 6, 2, 69}, {1, 8, 3, 72}, {1, 11, 5, 76},
    {2, 0, 3, 77}, {2, 3, 3, 76}, {2, 6, 2, 74}, {2, 8, 3, 72}, {2, 11, 3, 74}, {2, 14, 2, 69},
    {3, 0, 6, 71}, {3, 6, 2, 74}, {3, 8, 8, 76},
    {4, 0, 2, 69}, {4, 3, 2, 72}, {4, 6, 2, 76}, {4, 8, 3, 74}, {4, 11, 3, 72}, {4, 14, 2, 74},
    {5, 0, 6, 72}, {5, 6, 2, 69}, {5, 8, 3, 72}, {5, 11, 5, 76},
    {6, 0, 3, 77}, {6, 3, 3, 76}, {6, 6, 2, 74}, {6, 8, 3, 72}, {6, 11, 3, 74}, {6, 14, 2, 76},
    {7, 0, 3, 79}, {7, 3, 3, 76}, {7, 6, 2, 74}, {7, 8, 8, 71},
};
// The answer over F G Em7 Am7.
const Melody kThemeB = {
    {0, 0, 4, 72}, {0, 4, 4, 76}, {0, 8, 2, 77}, {0, 10, 2, 76}, {0, 12, 4, 72},
    {1, 0, 4, 74}, {1, 4, 2, 71}, {1, 6, 2, 74}, {1, 8, 6, 79}, {1, 14, 2, 77},
    {2, 0, 6, 76}, {2, 6, 2, 74}, {2, 8, 4, 71}, {2, 12, 4, 67},
    {3, 0, 2, 69}, {3, 2, 2, 72}, {3, 4, 4, 76}, {3, 8, 8, 81},
};
// Track 2: the closing theme over Cmaj7 Em7 Am7 Fmaj7, twice.
const Melody kCloseThemeA = {
    {0, 0, 6, 76}, {0, 6, 2, 74}, {0, 8, 4, 72}, {0, 12, 4, 67},
    {1, 0, 8, 71}, {1, 8, 4, 74}, {1, 12, 4, 76},
    {2, 0, 6, 72}, {2, 6, 2, 71}, {2, 8, 4, 69}, {2, 12, 4, 76},
    {3, 0, 6, 77}, {3, 6, 2, 76}, {3, 8, 8, 72},
    {4, 0, 6, 76}, {4, 6, 2, 74}, {4, 8, 4, 72}, {4, 12, 4, 67},
    {5, 0, 8, 71}, {5, 8, 4, 74}, {5, 12, 4, 76},
    {6, 0, 6, 72}, {6, 6, 2, 74}, {6, 8, 4, 76}, {6, 12, 4, 79},
    {7, 0, 16, 81},
};
// The credits: over Fmaj7 G Em7 Am7 Dm7-G.
const Melody kCloseThemeB = {
    {0, 0, 6, 81}, {0, 6, 2, 79}, {0, 8, 4, 77}, {0, 12, 4, 76},
    {1, 0, 8, 74}, {1, 8, 4, 71}, {1, 12, 4, 74},
    {2, 0, 6, 79}, {2, 6, 2, 76}, {2, 8, 4, 74}, {2, 12, 4, 71},
    {3, 0, 8, 72}, {3, 8, 8, 76},
    {4, 0, 4, 77}, {4, 4, 4, 76}, {4, 8, 8, 74},
};

// ---------------------------------------------------------------------------------------
// Sections.

enum : uint32_t {
  FKick = 1u << 0,       // four to the floor
  FKickSoft = 1u << 1,   // four to the floor, dull and quiet
  FKickHalf = 1u << 2,   // beat 1 and the "and" of 3
  FClap = 1u << 3,       // beats 2 and 4
  FRim = 1u << 4,        // syncopated rim shots
  FHats16 = 1u << 5,     // closed hats in sixteenths
  FHats8 = 1u << 6,      // closed hats on the off-beats
  FOpenHats = 1u << 7,   // open hats on the off-beats
  FShaker = 1u << 8,
  FConga = 1u << 9,
  FBassOctave = 1u << 10,  // disco octaves in eighths
  FBassRoll = 1u << 11,    // rolling sixteenths between the kicks
  FBassLong = 1u << 12,    // one note per chord
  FBassDeep = 1u << 13,    // syncopated deep line
  FSub = 1u << 14,
  FPad = 1u << 15,
  FSwell = 1u << 16,
  FStrings = 1u << 17,
  FStabs = 1u << 18,
  FArp = 1u << 19,
  FBells = 1u << 20,
  FRain = 1u << 21,
  FEpChords = 1u << 22,
  FEpArp = 1u << 23,
  FCrashIn = 1u << 24,    // crash and impact on the first beat
  FSoftCrash = 1u << 25,  // crash alone, quieter
  FToms = 1u << 26,       // tom fill over the last two beats
  FDropEnd = 1u << 27,    // kick, clap and bass rest for the last two beats
  FSnareRoll = 1u << 28,  // snare roll over the build
  FEpHalf = 1u << 29,     // electric piano chords on beat 1 and the "and" of 2
};

struct Section {
  double start;  // seconds from the start of the track, on the beat grid
  double beats;
  const Progression* progression;
  int progressionBar;  // the progression's bar under the section's first bar
  uint32_t flags;
  float toneFrom, toneTo;  // brightness across the section
  const Melody* melody;
  int melodyBar;   // the melody's bar under the section's first bar
  int melodyPart;  // -1: none
  int buildBeats;  // riser (and snare roll, with FSnareRoll) over the last beats
};

struct Composer {
  Song* song;
  void Add(int part, double beat, double length, float pitch, float velocity, float tone = 1,
           float pan = 0) {
    Note n;
    n.beat = beat;
    n.length = length;
    n.pitch = pitch;
    n.velocity = velocity;
    n.tone = tone;
    n.pan = pan;
    n.part = part;
    song->notes.push_back(n);
  }
  // A drum pattern, one character per sixteenth: X accent, x normal, o ghost, . rest.
  // Repeats from beat0 and stops at endBeat.
  void Steps(int part, double beat0, double endBeat, const char* steps, float pitch,
             float gain = 1, float tone = 1, float pan = 0) {
    int count = (int)std::strlen(steps);
    for (int i = 0;; i++) {
      double beat = beat0 + 0.25 * i;
      if (beat >= endBeat - 1e-9) break;
      char c = steps[i % count];
      float v = c == 'X' ? 1.0f : c == 'x' ? 0.78f : c == 'o' ? 0.45f : 0.0f;
      if (v > 0) Add(part, beat, 0.2, pitch, v * gain, tone, pan);
    }
  }
};

float Lerp(float a, float b, float f) { return a + (b - a) * f; }

void ComposeSection(Composer& c, const Section& s, int sectionIndex) {
  const double startBeat = s.start / kSecondsPerBeat;
  const double endBeat = startBeat + s.beats;
  const int bars = (int)std::ceil(s.beats / 4.0 - 1e-9);
  auto toneAt = [&](double beat) {
    return Lerp(s.toneFrom, s.toneTo, (float)((beat - startBeat) / s.beats));
  };
  // Kick, clap and bass rest before a drop.
  double grooveEnd = (s.flags & FDropEnd) ? endBeat - 2 : endBeat;
  auto chordAt = [&](double beat) -> const Chord& {
    int bar = (int)((beat - startBeat) / 4.0 + 1e-9);
    const Bar& b = (*s.progression)[(size_t)(s.progressionBar + bar) % s.progression->size()];
    double inBar = beat - startBeat - 4.0 * bar;
    return (b.second && inBar >= 2.0 - 1e-9) ? *b.second : *b.first;
  };
  Rng rng(HashSeed(0xbe11u, (uint32_t)sectionIndex));

  // Drums.
  if (s.flags & FKick) c.Steps(PKick, startBeat, grooveEnd, "X...X...X...X...", 33, 1.0f, 1.0f);
  if (s.flags & FKickSoft) c.Steps(PKick, startBeat, grooveEnd, "X...x...X...x...", 33, 0.62f, 0.3f);
  if (s.flags & FKickHalf) c.Steps(PKick, startBeat, grooveEnd, "X.........x.....", 33, 0.7f, 0.4f);
  if (s.flags & FClap) c.Steps(PClap, startBeat, grooveEnd, "....X.......X...", 60, 0.9f);
  if (s.flags & FRim) c.Steps(PRim, startBeat, grooveEnd, "...x..x....x..o.", 60);
  if (s.flags & FHats16) {
    const char* hats = (s.flags & FOpenHats) ? "xo.oxo.oxo.oxo.o" : "xoXoxoXoxoXoxoXo";
    c.Steps(PHat, startBeat, endBeat, hats, 60, 1.0f, toneAt(startBeat) * 0.3f + 0.7f);
  }
  if (s.flags & FHats8) c.Steps(PHat, startBeat, endBeat, "..x...x...x...x.", 60, 0.8f, 0.85f);
  if (s.flags & FOpenHats) c.Steps(POpenHat, startBeat, grooveEnd, "..x...x...x...x.", 60, 0.85f);
  if (s.flags & FShaker) c.Steps(PShaker, startBeat, endBeat, "xoxoxoxoxoxoxoxo", 60, 0.9f);
  if (s.flags & FConga) {
    // Two bars of high, mid and low congas, each drum in its own place in the stereo.
    static const char* kConga[2] = {"..h..hm...h.l.m.", "..h..hm...hhl.l."};
    for (int bar = 0; bar < bars; bar++)
      for (int step = 0; step < 16; step++) {
        double beat = startBeat + 4.0 * bar + 0.25 * step;
        if (beat >= grooveEnd - 1e-9) break;
        char ch = kConga[bar % 2][step];
        if (ch == '.') continue;
        float pitch = ch == 'h' ? 64.0f : ch == 'm' ? 60.0f : 55.0f;
        float pan = ch == 'h' ? 0.45f : ch == 'm' ? -0.1f : -0.45f;
        c.Add(PConga, beat, 0.2, pitch, step % 4 == 2 ? 0.9f : 0.7f, 1.0f, pan);
      }
  }
  if (s.flags & FToms) {
    static const int kFill[8] = {57, 57, 53, 53, 50, 50, 45, 45};
    for (int i = 0; i < 8; i++)
      c.Add(PTom, endBeat - 2.0 + 0.25 * i, 0.2, (float)kFill[i], 0.6f + 0.05f * i, 1.0f,
            0.4f - 0.1f * i);
  }
  if (s.flags & FCrashIn) {
    c.Add(PCrash, startBeat, 1, 60, 0.9f);
    c.Add(PImpact, startBeat, 1, 33, 0.8f);
  }
  if (s.flags & FSoftCrash) c.Add(PCrash, startBeat, 1, 60, 0.45f, 0.7f);
  if (s.buildBeats > 0) {
    double from = endBeat - s.buildBeats;
    c.Add(PRiser, from, s.buildBeats, 60, 1.0f, 1.0f);
    if (s.flags & FSnareRoll) {
      // Eighths, then sixteenths over the last half, louder and higher towards the drop.
      double half = endBeat - s.buildBeats / 2.0;
      for (double beat = from; beat < endBeat - 1e-9;) {
        float f = (float)((beat - from) / s.buildBeats);
        c.Add(PSnare, beat, 0.2, 55.0f + 7.0f * f, 0.3f + 0.7f * f, 0.6f + 0.4f * f);
        beat += (beat < half - 1e-9) ? 0.5 : 0.25;
      }
    }
  }

  // Harmony: one note per chord change for held parts.
  for (int bar = 0; bar < bars; bar++) {
    double barBeat = startBeat + 4.0 * bar;
    for (int half = 0; half < 2; half++) {
      double beat = barBeat + 2.0 * half;
      if (beat >= endBeat - 1e-9) break;
      const Chord& chord = chordAt(beat);
      // A held chord starts where the chord changes and lasts until the next change.
      bool changes = beat == startBeat || &chordAt(beat - 2.0) != &chord;
      if (!changes) continue;
      double until = beat + 2.0;
      while (until < endBeat - 1e-9 && &chordAt(until) == &chord) until += 2.0;
      until = std::min(until, endBeat);
      double length = until - beat;
      float tone = toneAt(beat);
      if (s.flags & FPad)
        for (int t : chord.tones) c.Add(PPad, beat, length, (float)t, 0.8f, tone);
      if (s.flags & FSwell)
        for (int t : chord.tones) c.Add(PSwell, beat, length, (float)t, 0.8f, tone);
      if (s.flags & FStrings)
        for (int t : chord.tones) c.Add(PStrings, beat, length, (float)(t + 12), 0.75f, tone);
      if (s.flags & FSub) c.Add(PSub, beat, length, (float)chord.bass, 0.9f);
      double bassLength = std::min(length, grooveEnd - beat) - 0.1;
      if ((s.flags & FBassLong) && bassLength >= 0.25)
        c.Add(PBass, beat, bassLength, (float)chord.bass, 0.8f, tone * 0.7f);
    }
  }

  // Rhythmic harmony, step by step.
  for (int step = 0;; step++) {
    double beat = startBeat + 0.25 * step;
    if (beat >= endBeat - 1e-9) break;
    const Chord& chord = chordAt(beat);
    int inBar = step % 16;
    float tone = toneAt(beat);
    bool groove = beat < grooveEnd - 1e-9;
    if ((s.flags & FBassOctave) && groove && inBar % 2 == 0) {
      static const int kOctave[8] = {0, 12, 0, 12, 0, 12, 7, 12};
      int o = kOctave[inBar / 2];
      c.Add(PBass, beat, 0.4, (float)(chord.bass + o), o ? 0.75f : 0.95f, tone);
    }
    if ((s.flags & FBassRoll) && groove && inBar % 4 != 0) {
      int o = inBar % 4 == 2 ? 12 : 0;
      c.Add(PBass, beat, 0.2, (float)(chord.bass + o), inBar % 4 == 2 ? 0.9f : 0.7f, tone);
    }
    if ((s.flags & FBassDeep) && groove) {
      static const int kStep[5] = {0, 3, 6, 10, 13}, kLen[5] = {3, 1, 2, 2, 2},
                       kOffset[5] = {0, 0, 12, 7, 10};
      for (int i = 0; i < 5; i++)
        if (kStep[i] == inBar)
          c.Add(PBass, beat, 0.25 * kLen[i] - 0.05, (float)(chord.bass + kOffset[i]),
                i == 0 ? 0.95f : 0.75f, tone);
    }
    if ((s.flags & FStabs) && (inBar == 2 || inBar == 6 || inBar == 10 || inBar == 13)) {
      for (int t : chord.tones) c.Add(PStab, beat, 0.35, (float)t, 0.7f, tone);
      c.Add(PStab, beat, 0.35, (float)(chord.tones[0] + 12), 0.6f, tone);
    }
    if (s.flags & FArp) {
      static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
      int i = kOrder[step % 8];
      int pitch = i == 4 ? chord.tones[0] + 24 : chord.tones[i] + 12;
      c.Add(PArp, beat, 0.2, (float)pitch, inBar % 4 == 0 ? 0.9f : 0.65f, tone,
            step % 2 ? 0.5f : -0.5f);
    }
    if ((s.flags & FEpChords) && (inBar == 0 || inBar == 3 || inBar == 6 || inBar == 10)) {
      double len = inBar == 10 ? 1.4 : 0.6;
      for (int t : chord.tones) c.Add(PEp, beat, len, (float)t, inBar == 0 ? 0.75f : 0.6f, tone);
    }
    if ((s.flags & FEpHalf) && (inBar == 0 || inBar == 6)) {
      double len = inBar == 0 ? 1.4 : 2.4;
      for (int t : chord.tones) c.Add(PEp, beat, len, (float)t, inBar == 0 ? 0.7f : 0.55f, tone);
    }
    if ((s.flags & FEpArp) && inBar % 2 == 0) {
      static const int kOrder[8] = {0, 2, 1, 3, 2, 4, 3, 1};
      int i = kOrder[(inBar / 2) % 8];
      int pitch = i == 4 ? chord.tones[0] + 12 : chord.tones[i];
      c.Add(PEp, beat + 0.5 * 0, 0.45, (float)(pitch + 12), 0.45f, tone,
            inBar % 4 ? 0.3f : -0.3f);
    }
    if ((s.flags & FBells) && inBar % 2 == 0 && rng.Unit() < 0.22f) {
      int pitch = chord.tones[rng.Next() % 4] + 24;
      c.Add(PBell, beat, 0.5, (float)pitch, 0.5f + 0.4f * rng.Unit(), 1.0f,
            1.2f * rng.Unit() - 0.6f);
    }
  }
  if (s.flags & FRain) c.Add(PRain, startBeat, s.beats, 60, 1.0f, toneAt(startBeat));

  // Melody.
  if (s.melody && s.melodyPart >= 0) {
    int melodyBars = 0;
    for (const MelodyNote& m : *s.melody) melodyBars = std::max(melodyBars, m.bar + 1);
    for (int bar = 0; bar < bars; bar++) {
      int mb = (s.melodyBar + bar) % melodyBars;
      for (const MelodyNote& m : *s.melody) {
        if (m.bar != mb) continue;
        double beat = startBeat + 4.0 * bar + 0.25 * m.step;
        if (beat >= endBeat - 1e-9) continue;
        double length = std::min(0.25 * m.steps - 0.05, endBeat - beat);
        c.Add(s.melodyPart, beat, length, (float)m.pitch, m.step % 4 == 0 ? 0.9f : 0.75f,
              toneAt(beat));
      }
    }
  }
}

void ComposeSections(Song* song, const Section* sections, size_t count) {
  Composer c{song};
  for (size_t i = 0; i < count; i++) ComposeSection(c, sections[i], (int)i);
}

}  // namespace

// ---------------------------------------------------------------------------------------

Song ComposeDiscow() {
  Song song;
  song.fileName = "discow.mp3";
  song.title = "Discow";
  song.seconds = 244.0;
  song.parts = StandardParts();
  song.reverbSeconds = 2.4f;
  song.reverbReturn = 0.55f;
  song.delayReturn = 0.5f;
  const uint32_t groove = FKick | FClap | FHats16 | FOpenHats | FBassOctave;
  static const Section kSections[] = {
      // Loading has ended: a pad swells out of the dark for the four-second wait.
      {0, 8, &kNight, 0, FPad, 0.2f, 0.4f, nullptr, 0, -1, 8},
      // Night flight. Logo card, first shot: rain, pads, a distant arpeggio.
      {4, 32, &kNight, 0, FPad | FSub | FRain | FArp | FSoftCrash, 0.3f, 0.5f, nullptr, 0, -1, 0},
      // Second and third shots: the beat arrives, muffled, and opens up.
      {20, 32, &kNight, 0, FKickSoft | FHats8 | FBassLong | FPad | FRain | FArp, 0.45f, 0.75f,
       nullptr, 0, -1, 0},
      {36, 16, &kNight, 0, groove | FPad | FArp | FStabs | FCrashIn, 0.7f, 0.85f, nullptr, 0, -1, 0},
      {44, 4, &kDominant, 0, FKick | FHats16 | FPad | FBassOctave | FSnareRoll | FDropEnd, 0.85f,
       1.0f, nullptr, 0, -1, 4},
      // Title card: the theme over strings, no drums.
      {46, 16, &kNight, 0, FPad | FStrings | FSub | FBassLong | FBells | FCrashIn, 0.75f, 0.85f,
       &kThemeA, 0, PLead, 0},
      {54, 8, &kRise, 0, FPad | FStrings | FArp | FSub | FSnareRoll, 0.6f, 1.0f, nullptr, 0, -1, 8},
      // Jungle: the full groove with congas, then the theme, then the answer.
      {58, 32, &kNight, 0, groove | FShaker | FConga | FPad | FStabs | FCrashIn, 0.8f, 0.9f,
       nullptr, 0, -1, 0},
      {74, 32, &kNight, 0, groove | FShaker | FConga | FStabs | FArp | FPad | FCrashIn, 0.9f, 0.9f,
       &kThemeA, 0, PLead, 0},
      {90, 32, &kRise, 0, groove | FConga | FStrings | FStabs | FArp | FCrashIn, 0.9f, 1.0f,
       &kThemeB, 0, PLead, 0},
      {106, 8, &kTurn, 0, FKick | FHats16 | FConga | FBassOctave | FStrings | FToms | FDropEnd,
       0.9f, 0.8f, nullptr, 0, -1, 4},
      // Swelling balls: no kick, a pad that swells on every beat over a held dominant.
      {110, 12, &kSwellBars, 0, FSwell | FSub | FArp | FSnareRoll | FCrashIn, 0.5f, 1.0f, nullptr,
       0, -1, 4},
      // Tunnel: rolling bass, sixteenths everywhere.
      {116, 24, &kPedal, 0,
       FKick | FClap | FHats16 | FOpenHats | FShaker | FBassRoll | FArp | FStabs | FCrashIn |
           FDropEnd | FSnareRoll,
       0.85f, 1.0f, nullptr, 0, -1, 4},
      // Streamers and sparks: bells and strings over the rising progression.
      {128, 24, &kRise, 0, groove | FShaker | FStrings | FArp | FBells | FCrashIn, 0.9f, 1.0f,
       nullptr, 0, -1, 4},
      // Palace: a breakdown with the theme, a build, then the groove twice.
      {140, 24, &kNight, 0, FPad | FStrings | FBassLong | FHats8 | FShaker | FBells | FCrashIn,
       0.45f, 0.65f, &kThemeA, 0, PLead, 0},
      {152, 8, &kNight, 2, FPad | FStrings | FSub | FHats16 | FSnareRoll, 0.75f, 1.0f, &kThemeA, 6,
       PLead, 8},
      {156, 32, &kNight, 0, groove | FShaker | FPad | FStabs | FArp | FCrashIn, 0.85f, 0.95f,
       &kThemeA, 0, PLead, 0},
      {172, 32, &kRise, 0, groove | FConga | FStrings | FStabs | FArp | FBells | FCrashIn, 0.95f,
       1.0f, &kThemeB, 0, PLead, 0},
      {188, 7, &kTurn, 0, FKick | FHats16 | FBassOctave | FStrings | FSnareRoll | FDropEnd, 1.0f,
       1.0f, nullptr, 0, -1, 7},
      // Bath: deep and warm, electric piano and rim shots.
      {191.5, 48, &kDeep, 0, FKick | FRim | FShaker | FHats8 | FBassDeep | FEpChords | FPad |
                                 FSoftCrash, 0.4f, 0.55f, nullptr, 0, -1, 4},
      // Computer room: everything, with the theme; the last turn lands on the final chord.
      {215.5, 32, &kNight, 0, groove | FShaker | FConga | FStrings | FStabs | FArp | FCrashIn, 0.95f,
       1.0f, &kThemeA, 0, PLead, 0},
      {231.5, 12, &kLastTurn, 0, groove | FStrings | FStabs | FArp | FSnareRoll | FDropEnd, 1.0f,
       1.0f, &kThemeB, 0, PLead, 4},
      {237.5, 13, &kHome, 0, FPad | FStrings | FSub | FBassLong | FCrashIn, 0.8f, 0.6f, nullptr, 0,
       -1, 0},
  };
  ComposeSections(&song, kSections, sizeof kSections / sizeof kSections[0]);
  // The first seconds open from a dark low-pass, as the loading screen's last frame lingers.
  song.masterLowpass = {{0.0, 300.0f}, {3.9, 9000.0f}, {4.0, 20000.0f}};
  song.fadeStart = 239.5;
  song.fadeEnd = 243.6;
  return song;
}

Song ComposeClosing() {
  Song song;
  song.fileName = "vellumar2.mp3";
  song.title = "Vellumar 2";
  song.seconds = 54.0;
  song.parts = StandardParts();
  song.reverbSeconds = 3.4f;
  song.reverbReturn = 0.6f;
  song.delayReturn = 0.45f;
  song.delayFeedback = 0.42f;
  // Softer, rounder voices for the close.
  song.parts[PKick].gain = 0.7f;
  song.parts[PKick].params.decay = 0.12f;
  song.parts[PKick].params.drive = 0.3f;
  song.parts[PRim].gain = 0.16f;
  song.parts[PRim].reverbSend = 0.5f;
  song.parts[PBass].params.cutoff = 500;
  song.parts[PBass].params.envAmount = 1.0f;
  song.parts[PBass].params.resonance = 1.0f;
  song.parts[PBass].params.release = 0.2f;
  song.parts[PBass].duck = 0.25f;
  song.parts[PPad].params.attack = 1.0f;
  song.parts[PPad].params.release = 0.7f;
  song.parts[PPad].duck = 0.2f;
  song.parts[PStrings].params.attack = 0.5f;
  song.parts[PStrings].params.release = 0.6f;
  song.parts[PStrings].duck = 0.15f;
  song.parts[PEp].gain = 0.34f;
  song.parts[PEp].duck = 0.1f;
  song.parts[PEp].reverbSend = 0.4f;
  song.parts[PBell].gain = 0.16f;
  song.parts[PBell].params.decay = 1.4f;
  song.parts[PBell].params.release = 0.9f;
  song.parts[PLead].gain = 0.13f;
  song.parts[PLead].params.cutoff = 1300;
  song.parts[PLead].params.envAmount = 0.8f;
  song.parts[PLead].params.attack = 0.04f;
  song.parts[PLead].duck = 0.1f;
  song.parts[PLead].reverbSend = 0.45f;
  song.parts[PSub].duck = 0.2f;
  static const Section kSections[] = {
      // Pick-up: the scrolling page appears on a swell.
      {0, 2, &kCloseTurn, 0, FPad, 0.4f, 0.45f, nullptr, 0, -1, 2},
      // The page scrolls: electric piano, then the theme on a bell.
      {1, 16, &kCloseA, 0, FPad | FEpHalf | FSub | FRain, 0.45f, 0.55f, nullptr, 0, -1, 0},
      {9, 16, &kCloseA, 0, FPad | FEpHalf | FSub | FRain, 0.55f, 0.6f, &kCloseThemeA, 0, PBell, 0},
      // A soft half-time beat, strings, the whole theme.
      {17, 32, &kCloseA, 0, FPad | FStrings | FEpHalf | FBassLong | FKickHalf | FRim | FShaker |
                               FSoftCrash, 0.6f, 0.75f, &kCloseThemeA, 0, PBell, 0},
      {33, 4, &kCloseTurn, 0, FPad | FStrings | FEpHalf | FBassLong | FShaker, 0.75f, 0.8f, nullptr,
       0, -1, 4},
      // Credits: the theme's answer, the electric piano broken into eighths.
      {35, 20, &kCloseB, 0, FPad | FStrings | FEpHalf | FEpArp | FBassLong | FKickHalf | FRim | FShaker |
                               FCrashIn, 0.8f, 0.9f, &kCloseThemeB, 0, PLead, 0},
      // Home: the last chord rings out under the fade.
      {45, 18, &kCloseHome, 0, FPad | FStrings | FSub | FEpHalf | FSoftCrash, 0.8f, 0.5f, nullptr,
       0, -1, 0},
  };
  ComposeSections(&song, kSections, sizeof kSections / sizeof kSections[0]);
  // The melody's last note, doubled an octave up on the bell.
  Composer c{&song};
  c.Add(PBell, 45.0 / kSecondsPerBeat, 4, 84, 0.7f);
  c.Add(PBell, 45.0 / kSecondsPerBeat, 4, 76, 0.6f);
  song.fadeStart = 46.5;
  song.fadeEnd = 53.6;
  return song;
}

}  // namespace music
