// timeline/music.h - the show's music.
//
// Owns: the sound output and the two streamed tracks. Called by start-up (StartSound),
// the demo sequence (track changes) and shut-down (StopSound).
#pragma once

void StartSound();
void StopSound();
