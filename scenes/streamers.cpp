// scenes/streamers.cpp - streamers and sparks in front of the meta picture, 12 s.
//
// 200 thin streamers whip behind a head point that swings in from a wide orbit, loops
// near the centre and flies out again in ever wider swings, while sparks pour from the
// head. The streamers are the tunnel's trails with their own constants and no drift
// (scenes/scene_steps.h); streamers 0 to 19 carry on from the tunnel's trails.
//
// Reads: TextureTable slot 14, SparkParticles. Writes: the first 30000 entries of
// LargePointSet and all 200 of SmallPointSet. Touches neither the fog (left off by the
// tunnel) nor the clear colour.
#include <cmath>

#include "app/gl.h"
#include "assets/manifest.h"
#include "effects/particles.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

float StreamerBrightness(float t) {
  if (t < 5.0f) return t / 5.0f;
  if (t <= 10.0f) return 1.0f;
  return 1.0f - (t - 10.0f) / 2.0f;
}

float StreamerAmplitude(float t) {
  if (t <= 2.0f) return 11.0f - 5.0f * t;
  if (t >= 9.0f) return 1.0f + 7.0f * (t - 9.0f);
  return 1.0f;
}

namespace {

const float StreamerSeconds = 12.0f;
const int StreamerCount = 200;
const float OffsetWeight = 0.07f;

void DrawStreamers(float t, float hx, float hy) {
  float b = StreamerBrightness(t);
  AdditiveBlend();
  glLoadIdentity();
  glRotatef(0.0f, 1.0f, 1.0f, 1.0f);
  glTranslatef(0.0f, 0.0f, -7.0f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glLineWidth(1.0f);

  StepTrails(LargePointSet, SmallPointSet, StreamerCount, OffsetWeight, hx, hy, 0.0f);
  // Streamers 0 to 2 are stepped with the rest but not drawn.
  for (int i = 3; i < StreamerCount; i++) {
    const Vec3* streamer = LargePointSet + i * TrailPoints;
    glBegin(GL_LINE_STRIP);
    for (int j = 0; j < TrailPoints; j++) {
      glColor3f(b * (1.0f - (float)j / 152.0f),
                b * (0.5f - (float)j / 300.0f) * ((float)i / 200.0f), 0.0f);
      glVertex3f(streamer[j].x, streamer[j].y, streamer[j].z);
    }
    glEnd();
  }

  BlendOff();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
}
}  // namespace

void DrawStreamersFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  float a = StreamerAmplitude(t);
  float hx = a * std::sin(t);
  float hy = a * std::sin(6.0f * std::cos(t));
  DrawPicture(14, 1.0f);
  if (LargePointSet && SmallPointSet) DrawStreamers(t, hx, hy);
  if (SparkParticles) {
    SparkParticles->emitterPosition = {hx, hy, -9.0f};
    SparkParticles->cameraAngles = {0.0f, 0.0f, 0.0f};
    SparkParticles->cameraPosition = {0.0f, 0.0f, 0.0f};
    SparkParticles->Update(true);
    SparkParticles->DrawRising();
  }
}

void RunStreamers() {
  if (SmallPointSet) DrawTrailOffsets(SmallPointSet, StreamerCount);
  RunSceneLoop(StreamerSeconds, [](const DemoTimer& timer) { DrawStreamersFrame(timer); });
}
