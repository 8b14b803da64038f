// tools/render/audio_mix.h - the video's sound track, mixed from the music's event list.
//
// Owns: turning the music events (timeline/music_log.h) into segments (one track playing
// from a time, with its volume changes, until stopped or replaced), mixing the decoded
// tracks over a stretch of the show's clock into 16-bit stereo as the sound output would
// have played it (one channel, volume applied linearly, silence where nothing plays), and
// writing that as a WAV file.
// Reads: the MP3 files through the platform's decoder (platform/sound.h), or a decoder
// handed in by tests. Called by: tools/render/video.cpp and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "timeline/music_log.h"

struct VolumeChange {
  double ms;  // show clock
  int volume;
};

struct MusicSegment {
  std::string file;
  double startMs = 0;      // the show clock at which the file's first sample plays
  double endMs = -1;       // the clock at which it falls silent; negative: never
  std::vector<VolumeChange> volumes;  // in time order, the first at startMs with 255
};

std::vector<MusicSegment> PlanMusic(const std::vector<MusicEvent>& events);

// Shifts the segment that plays at `clockMs` so that it is `positionMs` into its file
// there (a scene played alone hears the music it has in the whole show).
void AlignSegmentAt(std::vector<MusicSegment>* plan, double clockMs, double positionMs);

// Decodes a whole file into interleaved stereo at `rate`, at most maxFrames frames.
typedef std::function<bool(const std::string& file, int rate, size_t maxFrames,
                           std::vector<int16_t>* samples)>
    TrackDecoder;
bool PlatformTrackDecoder(const std::string& file, int rate, size_t maxFrames,
                          std::vector<int16_t>* samples);

// Mixes `frames` stereo frames at `rate`, frame 0 at the show clock `originMs`. A file
// that does not decode plays as silence (after a warning). Returns the samples.
std::vector<int16_t> MixMusic(const std::vector<MusicSegment>& plan, double originMs,
                              size_t frames, int rate, const TrackDecoder& decode);

// 16-bit stereo PCM WAV. False when the file cannot be written.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate);
