// engine/renderer.h - draws an animated scene through its current camera.
//
// Owns: the two scene draws over one face-drawing routine (DrawGrid: the visible cells of
// a SceneGrid with fog, sky box and the grid's animated model; DrawScene: every face of
// every mesh), the sky box, the scene's particle emitters, and the camera view every 3D
// drawing of a scene starts from.
//
// Both draws run two passes, opaque meshes then additive meshes (depth writes off,
// blending ONE, ONE), and finish with the emitters. Faces are not sorted by depth: the
// order is cell order, then node order, then face order; only DrawGrid's opaque pass takes
// the visible cells nearest to the eye first, solid meshes before alpha-tested ones, which
// the depth test makes the same picture. Texture unit 0 carries a mesh's material, unit 1
// either the face's light map or the scene's reflection texture; neither unit's
// environment is changed, so both modulate. Without the multitexture extension the second
// layer is left out.
//
// State left behind by DrawGrid and DrawScene: blending off, depth writes and depth test
// on, unit 0 selected with texturing on, unit 1 texturing off, alpha test off, the
// modelview of the last drawn item. With emitters present fog is off and the colour white.
//
// Reads: the scene (engine/scene.h), its grid, TextureTable, the settings
// SkyboxEnabled, SkyboxSideSlot, SkyboxTopSlot and ViewRangeCells.
// Called by: the 3D scenes, once per frame after AnimateScene, with the projection set.
#pragma once

#include "engine/scene.h"
#include "timeline/demo_timer.h"

class SceneGrid;

// The camera node in use: cameras[currentCamera], or null for a scene without cameras
// (such a scene is seen from the origin looking along -Z).
SceneObject* CurrentCamera(const Scene3ds* scene);
// Identity, the camera's pitch about X, yaw about Y, roll about Z, minus the eye.
void ApplyCameraView(const Scene3ds* scene);

typedef void (*SecondPassStep)(const DemoTimer& timer);

// The faces of the grid's visible cells, with fog on, the sky box when SkyboxEnabled
// behind them (drawn after the opaque faces, at the far plane, where no face was drawn),
// the model at the visible anchors at the start of the second pass, then the emitters.
void DrawGrid(SceneGrid* grid, const DemoTimer& timer);
// Every face of every static mesh; `step` (may be null) runs at the start of the second
// pass with the timer. No fog call, no sky box. Then the emitters.
void DrawScene(Scene3ds* scene, const DemoTimer& timer, SecondPassStep step);
// A box of unit half-size around the eye (rotation only), walls down to y = -0.3 and a
// top, from TextureTable[SkyboxSideSlot] and [SkyboxTopSlot]; depth test and writes are
// off while it is drawn and on afterwards.
void DrawSkyBox(Scene3ds* scene);
// The particles of the scene's first emitter system drawn at every emitter mesh within
// the drawing range of the eye; a scene without emitters changes no state.
void DrawEmitters(Scene3ds* scene);
// The drawing range of emitters for ViewRangeCells: 800 for 0, 1000 for 1, else 5000.
float EmitterRange();

// Face submission: true (the default) groups faces that share their texture state into
// one batch; false issues one glBegin/glEnd with the full texture state per face. Both
// draw the same triangles in the same order with the same attributes, hence the same
// picture; the switch exists so tests and the benchmark can compare the two.
// With batching, each face list (a grid cell's faces of one mesh, or a whole mesh) is
// compiled into a display list on its first draw and replayed after that, since meshes do
// not change once loaded; reflective meshes, whose second layer follows the eye, are
// always drawn afresh. A list is compiled again when its material texture changes.
extern bool RendererBatching;

// Deletes a compiled face list (the scene and grid releases call it).
void ReleaseCompiledFaces(CompiledFaces* compiled);
// Drops every compiled face list of a scene and of its grid (may be null): for code that
// changes a mesh's faces, vertices, colours or light maps after it has been drawn.
void ForgetCompiledFaces(Scene3ds* scene, SceneGrid* grid);
