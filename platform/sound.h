// platform/sound.h - sound output and streamed MP3 playback.
//
// Owns: the audio device (SDL), one mixing channel (channel 0) with its volume, MP3
// streams decoded with libmpg123 on a decoder thread of their own, and a flag that stands
// for a spectrum analyser (kept only as a switch: nothing computes or reads a spectrum).
//
// The device runs at 44100 Hz, 16-bit signed, stereo; SDL converts if the hardware wants
// something else. Each stream is decoded to 16-bit stereo at its own rate (mono doubled)
// and resampled to 44100 Hz when its rate differs. Decoding never runs on the caller's
// thread: the calls below only post a request or set a value and return at once. A file
// is read while it plays, a few tenths of a second ahead of the output.
//
// Reads: MP3 files by the path given. Called by: the music (timeline/music.h), from the
// main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum { SoundMixRate = 44100 };

struct SoundStream;  // opaque; owned by the sound layer

// Opens the default audio device and starts the decoder thread. False when there is no
// device (no driver, no hardware): the layer then stays silent and every call below is
// harmless.
bool SoundInit(int mixRate);
// Stops output, the decoder thread and every stream (closing them). Safe when not started.
void SoundClose();
bool SoundStarted();

// The spectrum-analyser switch.
void SoundSetAnalyserActive(bool active);
bool SoundAnalyserActive();

// Opens a stream on the file, ready to play from its start. Null when the layer is not
// started or the file cannot be opened. A file that opens but does not decode plays as
// silence.
SoundStream* SoundOpenStream(const char* path);
// Plays the stream from its start on the channel, replacing whatever played there; the
// channel's volume goes back to 255. Only channel 0 exists. A null stream or another
// channel does nothing. When the stream ends the channel falls silent.
void SoundPlay(int channel, SoundStream* stream);
// Stops the stream if it is what the channel plays (it stays open and can play again).
void SoundStop(SoundStream* stream);
// Closes the stream (stopping it first); the handle is invalid afterwards.
void SoundCloseStream(SoundStream* stream);
// Channel volume 0 to 255 (clamped), applied linearly to the samples from the next
// output buffer on.
void SoundSetVolume(int channel, int volume);

// Decodes a whole MP3 file at once on the caller's thread, for tools that mix offline:
// interleaved 16-bit stereo at `mixRate` (mono doubled, other rates resampled), at most
// `maxFrames` frames (the rest of the file is not read). Works whether or not the layer
// is started. False when the file cannot be opened or does not decode; `samples` then
// holds what decoded before the fault (often nothing).
bool SoundDecodeFile(const char* path, int mixRate, size_t maxFrames,
                     std::vector<int16_t>* samples);
