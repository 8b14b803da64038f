// scenes/computer_room.h - the computer room, 22 s (RunComputerRoom in scenes/scenes.h).
//
// Owns: the computer room's frame. Everything in it is drawn by the grid renderer; the
// scene sets the stage (almost clear black fog, no sky box, a view range of 8 cells) and
// darkens the last 2 s. Fog is switched off when the scene ends, however it ends.
// Reads: ComputerScene, ComputerGrid (assets/manifest.h).
// Called by: RunComputerRoom (once per frame), and tests that draw single frames.
#pragma once

#include "timeline/demo_timer.h"

void DrawComputerRoomFrame(const DemoTimer& timer);
