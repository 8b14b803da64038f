// timeline/music.cpp - the music layer over the platform's sound output.
#include "timeline/music.h"

#include "platform/sound.h"
#include "timeline/music_log.h"

bool SoundEnabled = false;
SoundStream* MusicStream = nullptr;

void StartSound() {
  // The result is not acted on: a machine without sound plays the show in silence, and
  // every later call finds no device and does nothing.
  SoundInit(SoundMixRate);
  SoundSetAnalyserActive(true);
  SoundEnabled = true;
}

void StopSound() {
  SoundSetAnalyserActive(false);
  SoundClose();  // closes every stream, MusicStream among them
  if (SoundEnabled) MusicLogAdd(MusicEventSoundOff, nullptr, 0);
  MusicStream = nullptr;
  SoundEnabled = false;
}

void PlayMusic(const char* fileName) {
  if (!SoundEnabled) return;
  // The stream before is no longer played by anyone; its file and decoder go with it.
  if (MusicStream) SoundCloseStream(MusicStream);
  MusicStream = SoundOpenStream(fileName);
  SoundPlay(0, MusicStream);
  MusicLogAdd(MusicEventPlay, fileName, 255);
}

void StopMusic() {
  if (!SoundEnabled) return;
  SoundStop(MusicStream);
  MusicLogAdd(MusicEventStop, nullptr, 0);
}

void SetVolume(int channel, int volume) {
  SoundSetVolume(channel, volume);
  // Only channel 0 carries sound, and only a started layer has a channel at all.
  if (SoundEnabled && channel == 0) MusicLogAdd(MusicEventVolume, nullptr, volume);
}
