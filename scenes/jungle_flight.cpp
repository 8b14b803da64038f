// scenes/jungle_flight.cpp - the flight through the jungle, 52 s.
//
// The camera follows the jungle scene's recorded path once over the scene's time, seen
// through the grid renderer with a sky box, dark green fog and the raptors at the model
// anchors. The frame rises from black over the first 2 s; over the last 2 s the dino
// picture (slot 25) assembles itself from tiles, and the next scene starts on it.
//
// Reads: JungleScene, JungleGrid, RaptorModel (assets/manifest.h), TextureTable slots 12,
// 13 and 25. Writes the renderer settings SkyboxSideSlot, SkyboxTopSlot, SkyboxEnabled,
// ViewRangeCells and ModelScaleEnabled, which stay in force for later scenes; leaves the
// fog and clear colour set and the show's default projection (far plane 2000) restored.
#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "assets/manifest.h"
#include "engine/animation.h"
#include "engine/models.h"
#include "engine/renderer.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {

const float JungleSeconds = 52.0f;
const float JungleFogColour[4] = {0.16f, 0.3f, 0.09f, 1.0f};

// The show's perspective with another far plane; the viewport covers the screen.
void SetJunglePerspective(double farPlane) {
  int height = ScreenHeight > 0 ? ScreenHeight : 1;
  glViewport(0, 0, ScreenWidth, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, (double)ScreenWidth / (double)height, 0.5, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
}  // namespace

void DrawJungleFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  AnimateScene(JungleScene, timer);
  DrawGrid(JungleGrid, timer);
  if (t <= 2.0f) FadeToBlack(1.0f - t / 2.0f);
  if (t >= 50.0f) {
    float phase = (t - 50.0f) / 2.0f;
    TileScatterSwapped(25, 90.0f - 90.0f * phase, 10, phase);
  }
}

void RunJungleFlight() {
  glClearColor(JungleFogColour[0], JungleFogColour[1], JungleFogColour[2], JungleFogColour[3]);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, JungleFogColour);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_DENSITY, 0.0018f);
  glEnable(GL_FOG);
  SetJunglePerspective(1000.0);

  SkyboxSideSlot = 12;
  SkyboxTopSlot = 13;
  SkyboxEnabled = true;
  ViewRangeCells = 10;
  ModelScaleEnabled = false;
  if (RaptorModel) RaptorModel->framesPerSecond = 14.0f;

  RunSceneLoop(JungleSeconds, [](const DemoTimer& timer) { DrawJungleFrame(timer); });

  // Escape or expiry alike: later scenes draw with the show's own far plane.
  SetJunglePerspective(2000.0);
}
