// Scene grid and emitters: the rectangle, face assignment, the visible-cell scan, the
// visible-list cap, bounds on hostile extents, and the emitter add-on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "app/settings.h"
#include "effects/particles.h"
#include "engine/scene_grid.h"

namespace {

SceneObject* AddNode(Scene3ds* scene, uint16_t kind, const char* name) {
  return AppendNode(scene, kind, name);
}

// A mesh of separate triangles, three vertices each, from a list of corner triples.
void MakeTriangles(SceneObject* node, const std::vector<Vec3>& corners) {
  int n = (int)corners.size();
  node->vertexCount = node->texCoordCount = (uint16_t)n;
  node->faceCount = (uint16_t)(n / 3);
  node->vertices = new Vec3[n];
  node->vertexColours = new Vec3[n];
  node->texCoords = new TexCoord[n];
  std::copy(corners.begin(), corners.end(), node->vertices);
  node->faces = new Face[n / 3];
  for (int f = 0; f < n / 3; f++) {
    node->faces[f].a = (uint16_t)(3 * f);
    node->faces[f].b = (uint16_t)(3 * f + 1);
    node->faces[f].c = (uint16_t)(3 * f + 2);
  }
}

// A triangle whose centre is (x, z).
std::vector<Vec3> Around(float x, float z) {
  return {{x - 1, 0, z}, {x + 1, 0, z - 1}, {x, 0, z + 1}};
}

struct Settings {
  float cell = GridCellSize;
  int32_t range = ViewRangeCells;
  ~Settings() {
    GridCellSize = cell;
    ViewRangeCells = range;
  }
};

// A scene spanning x and z from 0 to `extent`, with a camera node.
Scene3ds* Field(float extent) {
  Scene3ds* scene = new Scene3ds;
  MakeTriangles(AddNode(scene, KindMesh, "ground"),
                {{0, 0, 0}, {extent, 0, 0}, {0, 0, extent}, {extent, 0, extent},
                 {extent, 0, 0}, {0, 0, extent}});
  SceneObject* camera = AddNode(scene, KindCamera, "camera");
  scene->cameras[0] = camera;
  scene->cameraCount = 1;
  return scene;
}

void PlaceCamera(Scene3ds* scene, const SceneGrid& grid, float cellX, float cellZ, float yaw) {
  SceneObject* camera = scene->cameras[0];
  camera->camera.eye = {grid.minX + cellX * grid.cellWidth, 5, grid.minZ + cellZ * grid.cellDepth};
  camera->rotation = {0, yaw, 0};
}

std::set<std::pair<int, int>> Visible(const SceneGrid& grid) {
  std::set<std::pair<int, int>> cells;
  for (int n = 0; n < grid.visibleCount; n++)
    cells.insert({grid.visibleCells[n] % grid.columns, grid.visibleCells[n] / grid.columns});
  return cells;
}

}  // namespace

TEST(Grid, RectangleHoldsTheOriginAndEveryStaticFaceExactlyOnce) {
  Settings keep;
  GridCellSize = 10;
  Scene3ds* scene = new Scene3ds;
  // Centres on the boundary x = 9 (minX -1 plus one cell) and z = 9 go to the low cell.
  std::vector<Vec3> faces = {{0, 0, 5}, {9, 0, 5}, {18, 0, 5}};  // centre (9, 5)
  for (auto tri : {Around(9.5f, 5), Around(30, 30), Around(5, 9)}) faces.insert(faces.end(), tri.begin(), tri.end());
  faces.insert(faces.end(), {{50, 0, 40}, {50, 0, 41}, {51, 0, 40}});
  SceneObject* mesh = AddNode(scene, KindMesh, "mesh");
  MakeTriangles(mesh, faces);
  SceneObject* anchor = AddNode(scene, KindMesh, "@raptor");
  anchor->modelAnchor = 1;
  MakeTriangles(anchor, {{-500, 0, -500}, {-499, 0, -500}, {-500, 0, -499}});
  SceneObject* emitter = AddNode(scene, KindMesh, "*1fire");
  emitter->emitter = 1;
  MakeTriangles(emitter, {{900, 0, 900}, {901, 0, 900}, {900, 0, 901}});
  SceneObject* other = AddNode(scene, KindMesh, "other");
  MakeTriangles(other, Around(25, 25));
  AddNode(scene, KindLight, "light");

  SceneGrid grid(scene);
  // Anchors and emitters do not widen the rectangle; the origin is always inside.
  EXPECT_EQ(grid.minX, -1);
  EXPECT_EQ(grid.minZ, -1);
  EXPECT_EQ(grid.maxX, 52);
  EXPECT_EQ(grid.maxZ, 42);
  EXPECT_EQ(grid.columns, 6);
  EXPECT_EQ(grid.rows, 5);
  EXPECT_EQ(grid.hasModelAnchors, 1);
  EXPECT_EQ(scene->cursor, scene);

  auto facesIn = [&](int j, int i, int node) {
    const NodeFaceList& list = grid.cells[j + i * grid.columns].nodeLists[node];
    EXPECT_EQ(list.nodeIndex, node);
    return std::vector<int>(list.faceIndices, list.faceIndices + list.faceCount);
  };
  EXPECT_EQ(facesIn(0, 0, 0), (std::vector<int>{0, 3}));  // (9, 5) and (5, 9): low cell
  EXPECT_EQ(facesIn(1, 0, 0), (std::vector<int>{1}));     // (9.5, 5)
  EXPECT_EQ(facesIn(3, 3, 0), (std::vector<int>{2}));
  EXPECT_EQ(facesIn(2, 2, 3), (std::vector<int>{0}));

  int listed[5] = {};
  for (int n = 0; n < grid.columns * grid.rows; n++) {
    ASSERT_EQ(grid.cells[n].nodeCount, 5);
    for (int k = 0; k < 5; k++) {
      const NodeFaceList& list = grid.cells[n].nodeLists[k];
      listed[k] += list.faceCount;
      for (int f = 1; f < list.faceCount; f++)
        EXPECT_LT(list.faceIndices[f - 1], list.faceIndices[f]);
    }
  }
  EXPECT_EQ(listed[0], 5);
  EXPECT_EQ(listed[1], 0);
  EXPECT_EQ(listed[2], 0);
  EXPECT_EQ(listed[3], 1);
  EXPECT_EQ(listed[4], 0);
  ReleaseSceneGrid(&grid);
  EXPECT_EQ(grid.cells, nullptr);
  ReleaseScene(scene);
}

TEST(Grid, HostileExtentsAndFacesStayBounded) {
  Settings keep;
  GridCellSize = 150;
  Scene3ds* scene = new Scene3ds;
  SceneObject* mesh = AddNode(scene, KindMesh, "far");
  std::vector<Vec3> corners = {{0, 0, 0}, {1e9f, 0, 0}, {0, 0, -1e9f},
                               {NAN, 0, 0}, {INFINITY, 0, 1}, {0, 0, -INFINITY}};
  MakeTriangles(mesh, corners);
  mesh->faces[1].c = 200;  // names a vertex that does not exist: left out
  SceneGrid grid(scene);
  EXPECT_LE((int64_t)grid.columns * grid.rows, (int64_t)GridMaxCells);
  EXPECT_GT(grid.cellWidth, 150.0f);
  EXPECT_EQ(grid.maxX, 1e9f + 1);
  int listed = 0;
  for (int n = 0; n < grid.columns * grid.rows; n++) listed += grid.cells[n].nodeLists[0].faceCount;
  EXPECT_EQ(listed, 1);
  grid.UpdateVisibleCells();  // a scene without a camera is seen from the origin
  EXPECT_LE(grid.visibleCount, GridVisibleLimit);
  ReleaseScene(scene);

  // A cell size that is no size at all falls back to the default edge.
  GridCellSize = 0;
  SceneGrid empty(nullptr);
  EXPECT_EQ(empty.cellWidth, 150.0f);
  empty.UpdateVisibleCells();
  EXPECT_EQ(empty.visibleCount, 0);
}

TEST(Grid, VisibleCellsFollowTheCameraByTheFixedPointScan) {
  Settings keep;
  GridCellSize = 10;
  Scene3ds* scene = Field(198);  // minX = minZ = -1, 21 by 21 cells
  SceneGrid grid(scene);
  ASSERT_EQ(grid.columns, 21);
  ASSERT_EQ(grid.rows, 21);

  // Range 0 collapses the triangle onto the segment to five cells behind. Yaw 0 looks
  // along -Z; with pi as 3.14 the segment leans, and the unrounded 16.16 steps put rows
  // 11 to 14 in column 9.
  ViewRangeCells = 0;
  PlaceCamera(scene, grid, 10.5f, 10.5f, 0);
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.cameraCellX, 10);
  EXPECT_EQ(grid.cameraCellZ, 10);
  std::set<std::pair<int, int>> segment = {{10, 10}, {9, 11}, {9, 12}, {9, 13}, {9, 14}};
  EXPECT_EQ(Visible(grid), segment);
  EXPECT_EQ(grid.visibleCells[0], 10 + 10 * 21);  // in the order found, row by row
  // Yaw 180 looks along +Z: the cells behind are rows 5 to 9, and the camera's own row
  // is not reached (the scan stops below the corner's z).
  PlaceCamera(scene, grid, 10.5f, 10.5f, 180);
  grid.UpdateVisibleCells();
  EXPECT_EQ(Visible(grid), (std::set<std::pair<int, int>>{{9, 5}, {9, 6}, {9, 7}, {9, 8}, {9, 9}}));
  // Yaw 90: every corner on one row, an empty triangle.
  PlaceCamera(scene, grid, 10.5f, 10.5f, 90);
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.visibleCount, 0);

  // The default range: two cells ahead, five behind, within the triangle's rows and
  // columns, the camera's cell among them, no cell twice.
  ViewRangeCells = 2;
  PlaceCamera(scene, grid, 10.5f, 10.5f, 0);
  grid.UpdateVisibleCells();
  std::set<std::pair<int, int>> seen = Visible(grid);
  EXPECT_EQ((int)seen.size(), grid.visibleCount);
  EXPECT_TRUE(seen.count({10, 10}));
  EXPECT_TRUE(seen.count({8, 8}));
  EXPECT_TRUE(seen.count({10, 14}));
  for (auto [x, z] : seen) {
    EXPECT_GE(z, 8);
    EXPECT_LE(z, 14);
    EXPECT_GE(x, 8);
    EXPECT_LE(x, 11);
  }
  // Turned to yaw 270 (looking along -X) the triangle lies along the rows. Its edges
  // start each part at the corner's x without correcting for the corner's fractional z,
  // so the flat lower part overshoots: row 11 reaches back to column 3.
  PlaceCamera(scene, grid, 10.5f, 10.5f, 270);
  grid.UpdateVisibleCells();
  std::set<std::pair<int, int>> turned;
  turned.insert({8, 8});
  for (int x = 8; x <= 14; x++) turned.insert({x, 9});  // the corner is at x 14.99999
  for (int x = 8; x <= 9; x++) turned.insert({x, 10});
  for (int x = 3; x <= 8; x++) turned.insert({x, 11});
  EXPECT_EQ(Visible(grid), turned);

  // A camera outside the grid: rows and columns outside are skipped.
  PlaceCamera(scene, grid, -30, 10.5f, 0);
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.visibleCount, 0);
  PlaceCamera(scene, grid, -1.5f, 10.5f, 0);  // just outside: the triangle reaches in
  grid.UpdateVisibleCells();
  for (auto [x, z] : Visible(grid)) EXPECT_EQ(x, 0);
  // Far away, or with an absurd range, the scan ends at once rather than walking rows.
  PlaceCamera(scene, grid, -3e8f, 2e9f, 45);
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.visibleCount, 0);
  ViewRangeCells = 2000000000;
  PlaceCamera(scene, grid, 10.5f, 10.5f, 33);
  grid.UpdateVisibleCells();
  EXPECT_LE(grid.visibleCount, GridVisibleLimit);
  scene->cameras[0]->camera.eye.x = NAN;
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.visibleCount, 0);
  ReleaseScene(scene);
}

TEST(Grid, VisibleListStopsAt1900WithoutDuplicates) {
  Settings keep;
  GridCellSize = 1;
  Scene3ds* scene = Field(300);
  SceneGrid grid(scene);
  ViewRangeCells = 120;
  PlaceCamera(scene, grid, 150, 250, 0);
  grid.UpdateVisibleCells();
  EXPECT_EQ(grid.visibleCount, GridVisibleLimit);
  EXPECT_EQ((int)Visible(grid).size(), GridVisibleLimit);

  // AddCellSpan on its own: either order, clipped, deduplicated, rows outside ignored.
  grid.visibleCount = 0;
  grid.AddCellSpan(3, -2, 0);
  grid.AddCellSpan(1, 5, 0);
  grid.AddCellSpan(grid.columns - 2, grid.columns + 7, 1);
  grid.AddCellSpan(0, 4, -1);
  grid.AddCellSpan(0, 4, grid.rows);
  std::vector<int> got(grid.visibleCells, grid.visibleCells + grid.visibleCount);
  int c = grid.columns;
  EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4, 5, 2 * c - 2, 2 * c - 1}));
  ReleaseScene(scene);
}

TEST(Grid, AttachEmittersMakesOneSystemPerStarMesh) {
  Scene3ds* scene = new Scene3ds;
  AddNode(scene, KindMesh, "ground");
  SceneObject* two = AddNode(scene, KindMesh, "*2smoke");
  SceneObject* letter = AddNode(scene, KindMesh, "*xsmoke");
  SceneObject* three = AddNode(scene, KindMesh, "*3");
  AddNode(scene, KindLight, "*light");
  two->textureIndex = 1;
  three->textureIndex = 59;  // outside the table: no texture file
  scene->textureCount = 2;
  strcpy(scene->textures[1].name, "maps/fire.jpg");

  AttachEmitters(scene, 500, 5.0f, 1, 20.0f, 200.0f);
  ASSERT_EQ(scene->emitterCount, 3);
  EXPECT_EQ(scene->emitterObjects[0], two);
  EXPECT_EQ(scene->emitterObjects[1], letter);
  EXPECT_EQ(scene->emitterObjects[2], three);
  EXPECT_EQ(scene->emitters[0]->mode, 2);
  EXPECT_EQ(scene->emitters[1]->mode, 0);
  EXPECT_EQ(scene->emitters[2]->mode, 3);
  EXPECT_EQ(scene->emitters[0]->capacity, 500);
  EXPECT_EQ(scene->emitters[0]->rate, 1);
  EXPECT_FLOAT_EQ(scene->emitters[0]->speed, 200.0f);
  EXPECT_TRUE(two->emitter && letter->emitter && three->emitter);
  EXPECT_FALSE(scene->emitter);
  EXPECT_EQ(scene->cursor, scene);
  // Attaching again replaces the systems instead of leaking them.
  AttachEmitters(scene, 10, 1.0f, 1, 1.0f, 1.0f);
  EXPECT_EQ(scene->emitterCount, 3);
  EXPECT_EQ(scene->emitters[2]->capacity, 10);
  ReleaseScene(scene);

  // More emitter meshes than the table holds: the rest are hidden, the table not overrun.
  Scene3ds* crowd = new Scene3ds;
  for (int n = 0; n < SceneMaxEmitters + 5; n++) AddNode(crowd, KindMesh, "*1");
  AttachEmitters(crowd, 10, 1.0f, 1, 1.0f, 1.0f);
  EXPECT_EQ(crowd->emitterCount, SceneMaxEmitters);
  SceneObject* last = crowd;
  while (last->next) last = last->next;
  EXPECT_TRUE(last->emitter);
  ReleaseScene(crowd);
}
