// scenes/water_credits.h - the end credits over rippling water, 15 s (RunWaterCredits in
// scenes/scenes.h).
//
// Owns: the water state of the scene (velocity and height grids, the vertex grid, the
// last drop time), the drop of a stone, one simulation step and the drawing of the patch,
// and the scene's frame: the water seen from above, the whole picture turned negative, the
// two credit lines printed in front of it, a fade in over 2 s and out over the last 5 s.
// The ripples move one simulation step per drawn frame; only the drops follow the clock.
// Reads: TextureTable slot 23, the outline font (effects/font.h).
// Called by: RunWaterCredits (once per frame), and tests that step and look at the water.
#pragma once

#include "engine/scene.h"
#include "timeline/demo_timer.h"

// The grids are 64 by 64, indexed [row][column]; the simulation uses rows and columns
// below WaterN, and updates only 2 to WaterN - 3, so the border stays at rest.
enum { WaterGridSize = 64, WaterN = 63 };
extern float WaterVelocity[WaterGridSize][WaterGridSize];
extern float WaterHeight[WaterGridSize][WaterGridSize];
extern Vec3 WaterVertices[WaterGridSize][WaterGridSize];
extern float WaterLastDrop;  // scene seconds of the last drop; 0 at the start

// Still water, and no drop yet.
void ResetWater();
// A stone falls at a random place: a 5 by 5 block of velocity, always within rows and
// columns 1 to WaterN - 2.
void DropStone();
// One simulation step, then the vertex grid from the heights.
void StepWater();
// The patch of rows 13 to 49 and columns 14 to 50, grey by height, with slot 23.
void DrawWater();
// One frame between ClearFrame and EndFrame, dropping a stone when one is due.
void DrawWaterCreditsFrame(const DemoTimer& timer);
