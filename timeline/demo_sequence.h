// timeline/demo_sequence.h - the running order of the show and the release at its end.
//
// Owns: RunDemo, which loads everything, plays the ten scenes in order with the change of
// music before the last two, and releases what loading made; and ReleaseAssets, which
// destroys every loaded global once. The sequence has no clock of its own and never skips
// a call: after Escape every later scene still runs its set-up and leaves its loop at the
// first test, so the show passes straight on to the release.
// Reads and writes: the loaded globals (assets/manifest.h), the music (timeline/music.h).
// Called by: start-up (app/launcher.h) after the window, the context and the sound exist;
// the offline renderer; tests (ReleaseAssets also on globals they made themselves).
#pragma once

void RunDemo();

// Destroys every loaded global in the fixed order (each scene before the grid built from
// it, RaptorModel before the grid that holds it) and stops the music. Each pointer is
// left null, so a second call changes nothing; a null global is skipped. Texture objects
// stay until the context goes.
void ReleaseAssets();
