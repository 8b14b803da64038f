// engine/renderer.cpp - the scene draws, the sky box and the emitters.
#include "engine/renderer.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/texture_table.h"
#include "effects/particles.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "timeline/frame_services.h"

bool RendererBatching = true;

SceneObject* CurrentCamera(const Scene3ds* scene) {
  if (!scene || scene->cameraCount <= 0) return nullptr;
  int32_t count = scene->cameraCount < SceneMaxCameras ? scene->cameraCount : SceneMaxCameras;
  int32_t index = scene->currentCamera;
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  return scene->cameras[index];
}

void ApplyCameraView(const Scene3ds* scene) {
  glLoadIdentity();
  const SceneObject* camera = CurrentCamera(scene);
  if (!camera) return;
  glRotatef(camera->rotation.x, 1, 0, 0);
  glRotatef(camera->rotation.y, 0, 1, 0);
  glRotatef(camera->rotation.z, 0, 0, 1);
  glTranslatef(-camera->camera.eye.x, -camera->camera.eye.y, -camera->camera.eye.z);
}

float EmitterRange() {
  if (ViewRangeCells == 0) return 800.0f;
  if (ViewRangeCells == 1) return 1000.0f;
  return 5000.0f;
}

namespace {

void SkyBoxFaces(Scene3ds* scene);
void DrawSkyBoxBehindFaces(Scene3ds* scene);
const Vec3 White = {1, 1, 1};

uint32_t MaterialTexture(const Scene3ds* scene, const SceneObject* node) {
  if (node->textureIndex < 0 || node->textureIndex >= scene->textureCount ||
      node->textureIndex >= SceneMaxTextures)
    return 0;
  return scene->textures[node->textureIndex].texture;
}

// What one node's faces are drawn with, gathered once per face list.
struct NodeDraw {
  const SceneObject* node;
  uint32_t material;
  bool reflective;      // second layer: the scene's reflection texture
  bool lightMaps;       // faces may carry their own light map on the second layer
  bool secondLayer;     // the multitexture entry points are there
  uint32_t reflection;
  float shiftU, shiftV; // the reflection slides with the eye, one repeat per 80 units
};

bool FaceUsable(const SceneObject* node, const Face& f) {
  return f.a < node->vertexCount && f.b < node->vertexCount && f.c < node->vertexCount;
}

bool HasLightMap(const NodeDraw& d, int32_t faceIndex) {
  return d.lightMaps && d.node->faces[faceIndex].hasLightMap;
}

// Where a face's light map lies in its texture (u, v, width, height).
const float WholeMap[4] = {0, 0, 1, 1};

const float* LightMapPlace(const NodeDraw& d, int32_t faceIndex) {
  return d.node->faceLightMapPlaces ? &d.node->faceLightMapPlaces[4 * faceIndex] : WholeMap;
}

// One vertex of a face; `corner` is 0, 1, 2 for a, b, c. The light-mapped face (a place
// given) has no colour call, so it shows the white set at the start of its face.
inline void EmitVertex(const NodeDraw& d, uint16_t v, int corner, const float* place) {
  const SceneObject* node = d.node;
  float u = 0, t = 0;
  if (node->texCoords && v < node->texCoordCount) {
    u = node->texCoords[v].u;
    t = node->texCoords[v].v;
  }
  glTexCoord2f(u, t);
  const Vec3& colour = node->vertexColours ? node->vertexColours[v] : White;
  if (d.reflective) {
    if (d.secondLayer) glMultiTexCoord2fARB(GL_TEXTURE1_ARB, u + d.shiftU, t + d.shiftV);
    glColor3fv(&colour.x);
  } else if (place) {
    if (d.secondLayer)
      glMultiTexCoord2fARB(GL_TEXTURE1_ARB, corner == 1 ? place[0] + place[2] : place[0],
                           corner == 2 ? place[1] + place[3] : place[1]);
  } else {
    glColor3fv(&colour.x);
  }
  glVertex3fv(&node->vertices[v].x);
}

inline void EmitFace(const NodeDraw& d, const Face& f, const float* place) {
  EmitVertex(d, f.a, 0, place);
  EmitVertex(d, f.b, 1, place);
  EmitVertex(d, f.c, 2, place);
}

void SecondLayerOn(uint32_t texture) {
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
}

void SecondLayerOff() {
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
}

// The face-by-face form: every face sets its full texture state and is its own batch.
void DrawFacesEach(const NodeDraw& d, const int32_t* indices, int32_t count) {
  const SceneObject* node = d.node;
  for (int32_t n = 0; n < count; n++) {
    int32_t l = indices ? indices[n] : n;
    if (l < 0 || l >= node->faceCount) continue;
    const Face& f = node->faces[l];
    if (!FaceUsable(node, f)) continue;
    bool lightMapped = !d.reflective && HasLightMap(d, l);
    glColor3f(1, 1, 1);
    if (d.secondLayer) glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, d.material);
    if (d.secondLayer && lightMapped) SecondLayerOn(node->faceLightMaps[l]);
    if (d.secondLayer && d.reflective) SecondLayerOn(d.reflection);
    glBegin(GL_TRIANGLES);
    EmitFace(d, f, lightMapped ? LightMapPlace(d, l) : nullptr);
    glEnd();
    if (d.secondLayer && (lightMapped || d.reflective)) SecondLayerOff();
  }
}

// The batched form: the material is bound once per list; faces follow each other in one
// glBegin/glEnd for as long as their second layer stays the same (none, the reflection,
// or one light map), and the second layer is switched only where it changes.
void DrawFacesBatched(const NodeDraw& d, const int32_t* indices, int32_t count) {
  const SceneObject* node = d.node;
  glColor3f(1, 1, 1);
  if (d.secondLayer) glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, d.material);
  // The second layer in force, and its texture while on.
  bool layerOn = false;
  uint32_t layerTexture = 0;
  bool open = false;
  bool openLightMapped = false;
  for (int32_t n = 0; n < count; n++) {
    int32_t l = indices ? indices[n] : n;
    if (l < 0 || l >= node->faceCount) continue;
    const Face& f = node->faces[l];
    if (!FaceUsable(node, f)) continue;
    bool lightMapped = !d.reflective && HasLightMap(d, l);
    bool wantLayer = d.secondLayer && (lightMapped || d.reflective);
    uint32_t wantTexture = !wantLayer ? 0 : d.reflective ? d.reflection : node->faceLightMaps[l];
    bool layerChange = wantLayer != layerOn || (wantLayer && wantTexture != layerTexture);
    if (open && (layerChange || lightMapped != openLightMapped)) {
      glEnd();
      open = false;
    }
    if (layerChange) {
      if (wantLayer) {
        SecondLayerOn(wantTexture);
        glActiveTextureARB(GL_TEXTURE0_ARB);
      } else {
        SecondLayerOff();
      }
      layerOn = wantLayer;
      layerTexture = wantTexture;
    }
    if (!open) {
      // A light-mapped face shows white: the colour a face starts with.
      if (lightMapped) glColor3f(1, 1, 1);
      glBegin(GL_TRIANGLES);
      open = true;
      openLightMapped = lightMapped;
    }
    EmitFace(d, f, lightMapped ? LightMapPlace(d, l) : nullptr);
  }
  if (open) glEnd();
  if (layerOn) SecondLayerOff();
}

// The batched form through the list's display list: compiled while drawn the first time,
// replayed afterwards.
void DrawFacesCompiled(const NodeDraw& d, const int32_t* indices, int32_t count,
                       CompiledFaces* compiled) {
  if (compiled->list &&
      (compiled->material != d.material || compiled->secondLayer != d.secondLayer))
    ReleaseCompiledFaces(compiled);
  if (compiled->list) {
    glCallList(compiled->list);
    return;
  }
  compiled->list = glGenLists(1);
  compiled->material = d.material;
  compiled->secondLayer = d.secondLayer;
  if (!compiled->list) {
    DrawFacesBatched(d, indices, count);
    return;
  }
  glNewList(compiled->list, GL_COMPILE_AND_EXECUTE);
  DrawFacesBatched(d, indices, count);
  glEndList();
}

void DrawFaceList(Scene3ds* scene, SceneObject* node, const int32_t* indices, int32_t count,
                  CompiledFaces* compiled) {
  if (!node->faces || !node->vertices || count <= 0) return;
  ApplyCameraView(scene);
  if (node->posKeyCount > 1 || node->rotKeyCount > 1) {
    glTranslatef(node->position.x, node->position.y, node->position.z);
    glRotatef(node->rotation.x, 1, 0, 0);
    glRotatef(node->rotation.y, 0, 1, 0);
    glRotatef(node->rotation.z, 0, 0, 1);
    glTranslatef(-node->origin.x, -node->origin.y, -node->origin.z);
  }
  NodeDraw d;
  d.node = node;
  d.material = MaterialTexture(scene, node);
  d.reflective = node->reflective != 0;
  d.lightMaps = node->faceLightMaps != nullptr;
  d.secondLayer = MultitextureReady;
  d.reflection = scene->reflectionTexture;
  const SceneObject* camera = CurrentCamera(scene);
  d.shiftU = camera ? camera->camera.eye.x / 80 : 0.0f;
  d.shiftV = camera ? camera->camera.eye.z / 80 : 0.0f;
  if (node->alphaMasked) {
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
  }
  if (RendererBatching && compiled && !d.reflective) {
    DrawFacesCompiled(d, indices, count, compiled);
  } else if (RendererBatching) {
    DrawFacesBatched(d, indices, count);
  } else {
    DrawFacesEach(d, indices, count);
  }
  if (node->alphaMasked) glDisable(GL_ALPHA_TEST);
}

void BeginAdditivePass() {
  glDepthMask(GL_FALSE);
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_BLEND);
}

void EndAdditivePass() {
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
}

bool PassMatches(const SceneObject* node, int pass) {
  return (pass == 0) == (node->additive == 0);
}

// The visible cells, nearest to the eye first (ties in visible order). Opaque faces drawn
// near to far hide what lies behind them before it is drawn, and the rasteriser skips the
// texturing of hidden pixels (about a tenth of the palace's frame). The picture is the
// one cell order gives, since the depth test keeps the nearest face either way (faces
// that lie in one plane may trade a pixel).
const std::vector<std::pair<float, int32_t>>& CellsNearestFirst(const SceneGrid* grid) {
  static std::vector<std::pair<float, int32_t>> keyed;
  const SceneObject* camera = CurrentCamera(grid->scene);
  Vec3 eye = camera ? camera->camera.eye : Vec3{};
  keyed.clear();
  for (int32_t v = 0; v < grid->visibleCount; v++) {
    int32_t index = grid->visibleCells[v];
    int32_t column = grid->columns > 0 ? index % grid->columns : 0;
    int32_t row = grid->columns > 0 ? index / grid->columns : 0;
    float dx = grid->minX + (column + 0.5f) * grid->cellWidth - eye.x;
    float dz = grid->minZ + (row + 0.5f) * grid->cellDepth - eye.z;
    keyed.push_back({dx * dx + dz * dz, index});
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return keyed;
}

}  // namespace

void DrawGrid(SceneGrid* grid, const DemoTimer& timer) {
  if (!grid || !grid->scene || !grid->cells) return;
  Scene3ds* scene = grid->scene;
  grid->UpdateVisibleCells();
  glEnable(GL_FOG);
  int32_t cellCount = grid->columns * grid->rows;
  const std::vector<std::pair<float, int32_t>>& nearFirst = CellsNearestFirst(grid);
  for (int pass = 0; pass < 2; pass++) {
    if (pass == 1) {
      if (SkyboxEnabled) DrawSkyBoxBehindFaces(scene);
      if (grid->hasModelAnchors) DrawModelAnchors(grid, timer);
      BeginAdditivePass();
    }
    // The opaque pass draws its solid faces before its alpha-tested ones (leaves, fronds,
    // banners): those then find in the depth buffer most of what hides them, and the
    // rasteriser passes over it (a twentieth of the jungle's frame). The depth test keeps
    // the nearest face either way.
    for (int masked = 0; masked < (pass == 0 ? 2 : 1); masked++) {
      for (int32_t v = 0; v < grid->visibleCount; v++) {
        int32_t index = pass == 0 ? nearFirst[v].second : grid->visibleCells[v];
        if (index < 0 || index >= cellCount) continue;
        GridCell& cell = grid->cells[index];
        scene->Rewind();
        for (int32_t k = 0; k < scene->objectCount; k++) {
          SceneObject* node = scene->cursor;
          if (k < cell.nodeCount) {
            NodeFaceList& list = cell.nodeLists[k];
            if (PassMatches(node, pass) && list.faceCount > 0 && node->kind == KindMesh &&
                (pass == 1 || node->alphaMasked == masked))
              DrawFaceList(scene, node, list.faceIndices, list.faceCount, &list.compiled);
          }
          scene->Advance();
        }
      }
    }
    scene->Rewind();
    if (pass == 1) EndAdditivePass();
  }
  DrawEmitters(scene);
}

void DrawScene(Scene3ds* scene, const DemoTimer& timer, SecondPassStep step) {
  if (!scene) return;
  scene->Rewind();
  for (int pass = 0; pass < 2; pass++) {
    if (pass == 1) {
      if (step) step(timer);
      BeginAdditivePass();
    }
    scene->Rewind();
    for (int32_t k = 0; k < scene->objectCount; k++) {
      SceneObject* node = scene->cursor;
      if (node->kind == KindMesh && PassMatches(node, pass) && !node->modelAnchor &&
          !node->emitter)
        DrawFaceList(scene, node, nullptr, node->faceCount, &node->compiled);
      scene->Advance();
    }
    scene->Rewind();
    if (pass == 1) EndAdditivePass();
  }
  DrawEmitters(scene);
}

void DrawSkyBox(Scene3ds* scene) {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  SkyBoxFaces(scene);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
}

namespace {

// The sky box as a backdrop after the opaque faces: the picture it gives drawn first,
// without texturing the sky behind the faces (more than a full screen of it each frame).
void DrawSkyBoxBehindFaces(Scene3ds* scene) {
  BeginBackdrop();
  SkyBoxFaces(scene);
  EndBackdrop();
}

// The five faces of the box (no floor) around the eye, with the camera's rotation only.
void SkyBoxFaces(Scene3ds* scene) {
  glColor3f(1, 1, 1);
  glLoadIdentity();
  const SceneObject* camera = CurrentCamera(scene);
  if (camera) {
    glRotatef(camera->rotation.x, 1, 0, 0);
    glRotatef(camera->rotation.y, 0, 1, 0);
    glRotatef(camera->rotation.z, 0, 0, 1);
  }
  glBindTexture(GL_TEXTURE_2D, TextureSlot(SkyboxSideSlot));
  glBegin(GL_QUADS);
  // z = +1
  glTexCoord2f(0, 1); glVertex3f(-1, -0.3f, 1);
  glTexCoord2f(0, 0); glVertex3f(-1, 1, 1);
  glTexCoord2f(1, 0); glVertex3f(1, 1, 1);
  glTexCoord2f(1, 1); glVertex3f(1, -0.3f, 1);
  // z = -1
  glTexCoord2f(0, 1); glVertex3f(-1, -0.3f, -1);
  glTexCoord2f(0, 0); glVertex3f(-1, 1, -1);
  glTexCoord2f(1, 0); glVertex3f(1, 1, -1);
  glTexCoord2f(1, 1); glVertex3f(1, -0.3f, -1);
  // x = +1
  glTexCoord2f(0, 1); glVertex3f(1, -0.3f, 1);
  glTexCoord2f(0, 0); glVertex3f(1, 1, 1);
  glTexCoord2f(1, 0); glVertex3f(1, 1, -1);
  glTexCoord2f(1, 1); glVertex3f(1, -0.3f, -1);
  // x = -1
  glTexCoord2f(0, 1); glVertex3f(-1, -0.3f, 1);
  glTexCoord2f(0, 0); glVertex3f(-1, 1, 1);
  glTexCoord2f(1, 0); glVertex3f(-1, 1, -1);
  glTexCoord2f(1, 1); glVertex3f(-1, -0.3f, -1);
  glEnd();
  glBindTexture(GL_TEXTURE_2D, TextureSlot(SkyboxTopSlot));
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1); glVertex3f(1, 1, 1);
  glTexCoord2f(0, 0); glVertex3f(-1, 1, 1);
  glTexCoord2f(1, 0); glVertex3f(-1, 1, -1);
  glTexCoord2f(1, 1); glVertex3f(1, 1, -1);
  glEnd();
}

}  // namespace

void DrawEmitters(Scene3ds* scene) {
  if (!scene || scene->emitterCount <= 0) return;
  int32_t emitters = scene->emitterCount < SceneMaxEmitters ? scene->emitterCount
                                                            : SceneMaxEmitters;
  ParticleSystem* system = scene->emitters[0];
  const SceneObject* first = scene->emitterObjects[0];
  if (!system || !first) return;
  float range = EmitterRange();
  scene->Rewind();
  float now = ParticleTime();
  glDisable(GL_FOG);
  glDepthMask(GL_FALSE);
  AdditiveBlend();
  // One simulation for every emitter of the scene: the first emitter's system.
  system->emitterPosition = first->position;
  system->Update(true);
  const SceneObject* camera = CurrentCamera(scene);
  Vec3 eye = camera ? camera->camera.eye : Vec3{};
  const Vec3& o0 = first->position;
  bool rises = system->mode == 1 || system->mode == 3;
  bool shrinks = system->mode == 2 || system->mode == 3;
  // The camera's right and up axes in world space: the rotation part of the modelview,
  // which a translation does not change, so one read serves every sprite; with the view
  // set once, each emitter's sprites go in one batch, their corners placed here.
  float m[16];
  ApplyCameraView(scene);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int32_t i = 0; i < emitters; i++) {
    const SceneObject* node = scene->emitterObjects[i];
    const ParticleSystem* own = scene->emitters[i];
    if (!node || !own) continue;
    const Vec3& oi = node->position;
    if (!(fabsf(eye.x - oi.x) < range) || !(fabsf(eye.z - oi.z) < range)) continue;
    glBindTexture(GL_TEXTURE_2D, own->texture);
    glBegin(GL_QUADS);
    for (int32_t n = 0; n < system->count; n++) {
      const Particle& p = system->particles[n];
      float f = LifeFraction(p, now);
      float lift = rises ? system->speed * (1 - f) : 0.0f;
      float half = shrinks ? system->size * f : system->size;
      float x = p.position.x - o0.x + oi.x;
      float y = p.position.y + lift - o0.y + oi.y;
      float z = p.position.z - o0.z + oi.z;
      float rx = m[0] * half, ry = m[4] * half, rz = m[8] * half;
      float ux = m[1] * half, uy = m[5] * half, uz = m[9] * half;
      glColor3f(f, f, f);
      glTexCoord2f(0, 1);
      glVertex3f(x - rx - ux, y - ry - uy, z - rz - uz);
      glTexCoord2f(0, 0);
      glVertex3f(x + ux - rx, y + uy - ry, z + uz - rz);
      glTexCoord2f(1, 0);
      glVertex3f(x + ux + rx, y + uy + ry, z + uz + rz);
      glTexCoord2f(1, 1);
      glVertex3f(x + rx - ux, y + ry - uy, z + rz - uz);
    }
    glEnd();
  }
  glDepthMask(GL_TRUE);
  BlendOff();
  glColor3d(1, 1, 1);
}

void ReleaseCompiledFaces(CompiledFaces* compiled) {
  if (!compiled) return;
  if (compiled->list) glDeleteLists(compiled->list, 1);
  *compiled = CompiledFaces{};
}

void ForgetCompiledFaces(Scene3ds* scene, SceneGrid* grid) {
  if (grid && grid->cells) {
    for (int32_t n = 0; n < grid->columns * grid->rows; n++) {
      GridCell& cell = grid->cells[n];
      for (int32_t k = 0; k < cell.nodeCount; k++)
        ReleaseCompiledFaces(&cell.nodeLists[k].compiled);
    }
  }
  SceneObject* node = scene;
  for (uint32_t i = 0; node && i < (scene ? scene->objectCount : 0); i++, node = node->next)
    ReleaseCompiledFaces(&node->compiled);
}
