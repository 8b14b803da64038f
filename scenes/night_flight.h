// scenes/night_flight.h - the night flight's frame and the two weather effects that the
// night flight and its cards share.
//
// Owns: one frame of the night flight (with the logo card it runs when the camera index
// moves on), the rain streaks and the forked bolts. The weather is drawn through a camera
// given by its rotation and eye, so the cards can borrow the plane's camera with values of
// their own.
// Reads: PlaneScene, SmokeParticles, FireParticles, the TextureTable, ParticleDepthMask.
// Called by: scenes/night_flight.cpp, scenes/cards.cpp, tests.
#pragma once

#include "engine/scene.h"
#include "timeline/demo_timer.h"

// One frame of the night flight at the timer's elapsed time, between ClearFrame and
// EndFrame. When AnimateScene moves PlaneScene's camera index on, the logo card runs in
// the middle of the frame and the timer's start moves 4 s later.
void DrawNightFlightFrame(DemoTimer& timer);

// 20000 short falling lines around the eye, multiplied into the picture (camera rotation
// only). Leaves texturing on and blending off.
void DrawRainStreaks(Vec3 cameraRotation);
// Five dark forked bolts falling from height 50, multiplied into the picture (full camera
// view). Leaves texturing on and blending off.
void DrawForkedBolts(Vec3 cameraRotation, Vec3 eye);

// The camera of PlaneScene in use, or null when the plane has no cameras.
SceneObject* PlaneCamera();
