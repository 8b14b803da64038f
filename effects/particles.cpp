// effects/particles.cpp - emission, expiry and the two sprite styles of particle systems.
#include "effects/particles.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/jpeg_texture.h"
#include "platform/platform.h"
#include "timeline/frame_services.h"

// The bounds of the texels that are not pure white, over the two largest mip levels
// (those a near, large sprite samples, where the fill is), widened by one texel of each
// level so that bilinear filtering at the cut still reads only white. Far sprites sample
// smaller levels whose blur reaches a little further out; what they lose there is a faint
// fringe a pixel or two wide. A texture that cannot be read keeps the whole quad.
void FindTextureCore(uint32_t texture, float core[4]) {
  glBindTexture(GL_TEXTURE_2D, texture);
  float s0 = 1, t0 = 1, s1 = 0, t1 = 0;
  for (int level = 0; level < 2; level++) {
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    // A texture without mipmaps has only its first level.
    if (level > 0 && (w == 0 || h == 0)) break;
    if (w < 4 || h < 4 || w > 4096 || h > 4096) return;
    std::vector<uint8_t> texels((size_t)w * (size_t)h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) {
        const uint8_t* t = &texels[((size_t)y * (size_t)w + (size_t)x) * 4];
        if (t[0] == 255 && t[1] == 255 && t[2] == 255) continue;
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
    // All white: nothing to multiply, but keep the whole quad rather than draw nothing.
    if (x1 < 0) return;
    s0 = std::min(s0, (float)std::max(x0 - 1, 0) / (float)w);
    t0 = std::min(t0, (float)std::max(y0 - 1, 0) / (float)h);
    s1 = std::max(s1, (float)std::min(x1 + 2, (int)w) / (float)w);
    t1 = std::max(t1, (float)std::min(y1 + 2, (int)h) / (float)h);
  }
  core[0] = s0, core[1] = t0, core[2] = s1, core[3] = t1;
}

float ParticleTime() { return (float)PlatformTicks() * 0.001f; }

float LifeFraction(const Particle& particle, float now) {
  float span = particle.birth - particle.death;
  if (span == 0.0f) return 0.0f;
  return (now - particle.death) / span;
}

ParticleSystem::ParticleSystem(int32_t capacity, const char* textureFile, float lifetime,
                               int32_t rate, float size, float speed)
    : lifetime(lifetime), rate(rate), size(size), speed(speed) {
  this->capacity = capacity > 0 ? capacity : 0;
  if (this->capacity > 0) particles = new Particle[this->capacity];
  if (textureFile) LoadTexture(&texture, textureFile, 0);
  if (texture) FindTextureCore(texture, core);
}

ParticleSystem::~ParticleSystem() { Release(); }

void ParticleSystem::Release() {
  delete[] particles;
  particles = nullptr;
  count = 0;
  capacity = 0;
}

void ParticleSystem::Update(bool emit) {
  float now = ParticleTime();
  // No burst on the first call: it only starts the emission clock.
  if (lastEmission == 0.0f) lastEmission = now;
  // "At least one whole particle due" is the integer part of the due count reaching 1,
  // compared as a float so that a long pause cannot overflow a conversion.
  if (emit && (now - lastEmission) * (float)rate >= 1.0f && count + 1 < capacity) {
    Particle& p = particles[count];
    p.position = emitterPosition;
    p.birth = now;
    p.death = now + lifetime;
    count++;
    lastEmission = now;
  }
  // The oldest die first, so removals shift only a short tail in practice.
  for (int32_t i = 0; i < count;) {
    if (particles[i].death <= now) {
      RemoveParticle(i);
    } else {
      i++;
    }
  }
}

void ParticleSystem::RemoveParticle(int32_t index) {
  if (index < 0 || index >= count) return;
  memmove(&particles[index], &particles[index + 1],
          sizeof(Particle) * (size_t)(count - index - 1));
  count--;
}

namespace {

// Particles either keep the depth test and stop writing depth, or ignore depth entirely.
void BeginParticleDepth() {
  if (ParticleDepthMask) {
    glDepthMask(GL_FALSE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
}

void EndParticleDepth() {
  if (ParticleDepthMask) {
    glDepthMask(GL_TRUE);
  } else {
    glEnable(GL_DEPTH_TEST);
  }
}

void CameraView(const Vec3& angles, const Vec3& eye) {
  glLoadIdentity();
  glRotatef(angles.x, 1, 0, 0);
  glRotatef(angles.y, 0, 1, 0);
  glRotatef(angles.z, 0, 0, 1);
  glTranslatef(-eye.x, -eye.y, -eye.z);
}

}  // namespace

void ParticleSystem::DrawDirected(float dx, float dy, float dz) {
  float now = ParticleTime();
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  glEnable(GL_BLEND);
  BeginParticleDepth();
  // Every sprite faces the camera the same way: the camera's right and up axes in world
  // space are the rotation rows of the view, the same for all of them. So the view is set
  // once and the sprites go in one batch, each corner placed at its particle here (one
  // draw for thousands of sprites, not one each).
  CameraView(cameraAngles, cameraPosition);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  float rx = m[0] * size, ry = m[4] * size, rz = m[8] * size;
  float ux = m[1] * size, uy = m[5] * size, uz = m[9] * size;
  // Texture s runs from the camera's left (-right) to its right, t from up to down: the
  // corners of the core sit at these fractions of the half edges.
  const float s0 = core[0], t0 = core[1], s1 = core[2], t1 = core[3];
  const float a0 = 2 * s0 - 1, a1 = 2 * s1 - 1, b0 = 1 - 2 * t0, b1 = 1 - 2 * t1;
  const float c[4][3] = {{a0 * rx + b1 * ux, a0 * ry + b1 * uy, a0 * rz + b1 * uz},
                         {a0 * rx + b0 * ux, a0 * ry + b0 * uy, a0 * rz + b0 * uz},
                         {a1 * rx + b0 * ux, a1 * ry + b0 * uy, a1 * rz + b0 * uz},
                         {a1 * rx + b1 * ux, a1 * ry + b1 * uy, a1 * rz + b1 * uz}};
  const float uv[4][2] = {{s0, t1}, {s0, t0}, {s1, t0}, {s1, t1}};
  glBindTexture(GL_TEXTURE_2D, texture);
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  for (int32_t i = 0; i < count; i++) {
    const Particle& p = particles[i];
    float d = speed - speed * LifeFraction(p, now);
    float x = p.position.x + d * dx, y = p.position.y + d * dy, z = p.position.z + d * dz;
    for (int k = 0; k < 4; k++) {
      glTexCoord2f(uv[k][0], uv[k][1]);
      glVertex3f(x + c[k][0], y + c[k][1], z + c[k][2]);
    }
  }
  glEnd();
  EndParticleDepth();
  BlendOff();
  glColor3d(1, 1, 1);
}

void ParticleSystem::DrawRising() {
  float now = ParticleTime();
  AdditiveBlend();
  BeginParticleDepth();
  for (int32_t i = 0; i < count; i++) {
    const Particle& p = particles[i];
    float f = LifeFraction(p, now);
    CameraView(cameraAngles, cameraPosition);
    glTranslatef(p.position.x, p.position.y + speed - speed * f, p.position.z);
    // Turns the sprite towards the camera; in this order it is only an approximate
    // inverse of the view rotation, which is how the sprites have always looked.
    glRotatef(-cameraAngles.x, 1, 0, 0);
    glRotatef(-cameraAngles.y, 0, 1, 0);
    glRotatef(-cameraAngles.z, 0, 0, 1);
    float s = f * size;
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor3f(f, f, f);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex3f(-s, -s, 0);
    glTexCoord2f(0, 0);
    glVertex3f(-s, s, 0);
    glTexCoord2f(1, 0);
    glVertex3f(s, s, 0);
    glTexCoord2f(1, 1);
    glVertex3f(s, -s, 0);
    glEnd();
  }
  EndParticleDepth();
  BlendOff();
  glColor3d(1, 1, 1);
}
