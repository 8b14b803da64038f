#include "timeline/frame_services.h"

#include <cmath>

#include "app/gl.h"
#include "assets/texture_table.h"
#include "platform/platform.h"

void ClearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void EndFrame() { PlatformPresent(); }

void AdditiveBlend() {
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_BLEND);
}

void BlendOff() { glDisable(GL_BLEND); }

namespace {
GLint backdropDepthFunc = GL_LESS;
}

void BeginBackdrop() {
  glGetIntegerv(GL_DEPTH_FUNC, &backdropDepthFunc);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthRange(1, 1);
  glDepthMask(GL_FALSE);
}

void EndBackdrop() {
  glDepthRange(0, 1);
  glDepthFunc(static_cast<GLenum>(backdropDepthFunc));
  glDepthMask(GL_TRUE);
}

// The full-screen overlays draw one quad at eye depth -3.6: identity, a translation of
// -1.6, the quad at z = -2. Vertex order: lower-left, upper-left, upper-right, lower-right.
static void BeginOverlay() {
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.6f);
}

static void ScreenQuad(float c) {
  glBegin(GL_QUADS);
  glColor3f(c, c, c);
  glVertex3f(-3.0f, -1.5f, -2.0f);
  glColor3f(c, c, c);
  glVertex3f(-3.0f, 1.5f, -2.0f);
  glColor3f(c, c, c);
  glVertex3f(3.0f, 1.5f, -2.0f);
  glColor3f(c, c, c);
  glVertex3f(3.0f, -1.5f, -2.0f);
  glEnd();
}

void FadeToBlack(float amount) {
  float c = 1.0f - amount;
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  glEnable(GL_BLEND);
  BeginOverlay();
  ScreenQuad(c);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
}

void AddFlash(float intensity) {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  AdditiveBlend();
  glEnable(GL_BLEND);
  BeginOverlay();
  ScreenQuad(intensity);
  BlendOff();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
}

void DrawPicture(int slot, float brightness) {
  float b = brightness;
  glDisable(GL_DEPTH_TEST);
  BeginOverlay();
  glBindTexture(GL_TEXTURE_2D, TextureSlot(slot));
  glBegin(GL_QUADS);
  glColor3f(b, b, b);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-2.0f, -1.5f, -2.0f);
  glColor3f(b, b, b);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-2.0f, 1.5f, -2.0f);
  glColor3f(b, b, b);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.0f, 1.5f, -2.0f);
  glColor3f(b, b, b);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.0f, -1.5f, -2.0f);
  glEnd();
  glEnable(GL_DEPTH_TEST);
}

// Shared by both tile scatters; `swapped` exchanges sine and cosine in the tile paths.
static void ScatterTiles(int slot, float angle, int n, float phase, bool swapped) {
  float p = phase;
  if (p >= 0.5f) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    glColor4f(p, p, p, 1.0f - (p - 0.5f) * 2.0f);
  } else {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(p, p, p);
  }
  glDisable(GL_DEPTH_TEST);
  if (n > 0) {
    float w = 4.0f / static_cast<float>(n);
    float h = 3.0f / static_cast<float>(n);
    float d = 6.0f * (1.0f - p);
    float fn = static_cast<float>(n);
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) {
        float s = static_cast<float>(r + c);
        float dx = swapped ? d * std::sin(s) : d * std::cos(s);
        float dy = swapped ? d * std::cos(s) : d * std::sin(s);
        glLoadIdentity();
        glTranslatef(static_cast<float>(c) * w - 2.0f + w / 2.0f + dx,
                     static_cast<float>(r) * h - 1.5f + h / 2.0f + dy, -3.6f);
        glRotatef(angle, 1.0f, 0.0f, 0.0f);
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
        glBindTexture(GL_TEXTURE_2D, TextureSlot(slot));
        float s0 = static_cast<float>(c) / fn, s1 = static_cast<float>(c + 1) / fn;
        float t0 = 1.0f - static_cast<float>(r) / fn, t1 = 1.0f - static_cast<float>(r + 1) / fn;
        glBegin(GL_QUADS);
        glTexCoord2f(s0, t0);
        glVertex3f(-w / 2.0f, -h / 2.0f, 0.0f);
        glTexCoord2f(s0, t1);
        glVertex3f(-w / 2.0f, h / 2.0f, 0.0f);
        glTexCoord2f(s1, t1);
        glVertex3f(w / 2.0f, h / 2.0f, 0.0f);
        glTexCoord2f(s1, t0);
        glVertex3f(w / 2.0f, -h / 2.0f, 0.0f);
        glEnd();
      }
    }
  }
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
}

void TileScatter(int slot, float angle, int n, float phase) {
  ScatterTiles(slot, angle, n, phase, false);
}

void TileScatterSwapped(int slot, float angle, int n, float phase) {
  ScatterTiles(slot, angle, n, phase, true);
}

void CopyFrameToTexture(int slot, int width, int height) {
  glBindTexture(GL_TEXTURE_2D, TextureSlot(slot));
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, width, height, 0);
}

void FlipbookSprite(int first, int count, const DemoTimer& timer, float t0, float t1, float size,
                    float x, float y, float z) {
  float t = timer.elapsed;
  if (t < t0 || t > t1) return;
  // A span of zero length shows the first frame for its one instant instead of dividing
  // by zero.
  float span = t1 - t0;
  float f = span > 0.0f ? (t - t0) / span : 0.0f;
  int frame = first + static_cast<int>(static_cast<float>(count) * f);
  float b = 1.0f - f;
  glDisable(GL_DEPTH_TEST);
  glColor3f(b, b, b);
  AdditiveBlend();
  glLoadIdentity();
  glTranslatef(x, y, z);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(frame));
  float half = size / 2.0f;
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-half, -half, 0.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-half, half, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(half, half, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(half, -half, 0.0f);
  glEnd();
  BlendOff();
  glEnable(GL_DEPTH_TEST);
}
