// timeline/music_log.h - what the music did, and when, on the show's clock.
//
// Owns: a list of music events (a track started, the channel stopped, its volume set,
// the sound switched off), each stamped with PlatformTicks. The music layer
// (timeline/music.cpp) adds an event for every call that reaches the sound output; a
// call that does nothing (sound not started) adds none. Recording is off until a tool
// switches it on, so the show itself keeps nothing.
// Read by: the offline renderer, which mixes the decoded tracks into its video's sound
// track by these times. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum MusicEventType {
  MusicEventPlay,    // `file` starts from its beginning on channel 0, volume back to 255
  MusicEventStop,    // channel 0 falls silent
  MusicEventVolume,  // channel 0's volume becomes `volume` (0 to 255)
  MusicEventSoundOff // the sound output is closed: silence from here on
};

struct MusicEvent {
  MusicEventType type = MusicEventPlay;
  uint32_t ticks = 0;  // PlatformTicks when the call was made
  std::string file;    // MusicEventPlay only: the name handed to PlayMusic
  int volume = 255;    // the channel's volume after the event
};

// Starts (and clears) or stops the recording.
void MusicLogEnable(bool enabled);
bool MusicLogEnabled();
void MusicLogClear();
const std::vector<MusicEvent>& MusicLogEvents();
// Called by the music layer.
void MusicLogAdd(MusicEventType type, const char* file, int volume);
