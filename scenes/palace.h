// scenes/palace.h - the palace with the writhing orb, 51.5 s (RunPalace in scenes/scenes.h).
//
// Owns: the palace scene's frame and its two own drawings, the orb and its sparks. The orb
// is the first node of Ball2Scene, deformed into Ball2Points / Ball2Values until it bursts
// at 45 s; the bath scene after it reuses those last points for its strands.
// Reads: PalaceScene, PalaceGrid, Ball2Scene, Ball2Points, Ball2Values, Ball2PointCount
// (assets/manifest.h), TextureTable slots 3 and 14.
// Called by: RunPalace (once per frame), and tests that draw single frames at chosen times.
#pragma once

#include "timeline/demo_timer.h"

// Where the orb hangs, in the palace's coordinates.
constexpr float OrbPlaceX = 538.0f, OrbPlaceY = 47.0f, OrbPlaceZ = -300.0f;

// One frame between ClearFrame and EndFrame: the palace, the orb up to 49 s, the sparks
// from 41 s, the previous scene's picture breaking up during the first 2 s.
void DrawPalaceFrame(const DemoTimer& timer);
// The orb, deformed while t < 45, then flying apart and darkening over 3 s. Leaves depth
// writes on and blending off.
void DrawOrb(const DemoTimer& timer);
// Sparks from the orb's centre along every eighth of its points, brightening from 41 s to
// 45 s. Leaves texturing and depth writes on, blending off.
void DrawOrbSparks(const DemoTimer& timer);
