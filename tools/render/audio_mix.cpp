// tools/render/audio_mix.cpp - planning and mixing the music for a capture.
#include "tools/render/audio_mix.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "platform/platform.h"
#include "platform/sound.h"

std::vector<MusicSegment> PlanMusic(const std::vector<MusicEvent>& events) {
  std::vector<MusicSegment> plan;
  bool open = false;  // the last segment still plays
  for (const MusicEvent& e : events) {
    double ms = e.ticks;
    if (open && e.type != MusicEventVolume) {
      plan.back().endMs = ms;
      open = false;
    }
    switch (e.type) {
      case MusicEventPlay: {
        MusicSegment s;
        s.file = e.file;
        s.startMs = ms;
        s.volumes.push_back({ms, 255});
        plan.push_back(s);
        open = true;
        break;
      }
      case MusicEventVolume:
        // A volume set while nothing plays still holds for the channel, but the next
        // play sets 255 again, so only a playing segment cares.
        if (open) plan.back().volumes.push_back({ms, e.volume});
        break;
      case MusicEventStop:
      case MusicEventSoundOff:
        break;
    }
  }
  return plan;
}

void AlignSegmentAt(std::vector<MusicSegment>* plan, double clockMs, double positionMs) {
  for (MusicSegment& s : *plan) {
    bool playing = s.startMs <= clockMs && (s.endMs < 0 || s.endMs > clockMs);
    if (!playing) continue;
    double shift = (clockMs - positionMs) - s.startMs;
    s.startMs += shift;
    // Volume changes before the clock hold from the (new) start; later ones keep their time.
    for (VolumeChange& v : s.volumes)
      if (v.ms <= clockMs) v.ms = std::min(v.ms + shift, clockMs);
    return;
  }
}

bool PlatformTrackDecoder(const std::string& file, int rate, size_t maxFrames,
                          std::vector<int16_t>* samples) {
  return SoundDecodeFile(file.c_str(), rate, maxFrames, samples);
}

namespace {
// The frame of the mix at which something at show time `ms` happens.
long FrameAt(double ms, double originMs, int rate) {
  return lround((ms - originMs) * rate / 1000.0);
}
}  // namespace

std::vector<int16_t> MixMusic(const std::vector<MusicSegment>& plan, double originMs,
                              size_t frames, int rate, const TrackDecoder& decode) {
  std::vector<int16_t> out(frames * 2, 0);
  std::map<std::string, std::vector<int16_t>> tracks;
  std::map<std::string, size_t> decodedFor;  // how many frames each decode was asked for
  for (const MusicSegment& s : plan) {
    long start = FrameAt(s.startMs, originMs, rate);
    long end = s.endMs < 0 ? (long)frames : std::min((long)frames, FrameAt(s.endMs, originMs, rate));
    long from = std::max(0L, start);
    if (end <= from) continue;
    // Only the part of the file that reaches the end of this segment is decoded.
    size_t needed = (size_t)(end - start);
    auto found = decodedFor.find(s.file);
    if (found == decodedFor.end() || found->second < needed) {
      std::vector<int16_t> samples;
      if (!decode(s.file, rate, needed, &samples) && samples.empty())
        LogWarn("render", "%s: no music from this file; it plays as silence", s.file.c_str());
      tracks[s.file] = std::move(samples);
      decodedFor[s.file] = needed;
    }
    const std::vector<int16_t>& track = tracks[s.file];
    size_t trackFrames = track.size() / 2;
    size_t change = 0;
    int volume = 255;
    for (long f = from; f < end; f++) {
      while (change < s.volumes.size() && FrameAt(s.volumes[change].ms, originMs, rate) <= f)
        volume = s.volumes[change++].volume;
      size_t at = (size_t)(f - start);
      if (at >= trackFrames) break;  // the track has ended: silence till the segment ends
      out[(size_t)f * 2] = (int16_t)(track[at * 2] * volume / 255);
      out[(size_t)f * 2 + 1] = (int16_t)(track[at * 2 + 1] * volume / 255);
    }
  }
  return out;
}

namespace {
void Put16(FILE* f, unsigned v) {
  fputc(v & 0xff, f);
  fputc((v >> 8) & 0xff, f);
}
void Put32(FILE* f, uint32_t v) {
  Put16(f, v & 0xffff);
  Put16(f, v >> 16);
}
}  // namespace

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  uint32_t bytes = (uint32_t)std::min<size_t>(samples.size() * 2, 0xffffffffu - 36);
  fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, 2);  // stereo
  Put32(f, (uint32_t)rate);
  Put32(f, (uint32_t)rate * 4);
  Put16(f, 4);
  Put16(f, 16);
  fwrite("data", 1, 4, f);
  Put32(f, bytes);
  for (size_t i = 0; i < bytes / 2; i++) Put16(f, (uint16_t)samples[i]);
  bool ok = !ferror(f);
  return fclose(f) == 0 && ok;
}
