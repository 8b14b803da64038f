// tools/bake/scenes/creatures.h - the two animated creatures: a running raptor and a
// dancing glowing figure, each a skeleton driving a skinned mesh, baked into vertex frames.
//
// Owns: the creatures' rigs and cycles, the .ryx writer and the creatures' skin pictures.
// Everything is built in the space the show draws the models in (Y up, the model's origin
// on the ground under it); the writer undoes the reader's axis conversion, so a file read
// back gives exactly the vertices built here.
//
// The raptor (maps/raptor.ryx, read with the plain conversion, drawn at scale 1 at 14 model
// frames per second): its nose points towards +Z of its own space, +Y is up, its feet touch
// y = 0 at the origin (the anchor sits on the ground). An anchor drawn with rotation
// (0, yaw, 0) degrees therefore faces (sin yaw, 0, cos yaw): to run along a ground heading
// (dx, dz) give the anchor yaw = atan2(dx, dz) in degrees. Its feet push the ground back at
// RaptorRunSpeed units per second; an anchor moving at that speed shows no foot slide.
// Faces are counter-clockwise seen from outside. About 44 units from snout to tail tip, 18
// tall, 2600 faces: several in view at once stay within a grid scene's budget.
//
// The figure (maps/girl.ryx, read with the mirrored conversion, drawn at a third of its
// size at 5.2 frames per second, added, its texture projected from above): about 45 model
// units tall (15 as drawn), feet at y = 0, facing +Z on the mean of its slow turning dance.
// Its faces are wound clockwise seen from outside, because the figure is drawn with front
// faces culled: what survives is the side facing the camera.
//
// Called by: the baker's generator list (BakeCreatures) and the creatures' tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bake/image.h"
#include "tools/bake/scenes/scene_build.h"

constexpr int RaptorFrames = 14;           // one running cycle
constexpr float RaptorFramesPerSecond = 14.0f;
constexpr float RaptorStride = 28.0f;      // ground covered in one cycle
constexpr float RaptorRunSpeed = RaptorStride * RaptorFramesPerSecond / RaptorFrames;
constexpr int GirlFrames = 48;             // one dance cycle (about 9.2 s at 5.2 fps)

// A vertex-frame animated mesh in drawn space: every frame has one position per vertex.
struct FrameMesh {
  std::vector<std::vector<V3>> frames;
  std::vector<UV> uvs;
  std::vector<std::array<uint16_t, 3>> faces;
};

FrameMesh BuildRaptor();
FrameMesh BuildGirl();

// The .ryx bytes of a mesh. `mirrored` selects the reader the file is meant for: the plain
// one stores (y, -z, x) of the file's (x, y, z), the mirrored one (-y, -z, x).
std::vector<uint8_t> WriteRyx(const FrameMesh& mesh, bool mirrored);

// The raptor's skin, laid out as the raptor's texture coordinates expect, and the figure's
// tiling glow pattern (drawn additively, one repeat per 10 model units from above).
Image PaintRaptorSkin();
Image PaintGirlGlow();
