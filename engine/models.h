// engine/models.h - vertex-frame animated models (.ryx files).
//
// Owns: AnimatedModel, a textured triangle mesh animated by whole-mesh vertex frames; its
// two readers, which differ only in the axis conversion; the choice of the two frames
// and the blend between them from a scene's elapsed time; the working pose; drawing the
// model alone and at a scene's visible model anchors; and ModelScaleEnabled's rule.
//
// The .ryx file, little-endian, no magic: int32 F (frames), V (vertices), T (faces);
// T faces of three u16 vertex indices; V texture coordinates (float32 u, v); F frames of
// V vertex records of 24 bytes, float32 x, y, z at offsets 0, 8, 16. Counts are checked
// against the bytes the file holds; a file that is missing, short, or has no frames or no
// vertices gives an empty model, which draws nothing. A face naming a vertex that does
// not exist is dropped.
//
// A model anchor is a scene mesh whose name begins with '@': its own faces are never
// drawn; its animated position and rotation place the model.
//
// Reads: ModelScaleEnabled (app/settings.h), the grid's visible cells and the scene's
// current camera when drawing at anchors.
// Called by: the asset manifest (construction and loading), the scenes that configure and
// draw models, the grid draw (DrawModelAnchors at the start of its second pass).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/scene.h"
#include "timeline/demo_timer.h"

class SceneGrid;

struct ModelFace {
  uint16_t a = 0, b = 0, c = 0;
};

class AnimatedModel {
 public:
  // Sets ModelScaleEnabled to 1; the fields are filled by a reader and by the scene.
  AnimatedModel();
  ~AnimatedModel();
  AnimatedModel(const AnimatedModel&) = delete;
  AnimatedModel& operator=(const AnimatedModel&) = delete;

  // Read a .ryx file. The stored axes are (y, -z, x) of the file's (x, y, z) for
  // LoadModelFile and (-y, -z, x) for LoadModelMirrored. False (and an empty model)
  // when the file cannot be read or its counts do not fit its bytes.
  bool LoadModelFile(const char* path);
  bool LoadModelMirrored(const char* path);
  // The same from bytes in memory.
  bool ParseModel(const uint8_t* data, size_t size, bool mirrored);

  // Working pose = frame a + (frame b - frame a) x t, per vertex and component. Frames
  // outside 0..frameCount-1 leave the pose unchanged.
  void InterpolateFrames(int32_t a, int32_t b, float t);
  // The working pose, divided by scale, as one batch of textured triangles; no colour,
  // no normals. With ModelScaleEnabled 0 the scale is first set to 1.
  void DrawModel(uint32_t texture);
  // Frees the arrays; frameCount, vertexCount and faceCount become 0.
  void ReleaseModel();

  // Entry `vertex` of frame `frame` (frame -1 is the working pose).
  const Vec3& FrameVertex(int32_t frame, int32_t vertex) const {
    return vertices[(size_t)(frame + 1) * (size_t)vertexCount + (size_t)vertex];
  }

  float framesPerSecond = 0;     // model frames per second of scene time; set by the scene
  int32_t frameCount = 0;        // F
  float scale = 1;               // drawn coordinates are divided by it
  Vec3* vertices = nullptr;      // (F + 1) x V: the working pose, then frame after frame
  TexCoord* texCoords = nullptr; // V, shared by all frames
  int32_t vertexCount = 0;       // V
  ModelFace* faces = nullptr;    // T triangles
  int32_t faceCount = 0;         // T
};

// The two frames and the blend for elapsed scene seconds: s = elapsed x fps; a = trunc(s)
// mod F; b = a + 1, or 0 after the last frame; t = (trunc(10 s) mod 10F) / 10 - a, which
// moves in tenths of a frame and never exceeds 0.9. False (a = b = 0, t = 0) for a
// model without frames.
bool ChooseFrames(const AnimatedModel& model, float elapsed, int32_t* a, int32_t* b, float* t);

// The grid's model at every model anchor of its scene whose cell is visible this frame,
// each in the anchor's position and rotation, white, with the anchor's material texture.
// Nothing for a grid without a model or a model without frames.
void DrawModelAnchors(SceneGrid* grid, const DemoTimer& timer);
