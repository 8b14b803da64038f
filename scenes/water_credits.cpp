// scenes/water_credits.cpp - the end credits over rippling water, 15 s, the last scene.
//
// A square patch of water seen from straight above is struck by a drop every half second;
// the whole picture is turned negative (the white background becomes black, the bright
// water dark with light troughs) and the two credit lines are printed on top, so they stay
// positive. The clear colour stays white afterwards.
#include "scenes/water_credits.h"

#include <cstdlib>

#include "app/gl.h"
#include "assets/texture_table.h"
#include "effects/font.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

float WaterVelocity[WaterGridSize][WaterGridSize];
float WaterHeight[WaterGridSize][WaterGridSize];
Vec3 WaterVertices[WaterGridSize][WaterGridSize];
float WaterLastDrop = 0.0f;

namespace {

const float CreditsSeconds = 15.0f;
const float Damping = 0.99f;
const int WaterSlot = 23;
const float DropStrength = 960.0f;
const float DropInterval = 0.5f;
// The view: the water's plane turned to face the viewer.
const float ViewAngleX = 90.0f, ViewAngleY = 0.0f;

}  // namespace

void ResetWater() {
  for (int i = 0; i < WaterN; i++)
    for (int j = 0; j < WaterN; j++) {
      WaterVelocity[i][j] = 0.0f;
      WaterHeight[i][j] = 0.0f;
    }
  WaterLastDrop = 0.0f;
}

void DropStone() {
  // Centres 3 to N - 4, so the block spans rows and columns 1 to N - 2: inside the grids,
  // and its outer ring lies where the simulation never reads.
  int r = 3 + rand() % (WaterN - 6);
  int c = 3 + rand() % (WaterN - 6);
  for (int i = r - 2; i <= r + 2; i++)
    for (int j = c - 2; j <= c + 2; j++) WaterVelocity[i][j] = DropStrength;
}

void StepWater() {
  float (*V)[WaterGridSize] = WaterVelocity;
  float (*H)[WaterGridSize] = WaterHeight;
  // In place and in row-major order: a cell sees the new velocities of the cells before
  // it only through H, which this pass does not change.
  for (int i = 2; i <= WaterN - 3; i++)
    for (int j = 2; j <= WaterN - 3; j++) {
      float s = 4 * (H[i - 1][j] + H[i + 1][j] + H[i][j - 1] + H[i][j + 1]) + H[i - 1][j - 1] +
                H[i + 1][j - 1] + H[i - 1][j + 1] + H[i + 1][j + 1];
      V[i][j] = V[i][j] + (H[i][j] - s / 25) / 7;
    }
  for (int i = 2; i <= WaterN - 3; i++)
    for (int j = 2; j <= WaterN - 3; j++) {
      H[i][j] = H[i][j] - V[i][j];
      V[i][j] = Damping * V[i][j];
    }
  const float n = (float)WaterN, half = (float)WaterN / 2;
  for (int i = 0; i < WaterN; i++)
    for (int j = 0; j < WaterN; j++)
      WaterVertices[i][j] = {((float)i - half) / n * 5, H[i][j] / 1024 / n * 10,
                             ((float)j - half) / n * 5};
}

void DrawWater() {
  const float n = (float)WaterN;
  glBindTexture(GL_TEXTURE_2D, TextureSlot(WaterSlot));
  for (int c = 14; c <= 49; c++) {
    glBegin(GL_QUAD_STRIP);
    for (int r = 13; r <= 49; r++) {
      // Grey by height: 0.8 at rest, brighter on crests, darker in troughs.
      const Vec3& right = WaterVertices[r][c + 1];
      float g = (right.y + 0.2f) * 4;
      glColor3f(g, g, g);
      glTexCoord2f((float)r / n, (float)(c + 1) / n);
      glVertex3f(right.x, right.y, right.z);
      const Vec3& left = WaterVertices[r][c];
      g = (left.y + 0.2f) * 4;
      glColor3f(g, g, g);
      glTexCoord2f((float)r / n, (float)c / n);
      glVertex3f(left.x, left.y, left.z);
    }
    glEnd();
  }
}

void DrawWaterCreditsFrame(const DemoTimer& timer) {
  float t = timer.elapsed;
  glLoadIdentity();
  glTranslatef(0, 0.2f, -4.5f);
  glRotatef(ViewAngleX, 1, 0, 0);
  glRotatef(ViewAngleY, 0, 1, 0);
  StepWater();
  DrawWater();

  // The negative: every pixel's colour c becomes 1 - c.
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR);
  glDisable(GL_TEXTURE_2D);
  glLoadIdentity();
  glTranslatef(0, 0, -1.6f);
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  glVertex3f(-2, -1.5f, -2);
  glVertex3f(-2, 1.5f, -2);
  glVertex3f(2, 1.5f, -2);
  glVertex3f(2, -1.5f, -2);
  glEnd();
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);

  // The first frame always drops (the last drop time is still 0), then every half second
  // or as soon after as a frame comes.
  if (WaterLastDrop == 0.0f || t - WaterLastDrop >= DropInterval) {
    DropStone();
    WaterLastDrop = t;
  }

  // After the negative, so the text stays positive.
  PrintText(0, 3.0f, 3.0f, 1.0f, "Vellumar 2 by Ovalith 2003");
  PrintText(0, 5.0f, 6.0f, 1.0f, "www.ovalith.example");

  if (t <= 2.0f) FadeToBlack(1 - t / 2);
  if (t >= 10.0f) FadeToBlack((t - 10) / 5);
}

void RunWaterCredits() {
  ResetWater();
  glClearColor(1, 1, 1, 1);
  RunSceneLoop(CreditsSeconds, [](const DemoTimer& timer) { DrawWaterCreditsFrame(timer); });
}
