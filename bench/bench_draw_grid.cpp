// Frames per second of the grid draw at 1024 x 768 on the headless backend, for a
// generated jungle-like scene with about 10 000 faces in the visible cells: terrain
// strips with vertex colours, light-mapped and reflective strips, an alpha-masked and an
// additive layer. Run with the face-by-face submission (batched:0) and the batched one
// (batched:1); both draw the same picture.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "engine/renderer.h"
#include "engine/scene_grid.h"
#include "platform/platform.h"

namespace {

uint32_t Texture(int size, uint32_t seed, bool alpha) {
  std::vector<uint8_t> texels((size_t)size * size * 4);
  uint32_t state = seed;
  for (size_t i = 0; i < texels.size(); i += 4) {
    state = state * 1664525u + 1013904223u;
    texels[i] = (uint8_t)(96 + (state >> 24) % 128);
    texels[i + 1] = (uint8_t)(96 + (state >> 16) % 128);
    texels[i + 2] = (uint8_t)(64 + (state >> 8) % 96);
    texels[i + 3] = alpha ? ((state >> 4) % 2 ? 255 : 0) : 255;
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 4, size, size, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  return name;
}

SceneObject* AddNode(Scene3ds* scene, uint16_t kind, const char* name) {
  SceneObject* node = AppendNode(scene, kind, name);
  node->additive = name[0] == '%' && name[1] != '%';
  node->alphaMasked = name[0] == '%' && name[1] == '%';
  node->reflective = name[0] == '?';
  return node;
}

// A patch of n by n quads (2 n^2 faces) over [x0, x0 + size] x [z0, z0 + size] at a
// rolling height; light maps on every face when `lightMaps` is given (up to 4 distinct).
void MakePatch(SceneObject* node, float x0, float z0, float size, int n, float lift,
               const uint32_t* lightMaps) {
  int side = n + 1;
  node->vertexCount = node->texCoordCount = (uint16_t)(side * side);
  node->faceCount = (uint16_t)(2 * n * n);
  node->vertices = new Vec3[side * side];
  node->vertexColours = new Vec3[side * side];
  node->texCoords = new TexCoord[side * side];
  for (int i = 0; i < side; i++) {
    for (int j = 0; j < side; j++) {
      float x = x0 + size * j / n, z = z0 + size * i / n;
      int v = i * side + j;
      node->vertices[v] = {x, lift + 8 * sinf(x * 0.02f) * cosf(z * 0.017f), z};
      float shade = 0.6f + 0.4f * sinf(x * 0.01f + z * 0.013f);
      node->vertexColours[v] = {shade, 0.9f * shade, 0.8f};
      node->texCoords[v] = {(float)j / 4, (float)i / 4};
    }
  }
  node->faces = new Face[2 * n * n];
  if (lightMaps) node->faceLightMaps = new uint32_t[2 * n * n];
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      uint16_t a = (uint16_t)(i * side + j), b = (uint16_t)(a + 1), c = (uint16_t)(a + side),
               d = (uint16_t)(c + 1);
      int f = 2 * (i * n + j);
      node->faces[f] = Face{a, b, d, 0, (uint8_t)(lightMaps != nullptr)};
      node->faces[f + 1] = Face{a, d, c, 0, (uint8_t)(lightMaps != nullptr)};
      if (lightMaps) {
        node->faceLightMaps[f] = node->faceLightMaps[f + 1] = lightMaps[(i / 8 + j / 8) % 4];
      }
    }
  }
}

struct BenchScene {
  Scene3ds* scene = nullptr;
  SceneGrid* grid = nullptr;
  int facesInView = 0;
};

BenchScene Build() {
  BenchScene b;
  Scene3ds* scene = new Scene3ds;
  b.scene = scene;
  uint32_t maps[4] = {Texture(32, 11, false), Texture(32, 12, false), Texture(32, 13, false),
                      Texture(32, 14, false)};
  const char* names[] = {"ground", "?pond", "%%ferns", "%mist"};
  for (int t = 0; t < 4; t++) {
    scene->textures[t].texture = Texture(128, 100 + t, t == 2);
    snprintf(scene->textures[t].name, sizeof scene->textures[t].name, "maps/bench%d.jpg", t);
  }
  scene->textureCount = 4;
  scene->reflectionTexture = Texture(64, 7, false);
  // A 1500-unit square of terrain patches, 150 units each (one grid cell), with a
  // reflective, a masked and an additive patch here and there.
  int k = 0;
  for (int pi = 0; pi < 10; pi++) {
    for (int pj = 0; pj < 10; pj++, k++) {
      int role = (pi * 3 + pj) % 7 == 0 ? 1 : (pi + pj) % 5 == 0 ? 2 : (pi * pj) % 9 == 4 ? 3 : 0;
      SceneObject* node = AddNode(scene, KindMesh, names[role]);
      node->textureIndex = role;
      bool lightMapped = role == 0 && (pi + 2 * pj) % 3 == 0;
      MakePatch(node, -750 + 150 * pj + 0.5f, -750 + 150 * pi + 0.5f, 149, 19, role == 3 ? 6 : 0,
                lightMapped ? maps : nullptr);
    }
  }
  SceneObject* camera = AddNode(scene, KindCamera, "camera");
  camera->camera.eye = {0, 40, 200};
  camera->rotation = {12, 0, 0};
  scene->cameras[0] = camera;
  scene->cameraCount = 1;
  b.grid = new SceneGrid(scene);
  b.grid->UpdateVisibleCells();
  for (int v = 0; v < b.grid->visibleCount; v++) {
    const GridCell& cell = b.grid->cells[b.grid->visibleCells[v]];
    for (int n = 0; n < cell.nodeCount; n++) b.facesInView += cell.nodeLists[n].faceCount;
  }
  return b;
}

bool OpenContext() {
  static bool open = false;
  if (open) return true;
  PlatformSetMessageBoxesHeadless(true);
  if (!PlatformOpenHeadless(1024, 768)) return false;
  LoadExtensions();
  SetProjection(1024, 768);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, 200);
  glFogf(GL_FOG_END, 900);
  open = true;
  return true;
}

void BM_DrawGrid(benchmark::State& state) {
  if (!OpenContext()) {
    state.SkipWithError("no headless GL context");
    return;
  }
  static BenchScene scene = Build();
  RendererBatching = state.range(0) != 0;
  SkyboxEnabled = false;
  DemoTimer timer(100);
  // One untimed frame first: the driver compiles its pipeline for this state mix.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawGrid(scene.grid, timer);
  glFinish();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawGrid(scene.grid, timer);
    glFinish();
  }
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["faces_in_view"] = scene.facesInView;
  state.counters["visible_cells"] = scene.grid->visibleCount;
  RendererBatching = true;
}
BENCHMARK(BM_DrawGrid)->ArgName("batched")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
