// tools/bake/music/render.cpp - the sequencer's renderer: notes into chunks, chunks into
// a track, then the effect returns (delay, reverb), sidechain, master filter, end fade,
// loudness and the limiter.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/bake/music/synth.h"

namespace music {

namespace {
constexpr double kChunkSeconds = 16.0;  // eight bars: ~16 chunks for the long track

int64_t FrameOf(double seconds) { return (int64_t)std::llround(seconds * kSampleRate); }

// The gain that a kick at t = 0 leaves: a 3 ms fall to the full depth, then a smooth
// recovery over a quarter of a second, back before the next beat.
float DuckShape(float t) {
  const float fall = 0.003f, recover = 0.24f;
  if (t < 0) return 1.0f;
  if (t < fall) return 1.0f - t / fall;
  t -= fall;
  if (t >= recover) return 1.0f;
  return 1.0f - 0.5f * (1.0f + std::cos(kPi * t / recover));
}

// Feedback delay network reverb: eight delay lines mixed by a Hadamard matrix, damped per
// line, after a pre-delay and four diffusing all-passes. Mono in, stereo out.
struct Reverb {
  static constexpr int kLines = 8;
  std::vector<float> line[kLines];
  int length[kLines];
  float feedback[kLines];
  OnePole damp[kLines];
  int pos = 0;
  std::vector<float> pre;
  int prePos = 0;
  struct Allpass {
    std::vector<float> buffer;
    int pos = 0;
    float gain = 0.6f;
    float Run(float x) {
      float d = buffer[(size_t)pos];
      float y = d - gain * x;
      buffer[(size_t)pos] = x + gain * y;
      if (++pos == (int)buffer.size()) pos = 0;
      return y;
    }
  } diffuser[4];
  OnePole inLow, inHigh;

  explicit Reverb(float seconds) {
    static const int kLength[kLines] = {1327, 1601, 1873, 2113, 2347, 2617, 2903, 3209};
    static const int kDiffuser[4] = {142, 379, 107, 277};
    for (int i = 0; i < kLines; i++) {
      length[i] = kLength[i];
      line[i].assign(4096, 0.0f);
      feedback[i] = std::pow(10.0f, -3.0f * length[i] / (seconds * kSampleRate));
      damp[i].SetCutoff(6500);
    }
    for (int i = 0; i < 4; i++) diffuser[i].buffer.assign((size_t)kDiffuser[i], 0.0f);
    pre.assign((size_t)(0.022 * kSampleRate), 0.0f);
    inLow.SetCutoff(7500);
    inHigh.SetCutoff(220);  // keeps the low end out of the tail
  }

  void Run(float x, float& outL, float& outR) {
    float delayed = pre[(size_t)prePos];
    pre[(size_t)prePos] = x;
    if (++prePos == (int)pre.size()) prePos = 0;
    float in = inHigh.High(inLow.Low(delayed));
    for (Allpass& a : diffuser) in = a.Run(in);
    float y[kLines];
    for (int i = 0; i < kLines; i++)
      y[i] = damp[i].Low(line[i][(size_t)((pos - length[i]) & 4095)]);
    // Fast Hadamard transform, scaled to stay orthogonal.
    float h[kLines];
    for (int i = 0; i < kLines; i++) h[i] = y[i];
    for (int span = 1; span < kLines; span *= 2)
      for (int i = 0; i < kLines; i += 2 * span)
        for (int j = i; j < i + span; j++) {
          float a = h[j], b = h[j + span];
          h[j] = a + b;
          h[j + span] = a - b;
        }
    const float scale = 0.35355339f;  // 1 / sqrt(8)
    for (int i = 0; i < kLines; i++)
      line[i][(size_t)pos] = in + feedback[i] * h[i] * scale;
    pos = (pos + 1) & 4095;
    // Two orthogonal mixes of the lines: left and right tails are uncorrelated.
    outL = 0.4f * (y[0] - y[1] + y[2] - y[3] + y[4] - y[5] + y[6] - y[7]);
    outR = 0.4f * (y[0] + y[1] - y[2] - y[3] + y[4] + y[5] - y[6] - y[7]);
  }
};

// Ping-pong delay: echoes alternate left and right, each a little darker than the last.
void RunDelay(const Song& song, const std::vector<float>& send, std::vector<float>& left,
              std::vector<float>& right) {
  int64_t frames = (int64_t)send.size();
  int delay = (int)std::llround(song.delayBeats * kSecondsPerBeat * kSampleRate);
  if (delay < 1) return;
  std::vector<float> bufL((size_t)delay, 0.0f), bufR((size_t)delay, 0.0f);
  OnePole low, high;
  low.SetCutoff(4500);
  high.SetCutoff(280);
  int pos = 0;
  for (int64_t i = 0; i < frames; i++) {
    float l = bufL[(size_t)pos], r = bufR[(size_t)pos];
    float in = high.High(send[(size_t)i]);
    bufL[(size_t)pos] = in + song.delayFeedback * low.Low(r);
    bufR[(size_t)pos] = song.delayFeedback * l;
    if (++pos == delay) pos = 0;
    left[(size_t)i] += song.delayReturn * l;
    right[(size_t)i] += song.delayReturn * r;
  }
}

float Automation(const std::vector<AutomationPoint>& points, double t) {
  if (t <= points.front().seconds) return points.front().value;
  if (t >= points.back().seconds) return points.back().value;
  for (size_t i = 1; i < points.size(); i++)
    if (t < points[i].seconds) {
      const AutomationPoint& a = points[i - 1];
      const AutomationPoint& b = points[i];
      double f = (t - a.seconds) / (b.seconds - a.seconds);
      // Cutoffs move evenly in octaves, as the ear hears them.
      return (float)std::exp2(std::log2(a.value) + f * (std::log2(b.value) - std::log2(a.value)));
    }
  return points.back().value;
}

void MasterLowpass(const Song& song, std::vector<float>& left, std::vector<float>& right) {
  if (song.masterLowpass.size() < 2) return;
  int64_t begin = std::max<int64_t>(0, FrameOf(song.masterLowpass.front().seconds));
  int64_t end = std::min<int64_t>((int64_t)left.size(), FrameOf(song.masterLowpass.back().seconds));
  Svf fl, fr;
  for (int64_t i = begin; i < end; i++) {
    if ((i - begin) % 32 == 0) {
      float hz = Automation(song.masterLowpass, (double)i / kSampleRate);
      fl.Set(hz, 0.9f);
      fr.Set(hz, 0.9f);
    }
    left[(size_t)i] = fl.Low(left[(size_t)i]);
    right[(size_t)i] = fr.Low(right[(size_t)i]);
  }
}
}  // namespace

void PrepareSongRender(const Song& song, double untilSeconds, SongRender* render) {
  render->song = &song;
  double seconds = song.seconds;
  if (untilSeconds > 0 && untilSeconds < seconds) seconds = untilSeconds;
  render->frames = FrameOf(seconds);
  int chunkCount = (int)std::ceil(seconds / kChunkSeconds);
  render->chunks.assign((size_t)std::max(chunkCount, 1), SongChunk{});
  for (size_t c = 0; c < render->chunks.size(); c++)
    render->chunks[c].firstFrame = FrameOf((double)c * kChunkSeconds);
  int64_t chunkFrames = FrameOf(kChunkSeconds);
  render->duck.assign((size_t)render->frames, 1.0f);
  for (size_t n = 0; n < song.notes.size(); n++) {
    const Note& note = song.notes[n];
    if (note.part < 0 || note.part >= (int)song.parts.size()) continue;
    int64_t start = FrameOf(note.beat * kSecondsPerBeat);
    if (start < 0 || start >= render->frames) continue;
    render->chunks[(size_t)std::min<int64_t>(start / chunkFrames, chunkCount - 1)].notes.push_back((int)n);
    if (song.parts[(size_t)note.part].drivesDuck) {
      // Where kicks overlap, the deeper duck wins.
      int64_t span = FrameOf(0.3);
      for (int64_t i = 0; i < span && start + i < render->frames; i++) {
        float g = 1.0f - note.velocity * (1.0f - DuckShape((float)i / kSampleRate));
        float& d = render->duck[(size_t)(start + i)];
        d = std::min(d, g);
      }
    }
  }
}

void RenderSongChunk(SongRender* render, int chunkIndex) {
  FlushDenormals flush;
  const Song& song = *render->song;
  SongChunk& chunk = render->chunks[(size_t)chunkIndex];
  int64_t end = chunk.firstFrame;
  for (int n : chunk.notes) {
    const Note& note = song.notes[(size_t)n];
    const PartSpec& part = song.parts[(size_t)note.part];
    int64_t start = FrameOf(note.beat * kSecondsPerBeat);
    end = std::max(end, start + NoteFrames(part.voice, part.params, note));
  }
  end = std::min(end, render->frames);
  size_t span = (size_t)std::max<int64_t>(0, end - chunk.firstFrame);
  chunk.dryL.assign(span, 0.0f);
  chunk.dryR.assign(span, 0.0f);
  chunk.reverbSend.assign(span, 0.0f);
  chunk.delaySend.assign(span, 0.0f);
  std::vector<float> scratchL, scratchR;
  for (int n : chunk.notes) {
    const Note& note = song.notes[(size_t)n];
    const PartSpec& part = song.parts[(size_t)note.part];
    int64_t start = FrameOf(note.beat * kSecondsPerBeat);
    int frames = (int)std::min<int64_t>(NoteFrames(part.voice, part.params, note), end - start);
    if (frames <= 0) continue;
    scratchL.resize((size_t)frames);
    scratchR.resize((size_t)frames);
    RenderVoice(part.voice, part.params, note, HashSeed((uint32_t)n, (uint32_t)note.part),
                scratchL.data(), scratchR.data(), frames);
    float pan = std::clamp(part.pan + note.pan, -1.0f, 1.0f);
    // Balance for stereo voices, constant power for the centre.
    float gl = part.gain * note.velocity * std::sqrt(1.0f - pan) * 1.41421356f * 0.70710678f;
    float gr = part.gain * note.velocity * std::sqrt(1.0f + pan) * 1.41421356f * 0.70710678f;
    size_t offset = (size_t)(start - chunk.firstFrame);
    const float* duck = render->duck.data() + start;
    for (int i = 0; i < frames; i++) {
      float d = part.duck > 0 ? 1.0f - part.duck * (1.0f - duck[i]) : 1.0f;
      float l = scratchL[(size_t)i] * gl * d, r = scratchR[(size_t)i] * gr * d;
      size_t o = offset + (size_t)i;
      chunk.dryL[o] += l;
      chunk.dryR[o] += r;
      float mono = 0.5f * (l + r);
      chunk.reverbSend[o] += mono * part.reverbSend;
      chunk.delaySend[o] += mono * part.delaySend;
    }
  }
}

void FinishSongRender(SongRender* render, RenderedTrack* out) {
  FlushDenormals flush;
  const Song& song = *render->song;
  size_t frames = (size_t)render->frames;
  std::vector<float>& left = out->left;
  std::vector<float>& right = out->right;
  left.assign(frames, 0.0f);
  right.assign(frames, 0.0f);
  std::vector<float> reverbSend(frames, 0.0f), delaySend(frames, 0.0f);
  for (SongChunk& chunk : render->chunks) {
    size_t first = (size_t)chunk.firstFrame;
    for (size_t i = 0; i < chunk.dryL.size() && first + i < frames; i++) {
      left[first + i] += chunk.dryL[i];
      right[first + i] += chunk.dryR[i];
      reverbSend[first + i] += chunk.reverbSend[i];
      delaySend[first + i] += chunk.delaySend[i];
    }
    chunk = SongChunk{};  // frees the chunk's buffers
  }
  RunDelay(song, delaySend, left, right);
  {
    Reverb reverb(song.reverbSeconds);
    for (size_t i = 0; i < frames; i++) {
      float rl, rr;
      reverb.Run(reverbSend[i], rl, rr);
      float d = 1.0f - song.reverbDuck * (1.0f - render->duck[i]);
      left[i] += rl * song.reverbReturn * d;
      right[i] += rr * song.reverbReturn * d;
    }
  }
  MasterLowpass(song, left, right);
  // Rumble and offset below 25 Hz go: the kick and bass sit above.
  Svf highL, highR;
  highL.Set(25, 0.707f);
  highR.Set(25, 0.707f);
  for (size_t i = 0; i < frames; i++) {
    left[i] = highL.High(left[i]);
    right[i] = highR.High(right[i]);
  }
  bool fades = song.fadeEnd > song.fadeStart && (double)frames >= FrameOf(song.fadeEnd) - 1;
  if (fades) {
    int64_t a = FrameOf(song.fadeStart), b = FrameOf(song.fadeEnd);
    for (size_t i = (size_t)std::max<int64_t>(a, 0); i < frames; i++) {
      float g = 0;
      if ((int64_t)i < b) {
        float x = (float)((int64_t)i - a) / (float)(b - a);
        g = 0.5f * (1.0f + std::cos(kPi * x));  // raised cosine: no corner at either end
      }
      left[i] *= g;
      right[i] *= g;
    }
  }
  // Loudness: the gain before the limiter is found by measuring, limiting and measuring
  // again, since limiting takes some loudness away. Three rounds settle within 0.1 LU.
  float ceiling = DbToGain(song.peakCeiling);
  double raw = MeasureLoudness(left.data(), right.data(), (int64_t)frames);
  float gainDb = raw > -100 ? (float)(song.loudnessTarget - raw) : 0.0f;
  std::vector<float> peaks, workL(frames), workR(frames);
  FramePeaks(left.data(), right.data(), (int64_t)frames, &peaks);
  double measured = raw;
  for (int round = 0; round < 3; round++) {
    LimitScaled(left.data(), right.data(), peaks.data(), (int64_t)frames, DbToGain(gainDb),
                ceiling, workL.data(), workR.data());
    measured = MeasureLoudness(workL.data(), workR.data(), (int64_t)frames);
    if (measured < -100 || std::fabs(measured - song.loudnessTarget) < 0.05 || round == 2)
      break;
    gainDb += (float)(song.loudnessTarget - measured);
  }
  {
    float g = DbToGain(gainDb), deepest = 1;
    int64_t limited = 0;
    for (size_t i = 0; i < frames; i++) {
      float p = peaks[i] * g;
      if (p > ceiling) {
        deepest = std::min(deepest, ceiling / p);
        if (ceiling / p < 0.891f) limited++;
      }
    }
    out->deepestLimitDb = 20.0f * std::log10(deepest);
    out->limitedShare = frames ? (float)limited / (float)frames : 0.0f;
  }
  left.swap(workL);
  right.swap(workR);
  out->loudness = measured;
  out->gainDb = gainDb;
  float peak = 0;
  for (size_t i = 0; i < frames; i++)
    peak = std::max(peak, std::max(std::fabs(left[i]), std::fabs(right[i])));
  out->peak = peak;
}

void RenderSong(const Song& song, double untilSeconds, RenderedTrack* out) {
  SongRender render;
  PrepareSongRender(song, untilSeconds, &render);
  for (int c = 0; c < (int)render.chunks.size(); c++) RenderSongChunk(&render, c);
  FinishSongRender(&render, out);
}

}  // namespace music
