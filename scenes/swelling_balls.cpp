// scenes/swelling_balls.cpp - seven balls that swell towards each other, 6 s.
//
// In front of the dino picture (slot 25) seven textured balls circle one another; each
// vertex of a ball moves outwards where another ball's centre is near, and every ball
// sends out faint additive rays. The group slides in from the lower right during the
// first second and out again during the last.
//
// Reads: BallScene's cursor node (the ball mesh), the BallPoints work array (one entry
// per vertex of that mesh, BallPointCount of them), TextureTable slots 25, 24 and 27.
// Leaves fog off and the clear colour black.
#include <algorithm>
#include <cmath>

#include "app/gl.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

void BallGroupOffset(float t, float* x, float* y) {
  float slide = 0.0f;
  if (t <= 1.0f)
    slide = 50.0f * (1.0f - t);
  else if (t >= 5.0f)
    slide = 50.0f * (t - 5.0f);
  *x = 13.0f + slide;
  *y = -13.0f - slide;
}

void BallCentres(float t, Vec3 c[BallCount]) {
  using std::cos;
  using std::sin;
  c[0] = {cos(4 * t) * 2.2f - 3, sin(4 * t) * 2.2f + 3, cos(4 * sin(t)) * 2.2f - 3};
  c[1] = {3 - cos(6 * t) * 2.2f, sin(4 * t) * 2.2f - 3, sin(4 * cos(t)) * 2.2f - 3};
  c[2] = {0, 3 - cos(5 * cos(t)) * 2.2f, cos(5 * t) * 2.2f + 3};
  c[3] = {0, cos(5 * sin(t)) * 2.2f - 3, 3 - cos(5 * t) * 2.2f};
  c[4] = {sin(4 * cos(t)) * 4.4f - 6, 0, cos(6 * sin(t)) * 4.4f + 6};
  c[5] = {6 - sin(6 * sin(t)) * 4.4f, 0, 6 - cos(6 * cos(t)) * 4.4f};
  c[6] = {-5 - sin(4 * sin(t)) * 3, 0, cos(6 * sin(t)) * 3 + 5};
}

float BallSwelling(Vec3 q, int ball, const Vec3 c[BallCount]) {
  float sum = 0.0f;
  for (int k = 0; k < BallCount; k++) {
    if (k == ball) continue;
    float dx = q.x + c[ball].x - c[k].x;
    float dy = q.y + c[ball].y - c[k].y;
    float dz = q.z + c[ball].z - c[k].z;
    // A vertex right on another centre makes the term infinite; the clamp below turns
    // that into the largest swelling.
    sum += 1.0f / (dx * dx + dy * dy + dz * dz);
  }
  return std::min(4.0f * sum, 1.0f);
}

namespace {

const float BallSeconds = 6.0f;

// The ball mesh and its work array, or null when the work array cannot hold the mesh
// (nothing loaded, or a mesh larger than the array made for it): the balls are left out.
const SceneObject* BallMesh() {
  if (!BallScene || !BallPoints) return nullptr;
  const SceneObject* mesh = BallScene->cursor ? BallScene->cursor : BallScene;
  if (!mesh->vertices || !mesh->faces || mesh->vertexCount > BallPointCount) return nullptr;
  return mesh;
}

void PlaceGroup(float t) {
  float x, y;
  BallGroupOffset(t, &x, &y);
  glLoadIdentity();
  glTranslatef(x, y, -60.0f);
  glRotatef(80.0f * t, 0.0f, 1.0f, 0.0f);
}

void DrawBalls(const SceneObject* mesh, const Vec3 c[BallCount], float t) {
  PlaceGroup(t);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(24));
  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < BallCount; i++) {
    for (int v = 0; v < mesh->vertexCount; v++) {
      Vec3 q = mesh->vertices[v];
      float e = BallSwelling(q, i, c);
      q = {2.0f * (q.x + e * q.x), 2.0f * (q.y + e * q.y), 2.0f * (q.z + e * q.z)};
      BallPoints[v] = {q.x + 2.0f * c[i].x, q.y + 2.0f * c[i].y, q.z + 2.0f * c[i].z};
    }
    for (int f = 0; f < mesh->faceCount; f++) {
      const Face& face = mesh->faces[f];
      const uint16_t corners[3] = {face.a, face.b, face.c};
      for (uint16_t index : corners) {
        const Vec3& q = BallPoints[index];
        glTexCoord2f(q.x / 14.0f, q.y / 14.0f);
        glVertex3f(q.x, q.y, q.z);
      }
    }
  }
  glEnd();
}

void DrawRays(const SceneObject* mesh, const Vec3 c[BallCount], float t) {
  glDepthMask(GL_FALSE);
  AdditiveBlend();
  PlaceGroup(t);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(27));
  std::copy(mesh->vertices, mesh->vertices + mesh->vertexCount, BallPoints);
  glBegin(GL_QUADS);
  for (int i = 0; i < BallCount; i++) {
    const Vec3& ci = c[i];
    // Every twentieth face, stopping twenty short of the end: a mesh of 20 faces or
    // fewer has no rays.
    for (int f = 0; f < mesh->faceCount - 20; f += 20) {
      const Face& face = mesh->faces[f];
      const Vec3& a = BallPoints[face.a];
      const Vec3& b = BallPoints[face.b];
      const Vec3& d = BallPoints[face.c];
      glColor3f(0.5f, 0.5f, 0.5f);
      glTexCoord2f(0.0f, 0.0f);
      glVertex3f(2 * (8 * a.x + ci.x), 2 * (8 * a.y + ci.y), 2 * (8 * a.z + ci.z));
      glTexCoord2f(0.0f, 1.0f);
      glVertex3f(2 * (a.x + ci.x), 2 * (a.y + ci.y), 2 * (a.z + ci.z));
      glTexCoord2f(1.0f, 0.0f);
      glVertex3f(2 * (8 * b.x + ci.x), 2 * (8 * b.y + ci.y), 2 * (8 * b.z + ci.z));
      glTexCoord2f(1.0f, 1.0f);
      glVertex3f(2 * (d.x + ci.x), 2 * (2 * d.y + ci.y), 2 * (d.z + ci.z));
    }
  }
  glEnd();
  BlendOff();
  glDepthMask(GL_TRUE);
}
}  // namespace

void DrawBallsFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  DrawPicture(25, 1.0f);
  const SceneObject* mesh = BallMesh();
  if (!mesh) return;
  Vec3 centres[BallCount];
  BallCentres(t, centres);
  DrawBalls(mesh, centres, t);
  DrawRays(mesh, centres, t);
}

void RunSwellingBalls() {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glDisable(GL_FOG);
  RunSceneLoop(BallSeconds, [](const DemoTimer& timer) { DrawBallsFrame(timer); });
}
