// scenes/bath.h - the bath with the glowing figure and the blobs, 24 s (RunBathScene in
// scenes/scenes.h).
//
// Owns: the six blob centres and the blob count, and the bath scene's drawings: the figure
// (GirlModel at the scene's model anchors, drawn by DrawScene at the start of its second
// pass), its burst, the red strands above it and the gooey blobs.
// Reads: BathScene, GirlModel, BallScene, BallPoints / BallPointCount as scratch space for
// one blob at a time, Ball2Scene and the points the palace scene left in Ball2Points
// (assets/manifest.h), TextureTable slot 15, ModelScaleEnabled.
// Called by: RunBathScene (once per frame), and tests that draw single frames.
#pragma once

#include <cstdint>

#include "engine/scene.h"
#include "timeline/demo_timer.h"

enum { BlobSlots = 6 };
extern int32_t BlobCount;           // 6 once the scene starts; at most BlobSlots are drawn
extern Vec3 BlobCentres[BlobSlots];  // all at the origin until 15.1 s of the first run

// One frame between ClearFrame and EndFrame.
void DrawBathFrame(const DemoTimer& timer);
// The centres' paths, from 15.1 s on.
void MoveBlobCentres(const DemoTimer& timer);
// The second-pass step handed to DrawScene: the figure at every model anchor until 17.2 s.
void DrawFigure(const DemoTimer& timer);
// The figure's triangles in the current frame, textured from above; from 14.6 s every
// third corner flies out faster than the other two (burst = (t - 15.6) / 2.6).
void DrawFigureMesh(uint32_t texture, float burst, const DemoTimer& timer);
// The red strands above the figure, the first two seconds only.
void DrawLightning(const DemoTimer& timer);
// The blobs, each swelling towards the others, from 14.6 s.
void DrawBlobs(const DemoTimer& timer);
