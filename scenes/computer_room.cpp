// scenes/computer_room.cpp - the computer room, 22 s, the last scene of the first track.
//
// The camera follows the room's recorded path through almost clear black fog; the picture
// fades to black over the last 2 s. SkyboxEnabled off and ViewRangeCells 8 stay in force;
// the fog does not: the scrolling page after the change of music draws without it.
#include "scenes/computer_room.h"

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "engine/animation.h"
#include "engine/renderer.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {
const float ComputerSeconds = 22.0f;
const float ComputerFogColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float FadeStart = 20.0f;
}  // namespace

void DrawComputerRoomFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  AnimateScene(ComputerScene, timer);
  DrawGrid(ComputerGrid, timer);
  if (t >= FadeStart) FadeToBlack((t - FadeStart) / 2.0f);
}

void RunComputerRoom() {
  glClearColor(0, 0, 0, 1);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, ComputerFogColour);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_DENSITY, 0.0001f);
  glEnable(GL_FOG);
  SkyboxEnabled = false;
  ViewRangeCells = 8;
  RunSceneLoop(ComputerSeconds, [](const DemoTimer& timer) { DrawComputerRoomFrame(timer); });
  // Expiry or Escape alike.
  glDisable(GL_FOG);
}
