// engine/scene_grid.cpp - building the grid, the visible-cell search and the emitters.
#include "engine/scene_grid.h"

#include <cmath>
#include <cstring>

#include "app/settings.h"
#include "effects/particles.h"
#include "engine/renderer.h"
#include "platform/platform.h"

namespace {

bool IsStaticMesh(const SceneObject* node) {
  return node->kind == KindMesh && !node->modelAnchor && !node->emitter;
}

// A face takes part only when all three indices name stored vertices.
bool FaceValid(const SceneObject* node, const Face& f) {
  return node->vertices && f.a < node->vertexCount && f.b < node->vertexCount &&
         f.c < node->vertexCount;
}

// Float to int32 with truncation toward zero, saturating instead of overflowing.
int32_t TruncInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return (-2147483647 - 1);
  return (int32_t)v;
}

// Fixed-point 16.16 values are kept in 64 bits so that a camera far outside the grid
// cannot overflow them; within the show's range they equal the 32-bit arithmetic. Edge
// positions are bounded by 2^50 and slopes by 2^40 (both far beyond any grid's columns,
// so the bound changes no cell), which keeps a million rows of steps inside 64 bits.
int64_t TruncLimited(double v, double limit) {
  if (!(v == v)) return 0;
  if (v >= limit) return (int64_t)limit;
  if (v <= -limit) return -(int64_t)limit;
  return (int64_t)v;
}
int64_t TruncFixed(double v) { return TruncLimited(v, 1125899906842624.0); }
int64_t TruncSlope(double v) { return TruncLimited(v, 1099511627776.0); }

struct Corner {
  float x, z;
};

}  // namespace

void AttachEmitters(Scene3ds* scene, int32_t capacity, float lifetime, int32_t rate,
                    float size, float speed) {
  if (!scene) return;
  int32_t old = scene->emitterCount < SceneMaxEmitters ? scene->emitterCount : SceneMaxEmitters;
  for (int32_t i = 0; i < old; i++) {
    delete scene->emitters[i];
    scene->emitters[i] = nullptr;
    scene->emitterObjects[i] = nullptr;
  }
  scene->emitterCount = 0;
  scene->Rewind();
  bool warned = false;
  for (int32_t k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && node->name[0] == '*') {
      node->emitter = 1;
      if (scene->emitterCount < SceneMaxEmitters) {
        const char* textureFile = nullptr;
        if (node->textureIndex >= 0 && node->textureIndex < scene->textureCount &&
            node->textureIndex < SceneMaxTextures) {
          textureFile = scene->textures[node->textureIndex].name;
        }
        ParticleSystem* system =
            new ParticleSystem(capacity, textureFile, lifetime, rate, size, speed);
        char digit = node->name[1];
        if (digit >= '0' && digit <= '3') system->mode = digit - '0';
        scene->emitters[scene->emitterCount] = system;
        scene->emitterObjects[scene->emitterCount] = node;
        scene->emitterCount++;
      } else if (!warned) {
        LogWarn("grid", "more than %d emitter meshes; the rest stay hidden without particles",
                (int)SceneMaxEmitters);
        warned = true;
      }
    }
    scene->Advance();
  }
  scene->Rewind();
}

SceneGrid::SceneGrid(Scene3ds* scene) : scene(scene) {
  visibleCells = new int32_t[GridVisibleRoom]();
  float cell = GridCellSize;
  if (!(cell > 0.0f) || !std::isfinite(cell)) cell = 150.0f;
  cellWidth = cellDepth = cell;
  if (!scene) {
    // An empty grid still has one cell, so lookups stay in range.
    minX = minZ = -1;
    maxX = maxZ = 1;
    columns = rows = 1;
    cells = new GridCell[1];
    return;
  }

  // The rectangle starts at the origin, so it always contains it.
  scene->Rewind();
  for (int32_t k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && node->modelAnchor) hasModelAnchors = 1;
    if (IsStaticMesh(node) && node->faces) {
      for (int32_t l = 0; l < node->faceCount; l++) {
        const Face& f = node->faces[l];
        if (!FaceValid(node, f)) continue;
        const uint16_t corners[3] = {f.a, f.b, f.c};
        for (uint16_t v : corners) {
          const Vec3& p = node->vertices[v];
          // A vertex at infinity or NaN would make the grid unbounded; it widens nothing.
          if (!std::isfinite(p.x) || !std::isfinite(p.z)) continue;
          if (p.x < minX) minX = p.x;
          if (p.x > maxX) maxX = p.x;
          if (p.z < minZ) minZ = p.z;
          if (p.z > maxZ) maxZ = p.z;
        }
      }
    }
    scene->Advance();
  }
  minX -= 1;
  minZ -= 1;
  maxX += 1;
  maxZ += 1;

  int32_t nodeCount = scene->objectCount;
  bool raised = false;
  for (;;) {
    double c = std::trunc(((double)maxX - minX) / cellWidth) + 1;
    double r = std::trunc(((double)maxZ - minZ) / cellDepth) + 1;
    double total = c * r;
    if (total <= (double)GridMaxCells &&
        total * (nodeCount > 0 ? nodeCount : 1) <= (double)GridMaxNodeLists) {
      columns = (int32_t)c;
      rows = (int32_t)r;
      break;
    }
    cellWidth *= 2;
    cellDepth *= 2;
    raised = true;
  }
  if (raised)
    LogWarn("grid", "scene extent too large for cells of %g; cell edge raised to %g",
            (double)cell, (double)cellWidth);

  int32_t cellCount = columns * rows;
  cells = new GridCell[cellCount];
  for (int32_t n = 0; n < cellCount; n++) {
    cells[n].nodeCount = nodeCount;
    cells[n].nodeLists = nodeCount > 0 ? new NodeFaceList[nodeCount] : nullptr;
    for (int32_t k = 0; k < nodeCount; k++) cells[n].nodeLists[k].nodeIndex = k;
  }

  // Two passes over the same rule: count, then fill lists sized exactly.
  for (int pass = 0; pass < 2; pass++) {
    scene->Rewind();
    for (int32_t k = 0; k < nodeCount; k++) {
      SceneObject* node = scene->cursor;
      if (IsStaticMesh(node) && node->faces) {
        for (int32_t l = 0; l < node->faceCount; l++) {
          const Face& f = node->faces[l];
          if (!FaceValid(node, f)) continue;
          const Vec3& a = node->vertices[f.a];
          const Vec3& b = node->vertices[f.b];
          const Vec3& c = node->vertices[f.c];
          float cx = (a.x + b.x + c.x) / 3.0f;
          float cz = (a.z + b.z + c.z) / 3.0f;
          int32_t j, i;
          CellOf(cx, cz, &j, &i);
          NodeFaceList& list = cells[j + i * columns].nodeLists[k];
          if (pass == 0) {
            list.faceCount++;
          } else {
            list.faceIndices[list.faceCount++] = l;
          }
        }
      }
      scene->Advance();
    }
    if (pass == 0) {
      for (int32_t n = 0; n < cellCount; n++) {
        for (int32_t k = 0; k < nodeCount; k++) {
          NodeFaceList& list = cells[n].nodeLists[k];
          if (list.faceCount > 0) list.faceIndices = new int32_t[list.faceCount];
          list.faceCount = 0;
        }
      }
    }
  }
  scene->Rewind();
}

SceneGrid::~SceneGrid() { ReleaseSceneGrid(this); }

void ReleaseSceneGrid(SceneGrid* grid) {
  if (!grid) return;
  if (grid->cells) {
    for (int32_t n = 0; n < grid->columns * grid->rows; n++) {
      GridCell& cell = grid->cells[n];
      for (int32_t k = 0; k < cell.nodeCount; k++) {
        delete[] cell.nodeLists[k].faceIndices;
        ReleaseCompiledFaces(&cell.nodeLists[k].compiled);
      }
      delete[] cell.nodeLists;
    }
  }
  delete[] grid->cells;
  delete[] grid->visibleCells;
  grid->cells = nullptr;
  grid->visibleCells = nullptr;
  grid->columns = grid->rows = 0;
  grid->visibleCount = 0;
}

void SceneGrid::CellOf(float x, float z, int32_t* column, int32_t* row) const {
  // First guess by division, then settle exactly on the boundary rule as the products
  // minX + j x cellWidth give it: a point on a boundary belongs to the lower cell.
  auto settle = [](float p, float low, float edge, int32_t count) {
    int32_t j = TruncInt(std::ceil(((double)p - low) / edge)) - 1;
    if (j < 0) j = 0;
    if (j > count - 1) j = count - 1;
    while (j > 0 && p <= low + (float)j * edge) j--;
    while (j < count - 1 && p > low + (float)(j + 1) * edge) j++;
    return j;
  };
  *column = settle(x, minX, cellWidth, columns);
  *row = settle(z, minZ, cellDepth, rows);
}

bool SceneGrid::IsVisible(int32_t cellIndex) const {
  for (int32_t n = 0; n < visibleCount; n++)
    if (visibleCells[n] == cellIndex) return true;
  return false;
}

void SceneGrid::AddCellSpan(int32_t x0, int32_t x1, int32_t row) {
  if (!visibleCells) return;
  if (x0 > x1) {
    int32_t t = x0;
    x0 = x1;
    x1 = t;
  }
  if (row < 0 || row >= rows) return;
  if (x0 < 0) x0 = 0;
  if (x1 > columns - 1) x1 = columns - 1;
  for (int32_t x = x0; x <= x1 && visibleCount < GridVisibleLimit; x++) {
    int32_t index = x + row * columns;
    if (!IsVisible(index)) visibleCells[visibleCount++] = index;
  }
}

void SceneGrid::UpdateVisibleCells() {
  visibleCount = 0;
  if (!scene || !visibleCells) return;
  const SceneObject* camera = CurrentCamera(scene);
  Vec3 eye = camera ? camera->camera.eye : Vec3{};
  float yaw = camera ? camera->rotation.y : 0.0f;
  if (!std::isfinite(eye.x) || !std::isfinite(eye.z) || !std::isfinite(yaw)) return;

  cameraCellX = TruncInt((eye.x - minX) / cellWidth);
  cameraCellZ = TruncInt((eye.z - minZ) / cellDepth);
  // Here pi is 3.14, not the 3.1415 of the animation; yaw 0 looks along -Z.
  float b = (yaw - 90.0f) * 3.14f / 180.0f;
  float range = (float)ViewRangeCells;
  Corner p0 = {cameraCellX - 5 * cosf(b), cameraCellZ - 5 * sinf(b)};
  Corner p1 = {cameraCellX + range * cosf(b - 0.6f), cameraCellZ + range * sinf(b - 0.6f)};
  Corner p2 = {cameraCellX + range * cosf(b + 0.6f), cameraCellZ + range * sinf(b + 0.6f)};
  auto swap = [](Corner& u, Corner& v) {
    Corner t = u;
    u = v;
    v = t;
  };
  if (p1.z > p2.z) swap(p1, p2);
  if (p0.z > p2.z) swap(p0, p2);
  if (p0.z > p1.z) swap(p0, p1);
  if (p2.z == p0.z) return;

  // Rows outside the grid add nothing, so a scan starting below row 0 jumps there
  // (advancing the edges as the skipped rows would have) and stops after the last row: a
  // camera far away, or a huge view range, cannot make this loop run long.
  auto scan = [this](int64_t xa, int64_t xb, int64_t slopeA, int64_t slopeB, float fromZ,
                     float toZ) {
    if (!(toZ > 0.0f)) return;  // every row of this part lies below row 0
    int64_t row = TruncFixed(fromZ);
    if (row < 0) {
      double skip = (double)-row;
      xa = TruncFixed((double)xa + (double)slopeA * skip);
      xb = TruncFixed((double)xb + (double)slopeB * skip);
      row = 0;
    }
    for (; (float)row < toZ && row < rows; row++) {
      int64_t x0 = xa / 65536, x1 = xb / 65536;
      // Columns beyond int32 are outside the grid either way.
      if (x0 < -1) x0 = -1;
      if (x1 < -1) x1 = -1;
      if (x0 > columns) x0 = columns;
      if (x1 > columns) x1 = columns;
      AddCellSpan((int32_t)x0, (int32_t)x1, (int32_t)row);
      xa += slopeA;
      xb += slopeB;
    }
  };

  // The corners and the arithmetic on them are single precision.
  int64_t slopeLong = TruncSlope((p2.x - p0.x) * 65536.0f / (p2.z - p0.z));
  if (p1.z != p0.z) {
    int64_t slopeShort = TruncSlope((p1.x - p0.x) * 65536.0f / (p1.z - p0.z));
    int64_t xa = TruncFixed(p0.x * 65536.0f);
    scan(xa, xa, slopeLong, slopeShort, p0.z, p1.z);
  }
  if (p2.z != p1.z) {
    int64_t slopeShort = TruncSlope((p2.x - p1.x) * 65536.0f / (p2.z - p1.z));
    int64_t xa = TruncFixed(p0.x * 65536.0f + (p1.z - p0.z) * (float)slopeLong);
    int64_t xb = TruncFixed(p1.x * 65536.0f);
    scan(xa, xb, slopeLong, slopeShort, p1.z, p2.z);
  }
}
