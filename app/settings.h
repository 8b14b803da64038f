// app/settings.h - the show's global settings and the launcher's flags.
//
// Owns: the display size and the render settings, written once by start-up before the
// window is made (SetDefaultSettings); scenes overwrite the render settings before their
// loops and the values persist into later scenes. Read by the window code, the engine's
// renderer and grid, the particle systems and the scenes.
#pragma once

#include <cstdint>

// Launcher state: both false at start.
extern bool LauncherClosed;   // the launcher's close box was used
extern bool StartRequested;   // the launcher's button was pressed

extern int32_t ScreenWidth;   // 1024
extern int32_t ScreenHeight;  // 768

// Render settings.
extern bool SkyboxEnabled;       // draw the textured sky box first (default true)
extern int32_t ViewRangeCells;   // how far ahead of the camera the visible area reaches, in cells (2)
extern float GridCellSize;       // edge length of a grid cell, read when grids are built (150)
extern bool ParticleDepthMask;   // particles keep the depth test and stop depth writes (false)

// Scene settings that scenes write before their loops (defaults given where defined).
extern int32_t SkyboxSideSlot;
extern int32_t SkyboxTopSlot;
extern bool ModelScaleEnabled;

// Start-up step 8: the display size, the four render settings and EscapeRequested.
void SetDefaultSettings();
