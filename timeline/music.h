// timeline/music.h - the show's music: two MP3 tracks streamed one after the other.
//
// Owns: the flag that says whether sound was started, and the stream the last PlayMusic
// opened. A thin layer over the sound output of platform/sound.h: one stream at a time on
// channel 0, volume 0 to 255. Without a sound device, or with a track missing, the show
// runs on in silence; nothing here reports a failure.
// Called by: start-up (StartSound), the end of loading and the demo sequence (PlayMusic,
// StopMusic, SetVolume), the release step (StopMusic), shut-down (StopSound). Main thread.
#pragma once

struct SoundStream;

// True between StartSound and StopSound, whether or not a device could be opened.
extern bool SoundEnabled;
// The stream opened by the last PlayMusic; null when its file could not be opened.
extern SoundStream* MusicStream;

// Starts the sound output at 44100 Hz and switches the analyser unit on; sets SoundEnabled
// even when no device opened (the show is then silent).
void StartSound();
// Switches the analyser unit off, stops the output and every stream; clears SoundEnabled.
void StopSound();
// Only while SoundEnabled: opens the MP3 file (plain name, current directory) and plays it
// from its start on channel 0, replacing what played there, at full volume.
void PlayMusic(const char* fileName);
// Only while SoundEnabled: stops MusicStream (it stays open).
void StopMusic();
// Volume of a channel, 0 to 255, applied linearly; only channel 0 carries sound.
void SetVolume(int channel, int volume);
