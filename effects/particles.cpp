// effects/particles.cpp - emission, expiry and the two sprite styles of particle systems.
#include "effects/particles.h"

#include <cstring>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/jpeg_texture.h"
#include "platform/platform.h"
#include "timeline/frame_services.h"

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
  glBindTexture(GL_TEXTURE_2D, texture);
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  for (int32_t i = 0; i < count; i++) {
    const Particle& p = particles[i];
    float d = speed - speed * LifeFraction(p, now);
    float x = p.position.x + d * dx, y = p.position.y + d * dy, z = p.position.z + d * dz;
    glTexCoord2f(0, 1);
    glVertex3f(x - rx - ux, y - ry - uy, z - rz - uz);
    glTexCoord2f(0, 0);
    glVertex3f(x + ux - rx, y + uy - ry, z + uz - rz);
    glTexCoord2f(1, 0);
    glVertex3f(x + ux + rx, y + uy + ry, z + uz + rz);
    glTexCoord2f(1, 1);
    glVertex3f(x + rx - ux, y + ry - uy, z + rz - uz);
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
