// scenes/palace.cpp - the palace and its orb, 51.5 s.
//
// The camera follows the palace's recorded path through dark brown fog. The orb, the first
// node of Ball2Scene, hangs at a fixed place and writhes in slow waves; from 41 s sparks
// crackle out of it, at 45 s it bursts and its triangles fly apart, gone by 48 s (it is
// still drawn, adding nothing, until 49 s). The previous scene's picture (slot 14) breaks
// up into tiles over the first 2 s. Fog stays on afterwards; SkyboxEnabled off and
// ViewRangeCells 13 stay in force for later scenes.
#include "scenes/palace.h"

#include <cmath>
#include <cstdlib>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "engine/animation.h"
#include "engine/renderer.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {

const float PalaceSeconds = 51.5f;
const float PalaceFogColour[4] = {0.2f, 0.06f, 0.0f, 1.0f};
const float OrbBurstStart = 45.0f;

// The orb mesh, and how many of its vertices have a point and a value to go with them:
// the point arrays were sized from the same node at load time, but a scene that failed
// to load, or arrays of another size, must never be read past.
const SceneObject* OrbMesh(int32_t* usable) {
  *usable = 0;
  if (!Ball2Scene || !Ball2Points || !Ball2Values) return nullptr;
  Ball2Scene->Rewind();
  const SceneObject* node = Ball2Scene->cursor;
  if (!node || !node->vertices) return nullptr;
  int32_t count = node->vertexCount;
  if (count > Ball2PointCount) count = Ball2PointCount;
  *usable = count > 0 ? count : 0;
  return node;
}

void OrbView() {
  ApplyCameraView(PalaceScene);
  glTranslatef(OrbPlaceX, OrbPlaceY, OrbPlaceZ);
}

// A whole number below n from the standard generator.
inline float RandomBelow(int n) { return (float)(rand() % n); }

}  // namespace

void DrawOrb(const DemoTimer& timer) {
  float t = timer.elapsed;
  int32_t count = 0;
  const SceneObject* orb = OrbMesh(&count);
  if (orb && t < OrbBurstStart) {
    for (int32_t i = 0; i < count; i++) {
      const Vec3& v = orb->vertices[i];
      Vec3& p = Ball2Points[i];
      p.x = v.x + 8.0f * cosf(2.0f * t + v.y / 5.0f);
      p.y = v.y + 8.0f * sinf(2.0f * t + v.x / 5.0f);
      p.z = v.z + 8.0f * sinf(2.0f * t + v.y / 5.0f);
      Ball2Values[i] = (sqrtf(p.x * p.x + p.y * p.y + p.z * p.z) - 20.0f) / 10.0f;
    }
  }

  OrbView();
  AdditiveBlend();
  glDepthMask(GL_FALSE);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(3));
  bool burst = t >= OrbBurstStart;
  float u = burst ? (t - OrbBurstStart) / 3.0f : 0.0f;
  float fade = burst ? 1.0f - u : 1.0f;
  glBegin(GL_TRIANGLES);
  if (orb && orb->faces) {
    for (int32_t f = 0; f < orb->faceCount; f++) {
      const Face& face = orb->faces[f];
      if (face.a >= count || face.b >= count || face.c >= count) continue;
      const uint16_t corner[3] = {face.a, face.b, face.c};
      Vec3 s[3];
      for (int k = 0; k < 3; k++) {
        const Vec3& p = Ball2Points[corner[k]];
        s[k] = {p.x / 4.0f, p.y / 4.0f, p.z / 4.0f};
      }
      // After the burst every corner moves along the first corner's direction, the
      // first two twice as far as the third, so each triangle stretches as it flies.
      const float push[3] = {2.0f * u, 2.0f * u, u};
      for (int k = 0; k < 3; k++) {
        float v = Ball2Values[corner[k]] * fade;
        glColor3f(v, v, v);
        glTexCoord2f(s[k].x / 16.0f, s[k].y / 16.0f);
        if (burst) {
          glVertex3f(s[k].x + push[k] * s[0].x, s[k].y + push[k] * s[0].y,
                     s[k].z + push[k] * s[0].z);
        } else {
          glVertex3f(s[k].x, s[k].y, s[k].z);
        }
      }
    }
  }
  glEnd();
  glDepthMask(GL_TRUE);
  BlendOff();
}

void DrawOrbSparks(const DemoTimer& timer) {
  float t = timer.elapsed;
  float b = t <= OrbBurstStart ? (t - 41.0f) / 4.0f : 1.0f;
  int32_t count = 0;
  OrbMesh(&count);

  glDepthMask(GL_FALSE);
  AdditiveBlend();
  OrbView();
  glDisable(GL_TEXTURE_2D);
  glLineWidth(1.0f);
  // Every eighth point while i < count - 8: a mesh of 8 vertices or fewer has no sparks.
  for (int32_t i = 0; i < count - 8; i += 8) {
    const Vec3 p = Ball2Points[i];
    glBegin(GL_LINE_STRIP);
    for (int k = 0; k < 50; k++) {
      float r1 = RandomBelow(1000) / 1000.0f;
      float r2 = RandomBelow(1000) / 1000.0f;
      float r3 = RandomBelow(1000) / 1000.0f;
      float r4 = RandomBelow(100);
      float o = (1.0f - (float)k / 40.0f) * b;
      glColor3f(o / 2.0f, (r4 / 100.0f) * o / 6.0f, 0.0f);
      glVertex3f((float)k * p.x / 50.0f - 0.5f + r1, (float)k * p.y / 50.0f - 0.5f + r2,
                 (float)k * p.z / 50.0f - 0.5f + r3);
    }
    glEnd();
  }
  glEnable(GL_TEXTURE_2D);
  glDepthMask(GL_TRUE);
  BlendOff();
}

void DrawPalaceFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  AnimateScene(PalaceScene, timer);
  DrawGrid(PalaceGrid, timer);
  if (t <= 49.0f) DrawOrb(timer);
  if (t >= 41.0f) DrawOrbSparks(timer);
  if (t <= 2.0f) TileScatter(14, 90.0f * t / 2.0f, 20, 1.0f - t / 2.0f);
}

void RunPalace() {
  glClearColor(PalaceFogColour[0], PalaceFogColour[1], PalaceFogColour[2], PalaceFogColour[3]);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, PalaceFogColour);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_DENSITY, 0.0045f);
  glEnable(GL_FOG);
  SkyboxEnabled = false;
  ViewRangeCells = 13;
  // The projection is the show's default, as the tunnel left it. Nothing is restored
  // afterwards: the fog stays on.
  RunSceneLoop(PalaceSeconds, [](const DemoTimer& timer) { DrawPalaceFrame(timer); });
}
