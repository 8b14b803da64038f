// The scene renderer, by its pixels on the headless backend, on tiny scenes built here:
// the two passes, light maps, the sliding reflection layer, alpha-masked cut-outs, the
// sky box, emitters at the edge of their range, the state left behind, and the batched
// face submission against the face-by-face form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/settings.h"
#include "assets/texture_table.h"
#include "effects/particles.h"
#include "engine/animation.h"
#include "engine/renderer.h"
#include "engine/scene_grid.h"
#include "engine/vertex_lighting.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

SceneObject* AddNode(Scene3ds* scene, uint16_t kind, const char* name) {
  return AppendNode(scene, kind, name);
}

// A rectangle facing the camera at depth z, x0..x1 by y0..y1, as two faces (lower-left,
// lower-right, upper-right) and (lower-left, upper-right, upper-left), with u running 0
// to 1 left to right and v 1 to 0 bottom to top; every vertex coloured `colour`.
SceneObject* AddQuad(Scene3ds* scene, const char* name, float x0, float x1, float y0, float y1,
                     float z, Vec3 colour = {1, 1, 1}) {
  SceneObject* node = AddNode(scene, KindMesh, name);
  node->vertexCount = node->texCoordCount = 4;
  node->faceCount = 2;
  node->vertices = new Vec3[4]{{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
  node->vertexColours = new Vec3[4]{colour, colour, colour, colour};
  node->texCoords = new TexCoord[4]{{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  node->faces = new Face[2];
  node->faces[0] = Face{0, 1, 2, 0, 0};
  node->faces[1] = Face{0, 2, 3, 0, 0};
  node->additive = name[0] == '%' && name[1] != '%';
  node->alphaMasked = name[0] == '%' && name[1] == '%';
  node->reflective = name[0] == '?';
  node->modelAnchor = name[0] == '@';
  return node;
}

int AddTexture(Scene3ds* scene, uint32_t texture) {
  scene->textures[scene->textureCount].texture = texture;
  return scene->textureCount++;
}

SceneObject* AddCamera(Scene3ds* scene, Vec3 eye, Vec3 angles) {
  SceneObject* camera = AddNode(scene, KindCamera, "camera");
  camera->camera.eye = eye;
  camera->rotation = angles;
  scene->cameras[scene->cameraCount++] = camera;
  return camera;
}

uint32_t RgbaTexture(int w, int h, uint32_t (*texel)(int x, int y)) {
  std::vector<uint32_t> pixels((size_t)w * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) pixels[(size_t)y * w + x] = texel(x, y);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return name;
}

Rgb White(int, int) { return Rgb{255, 255, 255}; }
Rgb Red(int, int) { return Rgb{255, 0, 0}; }
Rgb Green(int, int) { return Rgb{0, 255, 0}; }
Rgb Blue(int, int) { return Rgb{0, 0, 255}; }
// Left half black, right half white: shows where u lands.
Rgb HalfWhite(int x, int) { return x < 32 ? Rgb{0, 0, 0} : Rgb{255, 255, 255}; }

// Screen x of a point at (x, z) seen from the origin looking along -Z.
int ScreenX(float x, float z) { return 512 + (int)(x / (-z * 0.41421356f) * 384); }

class Renderer : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    saved = {SkyboxEnabled, ViewRangeCells, SkyboxSideSlot, SkyboxTopSlot};
    SkyboxEnabled = false;
    // Fog far beyond the test scenes, so that the grid draw's fog changes no pixel.
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 1900);
    glFogf(GL_FOG_END, 2000);
  }
  void TearDown() override {
    SkyboxEnabled = saved.sky;
    ViewRangeCells = saved.range;
    SkyboxSideSlot = saved.side;
    SkyboxTopSlot = saved.top;
    RendererBatching = true;
    glDisable(GL_FOG);
  }
  struct {
    bool sky;
    int32_t range, side, top;
  } saved;
  DemoTimer timer{10};
};

void ExpectStateLeftBehind() {
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_TRUE(mask);
  if (MultitextureReady) {
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0_ARB);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

}  // namespace

TEST_F(Renderer, OpaquePassThenAdditivePassWithDepthTestKept) {
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  // The additive meshes come first in the list, yet are drawn after the opaque pass.
  SceneObject* glow = AddQuad(scene, "%glow", -10, 0, -2, 2, -18, {0, 0, 0.5f});
  SceneObject* hidden = AddQuad(scene, "%hidden", 2, 6, -2, 2, -25, {0, 1, 0});
  SceneObject* wall = AddQuad(scene, "wall", -8, 8, -3, 3, -20, {0.5f, 0, 0});
  SceneObject* anchor = AddQuad(scene, "@anchor", -8, 8, 4, 6, -20);
  glow->textureIndex = hidden->textureIndex = wall->textureIndex = anchor->textureIndex = white;
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});

  static int stepCalls;
  static bool blendAtStep;
  stepCalls = 0;
  SecondPassStep step = [](const DemoTimer&) {
    stepCalls++;
    blendAtStep = glIsEnabled(GL_BLEND);
  };
  DrawScene(scene, timer, step);
  EXPECT_EQ(stepCalls, 1);
  EXPECT_FALSE(blendAtStep);  // the step runs before the pass sets its blending
  Rgb both = Pixel(ScreenX(-4, -20), 384);
  EXPECT_NEAR(both.r, 128, 2);  // the wall ...
  EXPECT_NEAR(both.b, 128, 2);  // ... plus the glow, in front, added
  Rgb glowOnly = Pixel(ScreenX(-9.5f, -18), 384);
  EXPECT_EQ(glowOnly.r, 0);
  EXPECT_NEAR(glowOnly.b, 128, 2);
  // Behind the wall: the additive pass keeps the depth test.
  EXPECT_NEAR(Pixel(ScreenX(4, -25), 384).g, 0, 1);
  // Model anchors' own faces are never drawn.
  EXPECT_EQ(Pixel(512, 384 - (int)(5 / (20 * 0.41421356f) * 384)).r, 0);
  ExpectStateLeftBehind();
  ReleaseScene(scene);
}

TEST_F(Renderer, LightMappedFacesShowTheirMapAndStayWhite) {
  if (!MultitextureReady) GTEST_SKIP() << "no multitexture on this driver";
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  SceneObject* wall = AddQuad(scene, "wall", -8, 8, -6, 6, -20, {0, 0, 1});
  wall->textureIndex = white;
  // The map is red where its u is below one half and green above: the face's corners
  // take u = 0, 1, 0 (a, b, c), so green lies towards b, the lower-right corner.
  uint32_t map = RgbaTexture(64, 64, [](int x, int) -> uint32_t {
    return x < 32 ? 0xff0000ffu : 0xff00ff00u;
  });
  wall->faceLightMaps = new uint32_t[2]{map, 0};
  wall->faces[0].hasLightMap = 1;  // the lower-right face
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  DrawScene(scene, timer, nullptr);
  auto screenY = [](float y) { return 384 - (int)(y / (20 * 0.41421356f) * 384); };
  Rgb nearB = Pixel(ScreenX(7, -20), screenY(-5));
  Rgb nearAC = Pixel(ScreenX(0, -20), screenY(-1));
  Rgb plain = Pixel(ScreenX(-6, -20), screenY(4));
  // White face times the map; the blue vertex colours are not used.
  EXPECT_EQ(nearB.g, 255);
  EXPECT_EQ(nearB.r + nearB.b, 0);
  EXPECT_EQ(nearAC.r, 255);
  EXPECT_EQ(nearAC.g + nearAC.b, 0);
  EXPECT_EQ(plain.r + plain.g, 0);  // the other face: vertex colours, no map
  EXPECT_EQ(plain.b, 255);
  ExpectStateLeftBehind();
  ReleaseScene(scene);
}

// The lighting reader packs the faces' maps into shared textures; drawn that way, a wall
// of faces with maps of every size looks as it does with each map a texture of its own.
TEST_F(Renderer, PackedLightMapsLookLikeATextureEach) {
  if (!MultitextureReady) GTEST_SKIP() << "no multitexture on this driver";
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  // 8 x 4 quads, two faces each, at a slant so that the maps are seen at many scales.
  const int columns = 8, rows = 4;
  SceneObject* wall = AddNode(scene, KindMesh, "wall");
  wall->vertexCount = wall->texCoordCount = (columns + 1) * (rows + 1);
  wall->faceCount = 2 * columns * rows;
  wall->vertices = new Vec3[wall->vertexCount];
  wall->vertexColours = new Vec3[wall->vertexCount];
  wall->texCoords = new TexCoord[wall->vertexCount];
  wall->faces = new Face[wall->faceCount];
  for (int r = 0; r <= rows; r++) {
    for (int c = 0; c <= columns; c++) {
      int v = r * (columns + 1) + c;
      wall->vertices[v] = {-12.0f + 3 * c, -6.0f + 3 * r, -14.0f - 1.5f * c};
      wall->vertexColours[v] = {1, 1, 1};
      wall->texCoords[v] = {(float)c / columns, (float)r / rows};
    }
  }
  for (int r = 0, f = 0; r < rows; r++) {
    for (int c = 0; c < columns; c++) {
      uint16_t v = (uint16_t)(r * (columns + 1) + c), up = (uint16_t)(v + columns + 1);
      wall->faces[f++] = Face{v, (uint16_t)(v + 1), up, 0, 0};
      wall->faces[f++] = Face{(uint16_t)(up + 1), up, (uint16_t)(v + 1), 0, 0};
    }
  }
  wall->textureIndex = white;
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});

  // The lighting file: white vertices, then a map per face, edges 1 to 32 in turn.
  auto edge = [](int face) { return 1u << (face % 6); };
  auto texel = [](int face, uint32_t i) { return (uint8_t)((face * 73 + i * 151 + (i >> 3) * 29) & 0xFF); };
  std::vector<uint8_t> file;
  auto put = [&](const void* p, size_t n) {
    file.insert(file.end(), (const uint8_t*)p, (const uint8_t*)p + n);
  };
  for (int v = 0; v < wall->vertexCount * 3; v++) {
    float one = 1.0f;
    put(&one, 4);
  }
  for (int f = 0; f < wall->faceCount; f++) {
    uint32_t n = edge(f);
    file.push_back(1);
    put(&n, 4);
    for (uint32_t i = 0; i < n * (n + 1) / 2 * 3; i++) file.push_back(texel(f, i));
  }
  ASSERT_TRUE(ParseVertexLightingWithLightMaps(scene, file.data(), file.size()));
  ASSERT_NE(wall->faceLightMapPlaces, nullptr);
  for (int f = 1; f < wall->faceCount; f++) EXPECT_EQ(wall->faceLightMaps[f], wall->faceLightMaps[0]);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawScene(scene, timer, nullptr);
  std::vector<uint8_t> packed = Frame();

  // The same maps, each its own texture as the file describes it.
  std::vector<uint32_t> own(wall->faceCount);
  for (int f = 0; f < wall->faceCount; f++) {
    uint32_t n = edge(f);
    std::vector<uint8_t> square(n * n * 3, 0);
    for (uint32_t l = 0, i = 0; l < n; l++)
      for (uint32_t m = 0; m + l < n; m++, i += 3)
        for (int k = 0; k < 3; k++) square[(l * n + m) * 3 + k] = texel(f, i + k);
    MirrorLightMap(square.data(), n);
    glGenTextures(1, &own[f]);
    glBindTexture(GL_TEXTURE_2D, own[f]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, n, n, 0, GL_RGB, GL_UNSIGNED_BYTE, square.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    wall->faceLightMaps[f] = own[f];
  }
  delete[] wall->faceLightMapPlaces;
  wall->faceLightMapPlaces = nullptr;
  ForgetCompiledFaces(scene, nullptr);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawScene(scene, timer, nullptr);
  std::vector<uint8_t> each = Frame();

  ASSERT_EQ(packed.size(), each.size());
  size_t lit = 0, off = 0;
  int worst = 0;
  for (size_t i = 0; i < each.size(); i += 4) {
    if (each[i] || each[i + 1] || each[i + 2]) lit++;
    int d = 0;
    for (int k = 0; k < 3; k++) d = std::max(d, std::abs(each[i + k] - packed[i + k]));
    worst = std::max(worst, d);
    if (d > 1) off++;
  }
  EXPECT_GT(lit, 100000u);
  EXPECT_LE(worst, 3);
  EXPECT_LT(off, lit / 1000);
  ReleaseScene(scene);
}

TEST_F(Renderer, ReflectionLayerSlidesWithTheEyeAndHidesLightMaps) {
  if (!MultitextureReady) GTEST_SKIP() << "no multitexture on this driver";
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  scene->reflectionTexture = MakeTexture(64, 4, HalfWhite);
  SceneObject* mirror = AddQuad(scene, "?mirror", -10, 10, -6, 6, -20);
  mirror->textureIndex = white;
  mirror->faceLightMaps = new uint32_t[2]{MakeTexture(2, 2, Red), MakeTexture(2, 2, Red)};
  mirror->faces[0].hasLightMap = mirror->faces[1].hasLightMap = 1;
  // Two position keys: the mesh follows `position`, so it stays put on screen while the
  // eye moves; only the reflection layer moves.
  mirror->posKeyCount = 2;
  SceneObject* camera = AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  int quarter = ScreenX(-5, -20);  // u = 0.25
  DrawScene(scene, timer, nullptr);
  Rgb before = Pixel(quarter, 384);
  EXPECT_EQ(before.r, 0);  // the dark half of the reflection; no red from the maps
  for (float eyeX : {40.0f, -40.0f}) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera->camera.eye.x = eyeX;
    mirror->position.x = eyeX;  // half a repeat: u 0.25 reads the layer at 0.75 (or -0.25)
    DrawScene(scene, timer, nullptr);
    Rgb after = Pixel(quarter, 384);
    EXPECT_EQ(after.r, 255) << eyeX;
    EXPECT_EQ(after.g, 255) << eyeX;
  }
  ExpectStateLeftBehind();
  ReleaseScene(scene);
}

TEST_F(Renderer, AlphaMaskedMeshIsCutOutAndOneKeyMeansUntransformed) {
  Scene3ds* scene = new Scene3ds;
  int masked = AddTexture(scene, RgbaTexture(8, 8, [](int x, int) -> uint32_t {
    return x < 4 ? 0x000000ffu : 0xff00ff00u;  // left: red, transparent; right: green
  }));
  SceneObject* leaf = AddQuad(scene, "%%leaf", -8, 8, -4, 4, -20);
  leaf->textureIndex = masked;
  // One key in each track: drawn at its stored vertices though position is elsewhere.
  leaf->posKeyCount = leaf->rotKeyCount = 1;
  leaf->position = {100, 0, 0};
  leaf->rotation = {0, 90, 0};
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawScene(scene, timer, nullptr);
  Rgb cut = Pixel(ScreenX(-4, -20), 384);
  Rgb kept = Pixel(ScreenX(4, -20), 384);
  EXPECT_EQ(cut.b, 255);
  EXPECT_EQ(cut.r, 0);
  EXPECT_EQ(kept.g, 255);
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  GLint func = 0;
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &func);
  EXPECT_EQ(func, GL_GREATER);
  glClearColor(0, 0, 0, 0);
  glAlphaFunc(GL_ALWAYS, 0);
  ReleaseScene(scene);
}

// The grid draws its solid meshes before its alpha-tested ones; the picture is the one
// the list order gives: cut-outs show what lies behind them, whichever comes first.
TEST_F(Renderer, GridDrawShowsSolidAndCutOutMeshesInEitherOrder) {
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  int masked = AddTexture(scene, RgbaTexture(8, 8, [](int x, int) -> uint32_t {
    return x < 4 ? 0x000000ffu : 0xff00ff00u;  // left: red, transparent; right: green
  }));
  // A leaf in front of the wall and one behind it, both listed before the wall.
  AddQuad(scene, "%%front", -8, 8, -4, 4, -20)->textureIndex = masked;
  AddQuad(scene, "%%behind", -16, 16, -6, 6, -30)->textureIndex = masked;
  AddQuad(scene, "wall", -6, 6, -3, 3, -25, {1, 0, 0})->textureIndex = white;
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  SceneGrid grid(scene);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawGrid(&grid, timer);
  ASSERT_GT(grid.visibleCount, 0);
  Rgb throughFront = Pixel(ScreenX(-2, -20), 384);  // the front leaf's cut-out: the wall
  Rgb front = Pixel(ScreenX(2, -20), 384);          // its kept half
  Rgb aside = Pixel(ScreenX(-14, -30), 384);  // past the others: the far leaf's cut-out
  Rgb farKept = Pixel(ScreenX(14, -30), 384);  // and its kept half
  EXPECT_EQ(throughFront.r, 255);
  EXPECT_EQ(throughFront.g, 0);
  EXPECT_EQ(front.g, 255);
  EXPECT_EQ(front.r, 0);
  EXPECT_EQ(aside.b, 255);
  EXPECT_EQ(aside.r + aside.g, 0);
  EXPECT_EQ(farKept.g, 255);
  ExpectStateLeftBehind();
  glClearColor(0, 0, 0, 0);
  glAlphaFunc(GL_ALWAYS, 0);
  ReleaseScene(scene);
}

TEST_F(Renderer, GridDrawShowsTheSkyBoxBehindTheVisibleCells) {
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  SceneObject* wall = AddQuad(scene, "wall", -2, 2, -2, 2, -20, {1, 0, 0});
  wall->textureIndex = white;
  SceneObject* camera = AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  SceneGrid grid(scene);
  uint32_t side = MakeTexture(2, 2, Green), top = MakeTexture(2, 2, Blue);
  TextureTable[20] = side;
  TextureTable[21] = top;
  SkyboxSideSlot = 20;
  SkyboxTopSlot = 21;
  SkyboxEnabled = true;

  DrawGrid(&grid, timer);
  ASSERT_EQ(grid.visibleCount, 1);
  EXPECT_EQ(Pixel(512, 384).r, 255);    // the wall in front of the box
  EXPECT_EQ(Pixel(100, 384).g, 255);    // the wall of the box around it
  EXPECT_TRUE(glIsEnabled(GL_FOG));     // no emitters: the fog stays on
  ExpectStateLeftBehind();
  // The box is drawn behind the faces at the far plane; the depth state is as it was.
  GLint depthFunc = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(depthFunc, GL_LESS);
  GLfloat range[2] = {-1, -1};
  glGetFloatv(GL_DEPTH_RANGE, range);
  EXPECT_EQ(range[0], 0.0f);
  EXPECT_EQ(range[1], 1.0f);
  // Looking straight up: the top; straight down: no floor, only the cleared frame.
  camera->rotation.x = -90;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawSkyBox(scene);
  EXPECT_EQ(Pixel(512, 384).b, 255);
  camera->rotation.x = 90;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawSkyBox(scene);
  Rgb below = Pixel(512, 384);
  EXPECT_EQ(below.r + below.g + below.b, 0);
  // The walls end at y = -0.3: slightly down from level still sees the wall.
  camera->rotation.x = 10;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawSkyBox(scene);
  EXPECT_EQ(Pixel(512, 384).g, 255);
  TextureTable[20] = TextureTable[21] = 0;
  ReleaseScene(scene);
}

TEST_F(Renderer, EmitterExactlyAtTheRangeIsNotDrawn) {
  PlatformUseVirtualClock(true);
  PlatformSetVirtualTime(5000);
  ViewRangeCells = 0;  // range 800
  EXPECT_EQ(EmitterRange(), 800.0f);
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  strcpy(scene->textures[white].name, "text/spark.jpg");
  SceneObject* source = AddQuad(scene, "*0source", -1, 1, -1, 1, 0);
  SceneObject* far = AddQuad(scene, "*0far", -1, 1, -1, 1, 0);
  source->textureIndex = far->textureIndex = white;
  source->position = {-100, 0, 0};  // behind the camera, which looks along +X
  AttachEmitters(scene, 10, 100.0f, 1, 60.0f, 0.0f);
  ASSERT_EQ(scene->emitterCount, 2);
  scene->emitters[0]->texture = scene->emitters[1]->texture = scene->textures[white].texture;
  // One live particle at the source, just born.
  ParticleSystem* system = scene->emitters[0];
  system->count = 1;
  system->particles[0] = Particle{source->position, 5.0f, 105.0f};
  system->lastEmission = 5.0f;
  AddCamera(scene, {0, 0, 0}, {0, 90, 0});

  for (float distance : {799.0f, 800.0f}) {
    far->position = {distance, 0, 0};
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_FOG);
    DrawEmitters(scene);
    EXPECT_EQ(Pixel(512, 384).r, distance < 800 ? 255 : 0) << distance;
    EXPECT_FALSE(glIsEnabled(GL_FOG));  // emitters switch the fog off and leave it off
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
  }
  // A scene without emitters: nothing changes.
  Scene3ds* none = new Scene3ds;
  glEnable(GL_FOG);
  DrawEmitters(none);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  glDisable(GL_FOG);
  ReleaseScene(none);
  ReleaseScene(scene);
  PlatformUseVirtualClock(false);
}

TEST_F(Renderer, IncompleteNodesDrawWhatTheyHold) {
  // Nodes as a damaged file or a half-built scene may leave them: no mapping coordinates
  // or colours, a light-map flag without maps, a material outside the table, a face
  // naming a vertex that does not exist, a camera index past the table.
  Scene3ds* scene = new Scene3ds;
  SceneObject* bare = AddQuad(scene, "bare", -8, 0, -4, 4, -20);
  delete[] bare->texCoords;
  bare->texCoords = nullptr;
  delete[] bare->vertexColours;
  bare->vertexColours = nullptr;
  bare->faces[0].hasLightMap = 1;
  bare->textureIndex = 75;
  SceneObject* broken = AddQuad(scene, "broken", 0, 8, -4, 4, -20, {0, 1, 0});
  broken->faces[1].c = 9;
  broken->texCoordCount = 1;
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  scene->currentCamera = 7;
  for (bool batched : {false, true}) {
    RendererBatching = batched;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawScene(scene, timer, nullptr);
    EXPECT_EQ(Pixel(ScreenX(-4, -20), 384).r, 255) << batched;  // white, untextured
    // Of the broken quad only the face with valid corners is drawn (the lower right).
    EXPECT_EQ(Pixel(ScreenX(7, -20), 384 + 150).g, 255) << batched;
    EXPECT_EQ(Pixel(ScreenX(1, -20), 384 - 150).g, 0) << batched;
  }
  ReleaseScene(scene);
}

TEST_F(Renderer, BatchedFacesDrawTheSamePictureAsFaceByFace) {
  Scene3ds* scene = new Scene3ds;
  int white = AddTexture(scene, MakeTexture(2, 2, White));
  int masked = AddTexture(scene, RgbaTexture(8, 8, [](int x, int y) -> uint32_t {
    return (x + y) % 3 ? 0xff40c080u : 0x00ffffffu;
  }));
  uint32_t maps[3] = {MakeTexture(2, 2, Red), MakeTexture(2, 2, Green), MakeTexture(2, 2, Blue)};
  scene->reflectionTexture = MakeTexture(64, 4, HalfWhite);
  // A strip of faces: colours per vertex, and light maps that change from face to face.
  SceneObject* strip = AddNode(scene, KindMesh, "strip");
  const int n = 24;
  strip->vertexCount = strip->texCoordCount = 2 * (n + 1);
  strip->faceCount = 2 * n;
  strip->vertices = new Vec3[2 * (n + 1)];
  strip->vertexColours = new Vec3[2 * (n + 1)];
  strip->texCoords = new TexCoord[2 * (n + 1)];
  strip->faces = new Face[2 * n];
  strip->faceLightMaps = new uint32_t[2 * n];
  for (int i = 0; i <= n; i++) {
    float x = -12 + i, s = (float)i / n;
    strip->vertices[2 * i] = {x, -4, -20};
    strip->vertices[2 * i + 1] = {x, 0, -20 - s * 4};
    strip->vertexColours[2 * i] = {s, 1 - s, 0.5f};
    strip->vertexColours[2 * i + 1] = {1 - s, 0.3f, s};
    strip->texCoords[2 * i] = {s, 1};
    strip->texCoords[2 * i + 1] = {s, 0};
  }
  for (int f = 0; f < n; f++) {
    strip->faces[2 * f] = Face{(uint16_t)(2 * f), (uint16_t)(2 * f + 2), (uint16_t)(2 * f + 3), 0,
                               (uint8_t)(f % 4 != 0)};
    strip->faces[2 * f + 1] = Face{(uint16_t)(2 * f), (uint16_t)(2 * f + 3), (uint16_t)(2 * f + 1),
                                   0, (uint8_t)(f % 3 == 0)};
    strip->faceLightMaps[2 * f] = maps[(f / 2) % 3];
    strip->faceLightMaps[2 * f + 1] = maps[f % 3];
  }
  strip->textureIndex = white;
  AddQuad(scene, "?mirror", -12, 12, 1, 4, -22, {0.7f, 0.9f, 0.4f})->textureIndex = white;
  AddQuad(scene, "%%leaf", -6, 6, -6, 6, -19)->textureIndex = masked;
  AddQuad(scene, "%glow", -3, 9, -2, 5, -15, {0.2f, 0.1f, 0.3f})->textureIndex = white;
  AddCamera(scene, {1.5f, 0.5f, 2}, {3, -4, 2});

  RendererBatching = false;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawScene(scene, timer, nullptr);
  std::vector<uint8_t> each = Frame();
  RendererBatching = true;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawScene(scene, timer, nullptr);
  std::vector<uint8_t> batched = Frame();
  ASSERT_EQ(each.size(), batched.size());
  size_t differing = 0, lit = 0;
  for (size_t i = 0; i < each.size(); i += 4) {
    if (memcmp(&each[i], &batched[i], 3) != 0) differing++;
    if (each[i] || each[i + 1] || each[i + 2]) lit++;
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(lit, 50000u);  // the scene does cover the frame
  glAlphaFunc(GL_ALWAYS, 0);
  ReleaseScene(scene);
}

// Face lists are compiled on their first draw: the replay draws the same picture, a new
// material texture is noticed, and changed colours show once the lists are forgotten.
TEST_F(Renderer, CompiledFaceListsReplayTheirFirstDraw) {
  Scene3ds* scene = new Scene3ds;
  int texture = AddTexture(scene, MakeTexture(2, 2, White));
  SceneObject* wall = AddQuad(scene, "wall", -8, 8, -6, 6, -20, {1, 0.5f, 0});
  wall->textureIndex = texture;
  AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  SceneGrid grid(scene);
  auto draw = [&](bool useGrid) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (useGrid)
      DrawGrid(&grid, timer);
    else
      DrawScene(scene, timer, nullptr);
    return Frame();
  };
  for (bool useGrid : {false, true}) {
    SCOPED_TRACE(useGrid ? "grid" : "scene");
    std::vector<uint8_t> first = draw(useGrid);
    EXPECT_EQ(draw(useGrid), first);
    Rgb centre = Pixel(512, 384);
    EXPECT_EQ(centre.r, 255);
    EXPECT_NEAR(centre.g, 128, 1);
  }
  EXPECT_NE(wall->compiled.list, 0u);
  // Another material texture: drawn with it at once.
  scene->textures[texture].texture = MakeTexture(2, 2, Green);
  draw(false);
  EXPECT_EQ(Pixel(512, 384).r, 0);
  EXPECT_NEAR(Pixel(512, 384).g, 128, 1);
  draw(true);
  EXPECT_EQ(Pixel(512, 384).r, 0);
  // Colours changed in place are seen after the lists are forgotten.
  for (int v = 0; v < 4; v++) wall->vertexColours[v] = {0, 1, 0};
  ForgetCompiledFaces(scene, &grid);
  EXPECT_EQ(wall->compiled.list, 0u);
  draw(false);
  EXPECT_EQ(Pixel(512, 384).g, 255);
  draw(true);
  EXPECT_EQ(Pixel(512, 384).g, 255);
  ExpectStateLeftBehind();
  ReleaseSceneGrid(&grid);
  ReleaseScene(scene);
}

TEST_F(Renderer, CameraViewPutsTheTargetAtTheCentreOfTheFrame) {
  // The animation's angles and the renderer's view together: whatever the eye and the
  // target, the target lands on the view axis in front of the camera.
  Scene3ds* scene = new Scene3ds;
  SceneObject* camera = AddCamera(scene, {0, 0, 0}, {0, 0, 0});
  const Vec3 eyes[] = {{30, 20, 40}, {-65.9f, 84, -16.1f}, {5, -40, 3}, {-7, 1, -90}};
  const Vec3 target = {5, -3, -7};
  for (const Vec3& eye : eyes) {
    camera->camera.eye = eye;
    CameraAngles(eye, target, &camera->rotation.x, &camera->rotation.y);
    ApplyCameraView(scene);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    float x = m[0] * target.x + m[4] * target.y + m[8] * target.z + m[12];
    float y = m[1] * target.x + m[5] * target.y + m[9] * target.z + m[13];
    float z = m[2] * target.x + m[6] * target.y + m[10] * target.z + m[14];
    float distance = sqrtf(z * z + x * x + y * y);
    // 3.1415 for pi in the angles leaves the aim off by a few hundredths of a degree.
    EXPECT_LT(fabsf(x) / distance, 2e-3f) << eye.x;
    EXPECT_LT(fabsf(y) / distance, 2e-3f) << eye.x;
    EXPECT_LT(z, 0) << eye.x;
  }
  ReleaseScene(scene);
}

namespace {

// A 3DS file with one mesh: a square of edge 20 in the file's x-z plane (which the
// loader turns to face +Z), as the chunk tree main > editor > object > mesh.
std::vector<uint8_t> SquareScene() {
  auto chunk = [](uint16_t id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(6);
    uint32_t length = (uint32_t)body.size() + 6;
    memcpy(&out[0], &id, 2);
    memcpy(&out[2], &length, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  };
  auto bytes = [](const void* p, size_t n) {
    const uint8_t* b = (const uint8_t*)p;
    return std::vector<uint8_t>(b, b + n);
  };
  auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  float points[4][3] = {{-10, 0, -10}, {10, 0, -10}, {10, 0, 10}, {-10, 0, 10}};
  uint16_t vertexCount = 4, faceCount = 2;
  uint16_t faces[2][4] = {{0, 1, 2, 0}, {0, 2, 3, 0}};
  std::vector<uint8_t> vertices = join(bytes(&vertexCount, 2), bytes(points, sizeof points));
  std::vector<uint8_t> faceList = join(bytes(&faceCount, 2), bytes(faces, sizeof faces));
  std::vector<uint8_t> mesh = chunk(0x4100, join(chunk(0x4110, vertices), chunk(0x4120, faceList)));
  std::vector<uint8_t> object = chunk(0x4000, join(bytes("square", 7), mesh));
  return chunk(0x4D4D, chunk(0x3D3D, object));
}

std::string Shell(const std::string& command) {
  return command + " > /dev/null 2>&1";
}

}  // namespace

TEST(Preview, WritesFramesOfASceneWithoutCameraAndRefusesFilesThatDoNotLoad) {
  std::string tool = std::string(TEST_BINARY_DIR) + "/../vellumar2-render";
  if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "vellumar2-render is not built";
  std::string dir = FreshDirectory("preview");
  std::vector<uint8_t> scene = SquareScene();
  FILE* f = fopen((dir + "/square.3ds").c_str(), "wb");
  ASSERT_TRUE(f);
  fwrite(scene.data(), 1, scene.size(), f);
  fclose(f);
  f = fopen((dir + "/broken.3ds").c_str(), "wb");
  fputs("not a scene at all", f);
  fclose(f);

  std::string out = dir + "/frames";
  int status = system(Shell(tool + " --preview " + dir + "/square.3ds --seconds 1 --fps 2 --size 64x48 --out " + out).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Frames at 0, 0.5 and 1 s; the framing camera puts the square in the middle.
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (out + "/frame-000002.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(image.width, 64u);
  const uint8_t* centre = &rgb[(24 * 64 + 32) * 3];
  EXPECT_GT(centre[0], 200);
  const uint8_t* corner = &rgb[0];
  EXPECT_LT(corner[0], 60);

  for (std::string bad : {dir + "/broken.3ds", dir + "/missing.3ds"}) {
    status = system(Shell(tool + " --preview " + bad + " --out " + dir + "/none").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << bad;
  }
  status = system(Shell(tool + " --preview " + dir + "/square.3ds --model " + dir +
                        "/broken.3ds --out " + dir + "/none").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
}
