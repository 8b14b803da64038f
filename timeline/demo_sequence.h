// timeline/demo_sequence.h - the running order of the show.
//
// Owns: RunDemo, which plays the show's stages in order and returns when the last has
// ended or Escape cut the show short. Called by start-up after the window, the context
// and the sound exist.
#pragma once

void RunDemo();

// The stand-in stage: a few seconds of the frame services over generated pictures.
// Returns its length in seconds.
float StandInStageLength();
void RunStandInStage();
