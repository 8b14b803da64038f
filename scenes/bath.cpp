// scenes/bath.cpp - the bath scene, 24 s.
//
// The camera flies through BathScene (lit by its lighting file, with its particle
// emitters). At the scene's model anchor the glowing figure (GirlModel) is drawn additively;
// during the first 2 s red strands flicker out above it. From 14.6 s the figure bursts and
// fades while six blobs grow into the room; from 23 s the frame flashes to white. Leaves
// ModelScaleEnabled on and fog off.
#include "scenes/bath.h"

#include <cmath>
#include <cstdlib>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "engine/animation.h"
#include "engine/models.h"
#include "engine/renderer.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

int32_t BlobCount = 0;
Vec3 BlobCentres[BlobSlots] = {};

namespace {

const float BathSeconds = 24.0f;
const float BurstStart = 14.6f;    // figure bursts, blobs appear
const float BlobsMove = 15.1f;     // blob centres start their paths
const float FigureGone = 17.2f;
const float BlobsFull = 17.85f;    // blobs drawn at full size, no blending
const float FlashStart = 23.0f;

uint32_t MaterialOf(const Scene3ds* scene, const SceneObject* node) {
  if (node->textureIndex < 0 || node->textureIndex >= scene->textureCount ||
      node->textureIndex >= SceneMaxTextures)
    return 0;
  return scene->textures[node->textureIndex].texture;
}

inline float RandomBelow(int n) { return (float)(rand() % n); }

}  // namespace

void MoveBlobCentres(const DemoTimer& timer) {
  float t = timer.elapsed;
  BlobCentres[0] = {2.2f * cosf(3 * t) - 3, 3 - 2.2f * sinf(4 * t), 0};
  BlobCentres[1] = {3 - 2.2f * cosf(5 * t), 2.2f * sinf(3 * t) - 3, 0};
  BlobCentres[2] = {0, 3 - 2.2f * cosf(4 * t), -3 - 2.2f * cosf(4 * t)};
  BlobCentres[3] = {0, 2.2f * cosf(4 * t) - 3, 2.2f * cosf(5 * t) + 3};
  BlobCentres[4] = {4.4f * sinf(3 * t) - 6, 0, 2.2f * cosf(4 * t) + 3};
  BlobCentres[5] = {6 - 4.4f * sinf(5 * t), 0, -3 - 2.2f * cosf(3 * t)};
}

void DrawFigureMesh(uint32_t texture, float burst, const DemoTimer& timer) {
  if (!GirlModel) return;
  AnimatedModel& model = *GirlModel;
  if (!ModelScaleEnabled) model.scale = 1.0f;
  float p = 1, q = 1, r = 1;
  if (timer.elapsed >= BurstStart) {
    p = burst + 1;
    q = 2 * burst + 1;
    r = 4 * burst + 1;
  }
  float s = model.scale;
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glBindTexture(GL_TEXTURE_2D, texture);
  glBegin(GL_TRIANGLES);
  if (model.vertices && model.faces) {
    for (int32_t f = 0; f < model.faceCount; f++) {
      const ModelFace& face = model.faces[f];
      if (face.a >= model.vertexCount || face.b >= model.vertexCount ||
          face.c >= model.vertexCount)
        continue;
      // Texture projected from above, one repeat per 10 model units; the third corner
      // flies out faster than the other two, so the figure bursts into spikes.
      const Vec3& a = model.FrameVertex(-1, face.a);
      glTexCoord2f(a.x / 10, a.z / 10);
      glVertex3f(a.x / s * q, a.y / s * p, a.z / s * q);
      const Vec3& b = model.FrameVertex(-1, face.b);
      glTexCoord2f(b.x / 10, b.z / 10);
      glVertex3f(b.x / s * q, b.y / s * p, b.z / s * q);
      const Vec3& c = model.FrameVertex(-1, face.c);
      glTexCoord2f(c.x / 10, c.z / 10);
      glVertex3f(c.x / s * r, c.y / s * q, c.z / s * r);
    }
  }
  glEnd();
  glDisable(GL_CULL_FACE);
}

void DrawLightning(const DemoTimer& timer) {
  float t = timer.elapsed;
  if (t > 2.0f) return;
  // The strands follow the orb's last points; never past what was computed for them.
  int32_t count = 0;
  if (Ball2Scene && Ball2Points) {
    Ball2Scene->Rewind();
    const SceneObject* node = Ball2Scene->cursor;
    count = node ? node->vertexCount : 0;
    if (count > Ball2PointCount) count = Ball2PointCount;
  }
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  AdditiveBlend();
  glTranslatef(0, 15, 0);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(1);
  for (int32_t i = 0; i < count - 8; i += 8) {
    const Vec3 d = Ball2Points[i];
    glBegin(GL_LINE_STRIP);
    for (int c = 0; c < 50; c++) {
      // Red with a flicker of orange, darker along the strand and as the 2 s pass;
      // beyond point 40 the colour is below zero and adds nothing.
      float m = (1.0f - (float)c / 40.0f) * (1.0f - t / 2.0f);
      float flicker = RandomBelow(100) / 100.0f;
      glColor3f(m / 2, flicker * m / 6, 0);
      float x = RandomBelow(1000) / 1000.0f + (float)c * d.x / 50.0f - 0.5f;
      float y = RandomBelow(1000) / 1000.0f + (float)c * d.y / 50.0f - 0.5f;
      float z = RandomBelow(1000) / 1000.0f + (float)c * d.z / 50.0f - 0.5f;
      glVertex3f(x, y, z);
    }
    glEnd();
  }
  glEnable(GL_TEXTURE_2D);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  BlendOff();
}

void DrawFigure(const DemoTimer& timer) {
  float t = timer.elapsed;
  if (t > FigureGone || !BathScene) return;
  int32_t a = 0, b = 0;
  float f = 0;
  if (GirlModel) ChooseFrames(*GirlModel, t, &a, &b, &f);
  float g = t <= 2.0f ? t / 2.0f : 1.0f;
  if (t >= BurstStart) g = 1.0f - (t - BurstStart) / 2.6f;
  Scene3ds* scene = BathScene;
  scene->Rewind();
  for (int32_t k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->modelAnchor) {
      if (GirlModel) GirlModel->InterpolateFrames(a, b, f);
      AdditiveBlend();
      glColor3f(g, g, g);
      // The anchor places the figure; its rotation is not applied.
      ApplyCameraView(scene);
      glTranslatef(node->position.x, node->position.y, node->position.z);
      DrawFigureMesh(MaterialOf(scene, node), (t - 15.6f) / 2.6f, timer);
      BlendOff();
      DrawLightning(timer);
    }
    scene->Advance();
  }
  scene->Rewind();
}

void DrawBlobs(const DemoTimer& timer) {
  float t = timer.elapsed;
  float g1 = 1, g2 = 1, g3 = 1;
  if (t <= BlobsFull) {
    float h = (t - BurstStart) / 2.6f;
    if (h >= 0.5f) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_SRC_ALPHA);
      glColor4f(h, h, h, 1 - (h - 0.5f) * 2);
    } else {
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE);
      glColor3f(h, h, h);
    }
    float e = t - BlobsFull;
    g1 = e / 2.6f + 1;
    g2 = e + 1;
    g3 = e * 2.6f + 1;
  }
  // Later on neither blending nor colour is set: the blobs take what DrawScene left.

  // One blob's deformed shape at a time goes through BallPoints; only as many vertices
  // as both the mesh and that array have.
  const SceneObject* ball = nullptr;
  int32_t count = 0;
  if (BallScene && BallPoints) {
    ball = BallScene->cursor ? BallScene->cursor : BallScene;
    count = ball->vertices ? ball->vertexCount : 0;
    if (count > BallPointCount) count = BallPointCount;
  }
  int32_t blobs = BlobCount < BlobSlots ? BlobCount : BlobSlots;

  ApplyCameraView(BathScene);
  glTranslatef(540, 28, -300);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(15));
  glBegin(GL_TRIANGLES);
  for (int32_t i = 0; i < blobs && count > 0; i++) {
    const Vec3& ci = BlobCentres[i];
    for (int32_t v = 0; v < count; v++) {
      const Vec3& p = ball->vertices[v];
      float field = 0;
      for (int32_t k = 0; k < blobs; k++) {
        if (k == i) continue;
        const Vec3& ck = BlobCentres[k];
        float dx = p.x + ci.x - ck.x, dy = p.y + ci.y - ck.y, dz = p.z + ci.z - ck.z;
        field += 1.0f / (dx * dx + dy * dy + dz * dz);
      }
      // Vertices facing another blob swell towards it.
      float l = 4 * field;
      if (!(l < 1)) l = 1;
      float grow = 2 * (1 + l);
      BallPoints[v] = {grow * p.x + 2 * ci.x, grow * p.y + 2 * ci.y, grow * p.z + 2 * ci.z};
    }
    if (!ball->faces) continue;
    for (int32_t f = 0; f < ball->faceCount; f++) {
      const Face& face = ball->faces[f];
      if (face.a >= count || face.b >= count || face.c >= count) continue;
      const uint16_t corner[3] = {face.a, face.b, face.c};
      for (int k = 0; k < 3; k++) {
        const Vec3& q = BallPoints[corner[k]];
        glTexCoord2f(q.x / 24, q.y / 24);
        if (t >= BlobsFull) {
          glVertex3f(q.x, q.y, q.z);
        } else if (k < 2) {
          glVertex3f(q.x * g1, q.y * g2, q.z * g1);
        } else {
          glVertex3f(q.x * g2, q.y * g3, q.z * g2);
        }
      }
    }
  }
  glEnd();
  BlendOff();
}

void DrawBathFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  if (t >= BlobsMove) MoveBlobCentres(timer);
  AnimateScene(BathScene, timer);
  DrawScene(BathScene, timer, DrawFigure);
  if (t >= BurstStart) DrawBlobs(timer);
  if (t >= FlashStart) AddFlash(t - FlashStart);
}

void RunBathScene() {
  glClearColor(0, 0, 0, 1);
  glDisable(GL_FOG);
  ModelScaleEnabled = true;
  if (GirlModel) {
    GirlModel->framesPerSecond = 5.2f;
    GirlModel->scale = 3.0f;
  }
  BlobCount = 6;
  RunSceneLoop(BathSeconds, [](const DemoTimer& timer) { DrawBathFrame(timer); });
}
