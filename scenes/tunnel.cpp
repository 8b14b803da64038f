// scenes/tunnel.cpp - the rush through the tunnel with glowing trails, 12 s.
//
// The camera follows the tunnel scene's recorded path once, through the grid renderer in
// orange fog. A bundle of trails hangs in front of the camera: their heads follow the
// camera's turns and their tails lag behind, one point per frame. The dino picture
// (slot 25) comes apart in tiles over the first 2 s; the meta picture (slot 14) assembles
// from finer tiles over the last 3 s, and the streamers start on it.
//
// Also owns the trail step and the trail offsets that the streamers share
// (scenes/scene_steps.h).
//
// Reads: TunnelScene (its first camera), TunnelGrid, TextureTable slots 25 and 14, the
// tick count. Writes: LargePointSet (20 trails, left for the streamers), the first 20
// entries of SmallPointSet, SkyboxEnabled off, ViewRangeCells 8. Leaves fog off, the
// orange clear colour and the show's default projection (far plane 2000).
#include <cmath>
#include <cstdlib>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "engine/animation.h"
#include "engine/renderer.h"
#include "platform/platform.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

void DrawTrailOffsets(Vec3* offsets, int count) {
  for (int i = 0; i < count; i++) {
    offsets[i].x = (float)(rand() % 200 - 100) / 1000.0f;
    offsets[i].y = (float)(rand() % 200 - 100) / 1000.0f;
    offsets[i].z = (float)(rand() % 200 - 100) / 1000.0f;
  }
}

void StepTrails(Vec3* points, const Vec3* offsets, int count, float weight, float headX,
                float headY, float drift) {
  for (int i = 0; i < count; i++) points[i * TrailPoints] = {headX, headY, -2.0f};
  for (int i = 0; i < count; i++) {
    Vec3* trail = points + i * TrailPoints;
    const Vec3& o = offsets[i];
    for (int j = TrailPoints - 1; j >= 1; j--) {
      trail[j].x = (2.0f * trail[j - 1].x + trail[j].x) / 2.9f + weight * o.x;
      trail[j].y = (2.0f * trail[j - 1].y + trail[j].y) / 2.9f + weight * o.y;
      trail[j].z = (2.0f * trail[j - 1].z + trail[j].z) / 2.9f + weight * o.z + drift;
    }
  }
}

float TrailBrightness(float t) {
  if (t < 3.0f) return 0.0f;
  if (t < 5.0f) return (t - 3.0f) / 2.0f;
  return 1.0f;
}

namespace {

const float TunnelSeconds = 12.0f;
const int TunnelTrails = 20;
const float TunnelFogColour[4] = {0.7f, 0.4f, 0.0f, 1.0f};

float tenT = 0.0f;  // 10 t of the frame, stored before the frame's drawing

void SetTunnelPerspective(double farPlane) {
  int height = ScreenHeight > 0 ? ScreenHeight : 1;
  glViewport(0, 0, ScreenWidth, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, (double)ScreenWidth / (double)height, 0.5, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void DrawTrails(const DemoTimer& timer, float hx, float hy) {
  float t = timer.elapsed;
  float b = TrailBrightness(t);
  // The tick count read now against the frame's own reading: the time the frame has
  // spent so far, plus the rounding of the single-precision seconds.
  float drift = (float)(0.01 * (double)PlatformTicks() - 10.0 * (double)timer.start - (double)tenT);

  AdditiveBlend();
  glDisable(GL_FOG);
  glLoadIdentity();
  glRotatef(0.0f, 1.0f, 1.0f, 1.0f);
  glTranslatef(0.0f, 0.0f, -7.0f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glLineWidth(6.0f);

  StepTrails(LargePointSet, SmallPointSet, TunnelTrails, 0.07f, hx, hy, drift);
  // The first three trails move with the rest but are not drawn.
  for (int i = 3; i < TunnelTrails; i++) {
    const Vec3* trail = LargePointSet + i * TrailPoints;
    glBegin(GL_LINE_STRIP);
    for (int j = 0; j < TrailPoints; j++) {
      float h = 1.0f - (float)j / 150.0f;
      glColor3f(b * h / 1.5f, b * (h / 2.0f) * ((float)i / 20.0f) / 1.5f, 0.0f);
      glVertex3f(trail[j].x, trail[j].y, trail[j].z);
    }
    glEnd();
  }

  BlendOff();
  glEnable(GL_FOG);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
}
}  // namespace

void DrawTunnelFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  tenT = 10.0f * t;
  AnimateScene(TunnelScene, timer);
  DrawGrid(TunnelGrid, timer);

  // The heads follow the first camera whichever camera is in use; a scene without
  // cameras holds them where level flight would put them.
  float pitch = 0.0f, yaw = 0.0f;
  if (TunnelScene && TunnelScene->cameraCount > 0 && TunnelScene->cameras[0]) {
    pitch = TunnelScene->cameras[0]->rotation.x;
    yaw = TunnelScene->cameras[0]->rotation.y;
  }
  float hx = (yaw / 15.0f - 5.0f) / 1.5f + std::sin(std::cos(t / 2.0f)) / 1.5f;
  float hy = (1.0f - pitch / 15.0f) / 1.5f + std::sin(t / 2.0f) / 1.5f;
  if (LargePointSet && SmallPointSet) DrawTrails(timer, hx, hy);

  if (t >= 9.0f) {
    float phase = (t - 9.0f) / 3.0f;
    TileScatter(14, 90.0f - 90.0f * phase, 20, phase);
  }
  if (t <= 2.0f) TileScatterSwapped(25, 90.0f * t / 2.0f, 10, 1.0f - t / 2.0f);
}

void RunTunnel() {
  if (SmallPointSet) DrawTrailOffsets(SmallPointSet, TunnelTrails);
  glClearColor(TunnelFogColour[0], TunnelFogColour[1], TunnelFogColour[2], TunnelFogColour[3]);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, TunnelFogColour);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_DENSITY, 0.003f);
  glEnable(GL_FOG);
  SetTunnelPerspective(600.0);
  SkyboxEnabled = false;
  ViewRangeCells = 8;

  RunSceneLoop(TunnelSeconds, [](const DemoTimer& timer) { DrawTunnelFrame(timer); });

  SetTunnelPerspective(2000.0);
  glDisable(GL_FOG);
}
