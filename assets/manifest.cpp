// assets/manifest.cpp - the show's fixed manifest and its loading screen.
#include "assets/manifest.h"

#include "app/gl.h"
#include "app/window.h"
#include "assets/archive.h"
#include "assets/jpeg_texture.h"
#include "assets/texture_table.h"
#include "effects/font.h"
#include "effects/particles.h"
#include "engine/models.h"
#include "engine/scene_grid.h"
#include "engine/scene_loader.h"
#include "engine/vertex_lighting.h"
#include "timeline/frame_services.h"
#include "timeline/load_timing.h"
#include "timeline/music.h"
#include "timeline/scene_loop.h"

Scene3ds* PlaneScene = nullptr;
ParticleSystem* SmokeParticles = nullptr;
ParticleSystem* FireParticles = nullptr;
Scene3ds* BallScene = nullptr;
Vec3* BallPoints = nullptr;
Scene3ds* Ball2Scene = nullptr;
Vec3* Ball2Points = nullptr;
float* Ball2Values = nullptr;
Scene3ds* JungleScene = nullptr;
SceneGrid* JungleGrid = nullptr;
AnimatedModel* RaptorModel = nullptr;
Scene3ds* TunnelScene = nullptr;
SceneGrid* TunnelGrid = nullptr;
Scene3ds* PalaceScene = nullptr;
SceneGrid* PalaceGrid = nullptr;
Scene3ds* BathScene = nullptr;
AnimatedModel* GirlModel = nullptr;
Vec3* SmallPointSet = nullptr;
Vec3* LargePointSet = nullptr;
ParticleSystem* SparkParticles = nullptr;
Scene3ds* ComputerScene = nullptr;
SceneGrid* ComputerGrid = nullptr;

int32_t BallPointCount = 0;
int32_t Ball2PointCount = 0;

float LoadingLevel = 0;

namespace {
// How long the last loading frame stays up while the first track begins.
const float WaitAfterLoading = 4.0f;
// The loading picture is darkened by LoadingLevel / LoadingDarkness.
const float LoadingDarkness = 60.0f;

// A scene read from its file; the object exists even when the file could not be read.
Scene3ds* NewScene(const char* path) {
  Scene3ds* scene = new Scene3ds();
  LoadScene(scene, path);
  return scene;
}

// The vertices of the scene's cursor node after loading. A scene whose file failed has
// no node to count (and no cursor): its work arrays are then empty.
int32_t CursorVertexCount(const Scene3ds* scene) {
  return scene && scene->cursor ? scene->cursor->vertexCount : 0;
}

// The slot's picture into the TextureTable.
void Slot(int slot, const char* path) { LoadTexture(TextureTable, path, slot); }

// A loading-screen step, timed apart from the loads around it.
void Step() {
  ShowLoadingStep(1.0f);
  LoadTimingMark("loading screen");
}
}  // namespace

void ShowLoadingStep(float step) {
  float base = LoadingLevel;
  DemoTimer* timer = new DemoTimer(step / 4.0f);
  while (timer->Update()) {
    ClearFrame();
    DrawPicture(0, 1.0f);
    FadeToBlack(LoadingLevel / LoadingDarkness);
    EndFrame();
    LoadingLevel = timer->elapsed * 16.0f + base;
  }
  delete timer;
}

void LoadAssets() {
  LoadTimingBegin();
  LoadingLevel = 0;
  UnpackArchive();
  LoadTimingMark("unpacking");
  BuildFont();
  LoadTimingMark("font");

  Slot(0, "pict/loading.jpg");
  LoadTimingMark("textures");
  Step();

  Slot(1, "text/sky.jpg");
  Slot(3, "text/meta.jpg");
  Slot(4, "text/screen.jpg");
  LoadTimingMark("textures");
  Step();

  Slot(5, "text/1.jpg");
  Slot(6, "text/2.jpg");
  Slot(7, "text/3.jpg");
  Slot(8, "text/4.jpg");
  Slot(9, "text/5.jpg");
  Slot(10, "text/6.jpg");
  Slot(11, "text/7.jpg");
  LoadTimingMark("textures");
  Step();

  Slot(12, "text/sky_tu.jpg");
  Slot(13, "text/sky_up.jpg");
  Slot(14, "pict/meta.jpg");
  Slot(15, "text/ball.jpg");
  Slot(16, "text/logo1.jpg");
  Slot(17, "text/logo2.jpg");
  Slot(18, "text/logo3.jpg");
  LoadTimingMark("textures");
  Step();

  CreateBlankTexture(TextureTable, 512, 512, 3, GL_RGB, 19);
  Slot(20, "text/by.jpg");
  Slot(21, "text/title.jpg");
  Slot(22, "text/logo4.jpg");
  Slot(23, "text/twater.jpg");
  Slot(24, "text/sball.jpg");
  Slot(25, "pict/dino.jpg");
  LoadTimingMark("textures");
  Step();

  Slot(26, "pict/scroll.jpg");
  Slot(27, "text/light.jpg");
  LoadTimingMark("textures");
  Step();

  PlaneScene = NewScene("maps/avion.3ds");
  LoadTimingMark("scene avion");
  Step();

  SmokeParticles = new ParticleSystem(2000, "text/smoker.jpg", 4.0f, 80, 3.0f, -150.0f);
  FireParticles = new ParticleSystem(2000, "text/fire.jpg", 5.0f, 200, 5.0f, -150.0f);
  LoadTimingMark("particle systems");
  Step();

  // The point sets are zero-filled: the scenes read entries they have not yet written
  // (the trails start from whatever the arrays hold).
  BallScene = NewScene("maps/ball.3ds");
  BallPointCount = CursorVertexCount(BallScene);
  BallPoints = new Vec3[BallPointCount]();
  LoadTimingMark("scene ball");
  Step();

  Ball2Scene = NewScene("maps/ball2.3ds");
  Ball2PointCount = CursorVertexCount(Ball2Scene);
  Ball2Points = new Vec3[Ball2PointCount]();
  Ball2Values = new float[Ball2PointCount]();
  LoadTimingMark("scene ball2");
  Step();

  JungleScene = NewScene("maps/jungle.3ds");
  AttachEmitters(JungleScene, 500, 5.0f, 1, 20.0f, 200.0f);
  LoadVertexLighting(JungleScene, "maps/jungle.vlo");
  LoadTexture(&JungleScene->reflectionTexture, "text/flash.jpg", 0);
  LoadTimingMark("scene jungle");
  Step();

  JungleGrid = new SceneGrid(JungleScene);
  LoadTimingMark("grids");
  RaptorModel = new AnimatedModel();
  JungleGrid->model = RaptorModel;
  RaptorModel->LoadModelFile("maps/raptor.ryx");
  LoadTimingMark("models");
  Step();

  TunnelScene = NewScene("maps/tunnel.3ds");
  LoadVertexLighting(TunnelScene, "maps/tunnel.vlo");
  LoadTexture(&TunnelScene->reflectionTexture, "text/flash.jpg", 0);
  LoadTimingMark("scene tunnel");
  TunnelGrid = new SceneGrid(TunnelScene);
  LoadTimingMark("grids");
  Step();

  PalaceScene = NewScene("maps/palace.3ds");
  LoadVertexLightingWithLightMaps(PalaceScene, "maps/palace.vlo");
  LoadTimingMark("scene palace");
  PalaceGrid = new SceneGrid(PalaceScene);
  LoadTimingMark("grids");
  Step();

  BathScene = NewScene("maps/bain.3ds");
  AttachEmitters(BathScene, 500, 2.0f, 6, 5.0f, 30.0f);
  LoadVertexLighting(BathScene, "maps/bain.vlo");
  LoadTimingMark("scene bain");
  GirlModel = new AnimatedModel();
  GirlModel->LoadModelMirrored("maps/girl.ryx");
  LoadTimingMark("models");
  Step();

  SmallPointSet = new Vec3[SmallPointSetSize]();
  LargePointSet = new Vec3[LargePointSetSize]();
  SparkParticles = new ParticleSystem(1000, "text/tpart.jpg", 3.0f, 100, 0.5f, -4.0f);
  LoadTimingMark("particle systems");
  ComputerScene = NewScene("maps/comput.3ds");
  LoadVertexLighting(ComputerScene, "maps/comput.vlo");
  AttachEmitters(ComputerScene, 500, 3.0f, 6, 5.0f, 17.0f);
  LoadTexture(&ComputerScene->reflectionTexture, "text/flash.jpg", 0);
  LoadTimingMark("scene comput");
  ComputerGrid = new SceneGrid(ComputerScene);
  LoadTimingMark("grids");

  // The work directories are the unpacking's, and their removal its last part.
  RemoveWorkDirectories();
  LoadTimingMark("unpacking");
  PlayMusic("discow.mp3");
  LoadTimingMark("music");
  LoadTimingEnd();

  // Nothing is drawn: the last loading frame stays up while the music begins. Only here
  // are window messages taken during loading, so an Escape pressed earlier ends the wait.
  DemoTimer* wait = new DemoTimer(WaitAfterLoading);
  while (wait->Update() && !EscapeRequested) DispatchPendingMessage();
  delete wait;
}
