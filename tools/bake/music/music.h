// tools/bake/music/music.h - the baker's music step: composes, renders, masters and
// encodes the show's two tracks, "discow.mp3" and "vellumar2.mp3".
//
// Owns: the bake of both tracks on a small pool of threads, and the MP3 encoding (LAME,
// 44100 Hz joint stereo, 192 kbit/s constant bit rate, ID3v2 and ID3v1 tags naming the
// track, and the encoder-delay header that lets decoders trim the padding).
// Reads: nothing; the arrangements are data in code (songs.cpp), the synthesiser is
// seeded, so every bake writes the same bytes.
// Called by: the baker's main program (BakeMusicTracks), the music tool
// (vellumar2-music) and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes outDir/discow.mp3 and outDir/vellumar2.mp3. False, with a reason in *error,
// when a file cannot be written or the encoder fails; outDir must exist.
bool BakeMusicTracks(const std::string& outDir, std::string* error);

enum MusicTrackId { MusicTrackDiscow = 0, MusicTrackClosing = 1, MusicTrackCount = 2 };

struct MusicTrackInfo {
  const char* fileName;
  const char* title;
  double seconds;
};
MusicTrackInfo MusicTrackDescription(MusicTrackId track);

struct MusicSamples {
  std::vector<float> left, right;  // 44100 Hz, full scale +-1
  double loudness = 0;             // integrated, LUFS
  float peak = 0;                  // sample peak, linear
  float deepestLimitDb = 0;        // the limiter's largest gain reduction, dB
  float limitedShare = 0;          // share of frames turned down by more than 1 dB
};

// Renders and masters one track on `threads` threads (0: as many as the machine has).
// untilSeconds > 0 renders only the start of the track: quick checks of the whole chain.
void RenderMusicTrack(MusicTrackId track, double untilSeconds, int threads, MusicSamples* out);

struct Mp3Tags {
  std::string title, artist, album;
};
// Encodes stereo samples as MP3 (see above). The same samples give the same bytes.
bool EncodeMp3(const std::vector<float>& left, const std::vector<float>& right,
               const Mp3Tags& tags, std::vector<uint8_t>* mp3, std::string* error);

// Like BakeMusicTracks, on `threads` threads (0: as many as the machine has), and also
// handing back the mastered samples when samples is non-null.
bool BakeMusicTracksWith(const std::string& outDir, int threads,
                         MusicSamples samples[MusicTrackCount], std::string* error);
