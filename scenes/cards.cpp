// scenes/cards.cpp - the logo and title cards that the night flight runs from inside its
// frames: pictures swinging over streaming clouds, with a trail fed back through a small
// copy of the frame.
#include <cmath>
#include <cstdlib>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "scenes/night_flight.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {
const float LogoSeconds = 4.0f;
const float TitleSeconds = 12.0f;

const int CloudSlot = 1;
const int FlashFirstSlot = 5;
const int FlashFrames = 6;
const int FirstLogoSlot = 16;
const int FeedbackSlot = 19;
const int ByLineSlot = 20;
const int TitleSlot = 21;
const int FeedbackSize = 256;

struct Flash {
  float start, end, size, x, y;
};
const Flash FirstFlashes[8] = {
    {1.0f, 2.0f, 1.5f, 0.5f, -0.5f}, {1.5f, 2.5f, 2.5f, 0.6f, -0.4f},
    {2.0f, 3.0f, 1.5f, 0.4f, -0.5f}, {2.5f, 3.5f, 2.5f, 0.6f, -0.4f},
    {3.0f, 4.0f, 1.5f, 0.5f, -0.5f}, {3.5f, 4.5f, 2.5f, 0.6f, -0.4f},
    {4.0f, 5.0f, 1.5f, 0.4f, -0.5f}, {4.5f, 5.5f, 2.5f, 0.6f, -0.4f},
};
const Flash SecondFlashes[8] = {
    {1.2f, 1.6f, 2.0f, 0.4f, -0.4f}, {1.7f, 2.1f, 3.0f, 0.5f, -0.3f},
    {2.2f, 2.6f, 2.5f, 0.5f, -0.4f}, {2.7f, 3.1f, 3.0f, 0.5f, -0.3f},
    {3.2f, 3.6f, 4.0f, 0.3f, -0.4f}, {3.7f, 4.1f, 3.0f, 0.4f, -0.5f},
    {4.2f, 4.6f, 2.0f, 0.5f, -0.4f}, {4.7f, 5.1f, 3.5f, 0.4f, -0.3f},
};
const float FlashDepth = -3.6f;

enum CardKind { LogoCard, TitleCard };

// The camera a card borrows: the plane's camera in use, or a stand-in when the plane has
// none, so that the weather still has a view to draw through.
struct BorrowedCamera {
  SceneObject* camera = PlaneCamera();
  Vec3 savedRotation, savedEye;
  Vec3 rotation, eye;
  BorrowedCamera() {
    if (camera) {
      savedRotation = rotation = camera->rotation;
      savedEye = eye = camera->camera.eye;
    }
  }
  void Set(Vec3 r, Vec3 e) {
    rotation = r;
    eye = e;
    if (camera) {
      camera->rotation = r;
      camera->camera.eye = e;
    }
  }
  void Restore() {
    if (camera) {
      camera->rotation = savedRotation;
      camera->camera.eye = savedEye;
    }
  }
};

// A picture from a file on the quad (+-w, +-h) at depth z: (0, 1) at the lower left.
void PictureQuad(float w, float h, float z) {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-w, -h, z);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-w, h, z);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(w, h, z);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(w, -h, z);
  glEnd();
}

// The copy of the frame on the screen-sized quad: (0, 0) at the lower left, as copied.
void FeedbackQuad() {
  glBindTexture(GL_TEXTURE_2D, TextureSlot(FeedbackSlot));
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-2.0f, -1.5f, -2.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-2.0f, 1.5f, -2.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.0f, 1.5f, -2.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.0f, -1.5f, -2.0f);
  glEnd();
}

void Swing(float depth, float a, float b) {
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, depth);
  glRotatef(b, 0.0f, 1.0f, 0.0f);
  glRotatef(a, 0.0f, 0.0f, 1.0f);
}

void DrawClouds(float t) {
  glViewport(0, 0, ScreenWidth, ScreenHeight);
  glColor3f(1.0f, 1.0f, 1.0f);
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.6f);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(CloudSlot));
  if (MultitextureReady) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TextureSlot(CloudSlot));
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  const float left0 = t / 8.0f, left1 = t / 4.0f;
  // Corners: lower left, upper left, upper right, lower right; t = 1 at the bottom.
  const float corner[4][4] = {{-2.0f, -1.5f, 0.0f, 1.0f},
                              {-2.0f, 1.5f, 0.0f, 0.0f},
                              {2.0f, 1.5f, 1.0f, 0.0f},
                              {2.0f, -1.5f, 1.0f, 1.0f}};
  glBegin(GL_QUADS);
  for (const auto& k : corner) {
    if (MultitextureReady) {
      glMultiTexCoord2fARB(GL_TEXTURE0_ARB, left0 + k[2], k[3]);
      glMultiTexCoord2fARB(GL_TEXTURE1_ARB, left1 + k[2], k[3]);
    } else {
      glTexCoord2f(left0 + k[2], k[3]);
    }
    glVertex3f(k[0], k[1], -2.0f);
  }
  glEnd();
  glEnable(GL_DEPTH_TEST);
  if (MultitextureReady) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
}

void Flashes(const Flash (&flashes)[8], const DemoTimer& timer) {
  for (const Flash& f : flashes)
    FlipbookSprite(FlashFirstSlot, FlashFrames, timer, f.start, f.end, f.size, f.x, f.y,
                   FlashDepth);
}

void DrawCardFrame(CardKind kind, const DemoTimer& timer, BorrowedCamera& view) {
  const float t = timer.elapsed;
  const int32_t c = PlaneScene ? PlaneScene->currentCamera : 0;
  float level;
  if (kind == LogoCard)
    level = t < 2.0f ? t / 2.0f : 1.0f - (t - 2.0f) / 2.0f;
  else
    level = t < 2.0f ? t / 2.0f : 1.0f;
  const float a = 40.0f * sinf(3.14f * t / 2.0f);
  const float b = 10.0f * sinf(3.14f * t / 2.0f);

  // Off-screen pass (the loop has cleared the frame): last frame's copy, a little darker,
  // with the by-line added on top, copied back for the next frame.
  glViewport(0, 0, FeedbackSize, FeedbackSize);
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.5f);
  float keep = kind == LogoCard ? 0.9f : 0.98f;
  glColor3f(keep, keep, keep);
  FeedbackQuad();
  AdditiveBlend();
  Swing(kind == LogoCard ? -2.5f - t : -4.6f, a, b);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(ByLineSlot));
  glColor3f(level, level, level);
  PictureQuad(2.0f, 1.0f, 0.0f);
  BlendOff();
  glEnable(GL_DEPTH_TEST);
  CopyFrameToTexture(FeedbackSlot, FeedbackSize, FeedbackSize);

  ClearFrame();
  DrawClouds(t);

  view.Set(Vec3{0.0f, 0.0f, 0.0f}, view.eye);
  if (kind == TitleCard || c >= 1) DrawRainStreaks(view.rotation);
  // Every frame looks from a new random heading.
  view.Set(Vec3{0.0f, (float)(2 * (rand() % 30) - 90), 0.0f}, Vec3{90.0f, 7.0f, 55.0f});
  if (c == 2) DrawForkedBolts(view.rotation, view.eye);

  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  glColor3f(1.0f, 1.0f, 1.0f);
  if (kind == LogoCard) {
    Swing(-2.5f - t, a, b);
    glBindTexture(GL_TEXTURE_2D, TextureSlot(FirstLogoSlot + c));
    PictureQuad(2.0f, 1.5f, 0.0f);
  }
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.6f);
  glColor3f(1.0f, 1.0f, 1.0f);
  FeedbackQuad();
  BlendOff();

  if (kind == LogoCard) {
    glEnable(GL_DEPTH_TEST);
    if (t <= 0.5f) FadeToBlack(1.0f - 2.0f * t);
    if (t >= 3.5f) FadeToBlack(2.0f * (t - 3.5f));
    return;
  }

  Flashes(FirstFlashes, timer);
  // The title, multiplied, in the colour the last flash left (white without one): it
  // shrinks from six times the screen to the screen over the first 5 seconds.
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  if (t <= 5.0f) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1.6f);
    glBindTexture(GL_TEXTURE_2D, TextureSlot(TitleSlot));
    PictureQuad(2.0f * (6.0f - t), 1.5f * (6.0f - t), -2.0f);
  } else {
    DrawPicture(TitleSlot, 1.0f);
  }
  BlendOff();
  glEnable(GL_DEPTH_TEST);
  Flashes(SecondFlashes, timer);
  if (t <= 0.5f) FadeToBlack(1.0f - 2.0f * t);
  if (t >= 10.0f) FadeToBlack((t - 10.0f) / 2.0f);
}

void RunCard(CardKind kind, float seconds) {
  glDisable(GL_DEPTH_TEST);
  BorrowedCamera view;
  RunSceneLoop(seconds, [&](DemoTimer& timer) { DrawCardFrame(kind, timer, view); });
  view.Restore();
  glEnable(GL_DEPTH_TEST);
}
}  // namespace

void RunLogoCard() { RunCard(LogoCard, LogoSeconds); }

void RunTitleCard() { RunCard(TitleCard, TitleSeconds); }
