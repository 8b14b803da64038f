// engine/scene_grid.h - the spatial grid of a scene and the scene's particle emitters.
//
// Owns: SceneGrid, a uniform grid over the XZ extent of a scene's static meshes that
// lists, per cell and per node, the faces whose centre lies in the cell, with the list
// of cells visible from the current camera rebuilt every frame; and AttachEmitters, the
// add-on step that turns the scene's '*' meshes into particle emitters.
//
// The grid works in the XZ plane only; height plays no part. It is built once from the
// stored (unanimated) vertex positions, so meshes moved by keyframes stay listed in the
// cells of their rest position. Static meshes are meshes that are neither model anchors
// nor emitters; every face of every static mesh is listed in exactly one cell.
//
// Reads: the scene's nodes, its current camera, GridCellSize (at construction) and
// ViewRangeCells (every visibility update).
// Called by: the asset manifest (AttachEmitters, then SceneGrid, at load time), the
// renderer's grid draw (UpdateVisibleCells each frame), the model anchors step, and the
// release step (ReleaseSceneGrid).
#pragma once

#include <cstdint>

#include "engine/scene.h"

class AnimatedModel;

// Gives every mesh whose name begins with '*' its own particle system (textured with the
// mesh's material), marks the mesh as an emitter so it leaves normal drawing, and takes a
// mode digit '0'..'3' from the second character of the name. The scene owns the systems.
// Emitters already attached are deleted first. Past SceneMaxEmitters meshes are still
// marked (they are never drawn) but get no system.
void AttachEmitters(Scene3ds* scene, int32_t capacity, float lifetime, int32_t rate,
                    float size, float speed);

struct NodeFaceList {
  int32_t nodeIndex = 0;            // position of the node in the scene list
  int32_t* faceIndices = nullptr;   // indices into the node's faces, ascending
  int32_t faceCount = 0;
  CompiledFaces compiled;           // as DrawGrid draws it
};

struct GridCell {
  NodeFaceList* nodeLists = nullptr;  // one per scene node, in list order
  int32_t nodeCount = 0;              // the scene's objectCount when the grid was built
};

enum {
  GridVisibleRoom = 2000,  // entries allocated for the visible list
  GridVisibleLimit = 1900, // the visible list never grows past this
  // Bounds on what one grid may allocate: a scene whose extent would need more cells, or
  // more per-node lists, than this gets larger cells instead (a damaged file with a
  // vertex far away must not ask for gigabytes).
  GridMaxCells = 1 << 20,
  GridMaxNodeLists = 1 << 21,
};

class SceneGrid {
 public:
  // Builds the grid of `scene` (null gives an empty grid). The scene cursor is left
  // rewound. `model` is set afterwards by the caller when the scene has one.
  explicit SceneGrid(Scene3ds* scene);
  ~SceneGrid();
  SceneGrid(const SceneGrid&) = delete;
  SceneGrid& operator=(const SceneGrid&) = delete;

  // Rebuilds visibleCells: the cells covered by a triangle reaching ViewRangeCells cells
  // ahead of the current camera and five behind it, scan-converted in 16.16 fixed point.
  void UpdateVisibleCells();
  // Adds the cells of `row` from column x0 to x1 (either order), skipping cells outside
  // the grid and cells already listed, while the list has room.
  void AddCellSpan(int32_t x0, int32_t x1, int32_t row);
  // The cell (j, i) holding a point on the XZ plane by the grid's boundary rule (lower
  // bounds exclusive, upper inclusive), clamped into the grid.
  void CellOf(float x, float z, int32_t* column, int32_t* row) const;
  bool IsVisible(int32_t cellIndex) const;

  AnimatedModel* model = nullptr;  // drawn at the scene's model anchors; not owned
  uint8_t hasModelAnchors = 0;
  Scene3ds* scene = nullptr;
  GridCell* cells = nullptr;  // columns x rows; cell (j, i) is entry j + i x columns
  float minX = 0, maxX = 0, minZ = 0, maxZ = 0;
  float cellDepth = 0, cellWidth = 0;  // along Z and along X
  int32_t columns = 0, rows = 0;
  int32_t cameraCellX = 0, cameraCellZ = 0;
  int32_t* visibleCells = nullptr;  // GridVisibleRoom entries
  int32_t visibleCount = 0;
};

// Frees every face list, every cell's lists, the cells and the visible list.
void ReleaseSceneGrid(SceneGrid* grid);
